// The classic tool's 24-bit bitmap of a gray page, byte for byte what
// CBmp24_::Save writes for the tool's output: the fresh headers of
// CBmp24_::Create (resolution fields 0), rows bottom line first, each pixel
// three equal bytes, rows padded with zeros to 4 bytes.
#include <stdexcept>
#include <vector>

#include "formats/PageEncoding.h"
#include "image/BmpFields.h"
#include "image/BmpHeaders.h"
#include "image/BmpLayout.h"

namespace formats {
namespace {

class BmpWriter : public PageWriter {
public:
    explicit BmpWriter(const std::string& path) : sink_(path) {}

    void Add(const GrayImage& page) override {
        if (added_) throw std::logic_error("a BMP file holds one page");
        CheckGrayImage(page);
        added_ = true;
        const std::size_t rowBytes = static_cast<std::size_t>(bmp::RowBytes24(page.width));
        std::uint8_t headers[bmp::kHeadersSize];
        bmp::PutFreshHeaders24(headers, page.width, page.height);
        sink_.Write(headers, sizeof headers);

        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::int32_t y = page.height - 1; y >= 0; --y) {
            const std::uint8_t* gray = page.bytes + y * page.stride;
            for (std::int32_t x = 0; x < page.width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = gray[x];
            sink_.Write(row.data(), rowBytes);
        }
    }

    void Commit() override {
        if (!added_) throw std::logic_error("a BMP file without its page");
        sink_.Commit();
    }

private:
    OutputSink sink_;
    bool added_ = false;
};

}  // namespace

std::unique_ptr<PageWriter> CreateBmpWriter(const std::string& path) { return std::make_unique<BmpWriter>(path); }

}  // namespace formats
