// The classic tool's 24-bit bitmap of a gray page, byte for byte what
// CBmp24_::Save writes for the tool's output: the fresh headers of
// CBmp24_::Create (resolution fields 0), rows bottom line first, each pixel
// three equal bytes, rows padded with zeros to 4 bytes.
#include <vector>

#include "formats/PageEncoding.h"
#include "image/BmpFields.h"
#include "image/BmpHeaders.h"
#include "image/BmpLayout.h"

namespace formats {
namespace {

class BmpWriter : public SinglePageWriter {
public:
    explicit BmpWriter(const std::string& path) : SinglePageWriter(path, "BMP") {}

private:
    void Encode(const GrayImage& page, OutputSink& sink) override {
        std::uint8_t headers[bmp::kHeadersSize];
        bmp::PutFreshHeaders24(headers, page.width, page.height);
        sink.Write(headers, sizeof headers);

        const std::size_t rowBytes = static_cast<std::size_t>(bmp::RowBytes24(page.width));
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::int32_t y = page.height - 1; y >= 0; --y) {
            const std::uint8_t* gray = page.bytes + y * page.stride;
            for (std::int32_t x = 0; x < page.width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = gray[x];
            sink.Write(row.data(), rowBytes);
        }
    }
};

}  // namespace

std::unique_ptr<PageWriter> CreateBmpWriter(const std::string& path) { return std::make_unique<BmpWriter>(path); }

}  // namespace formats
