// The 24-bit bitmap through the classic tool's own reader: the same files are
// accepted and refused for the same reasons. Its rows are stored bottom line
// first; the page takes them top first.
#include <cstring>
#include <system_error>

#include "formats/PageDecoding.h"
#include "formats/SinglePageReader.h"
#include "image/BmpFields.h"
#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"

namespace formats {
namespace {

class BmpReader : public SinglePageReader {
public:
    explicit BmpReader(std::string path) : SinglePageReader("BMP"), path_(std::move(path)) {}

private:
    void ReadPage(PageImage& page) override {
        try {
            CBmp24_<0> bitmap(CBmp24_<0>::empty);
            if (!bitmap.IsThisType(path_)) {
                const unsigned bits = bmp::GetU16(bitmap.InfoHeader() + bmp::kBiBitCount);
                throw PageRefused("BMP file of " + std::to_string(bits) + " bits a pixel: only 24-bit bitmaps are read");
            }
            bitmap.Load(path_);
            const std::int64_t width = bitmap.Width(), height = bitmap.Height();
            // Pixels per metre as the file states them (Load keeps the file's header).
            const double dpiX = static_cast<std::int32_t>(bmp::GetU32(bitmap.InfoHeader() + bmp::kBiXPelsPerMeter)) * 0.0254;
            const double dpiY = static_cast<std::int32_t>(bmp::GetU32(bitmap.InfoHeader() + bmp::kBiYPelsPerMeter)) * 0.0254;
            StartPage(page, width, height, 3, limits::kMaxPixels);
            std::uint8_t* rows = AddRows(page, height);
            const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
            for (std::int64_t y = 0; y < height; ++y)
                std::memcpy(rows + y * rowBytes, bitmap.Row(static_cast<std::int32_t>(height - 1 - y)),
                            rowBytes);
            page.dpiX = dpiX > 0 ? dpiX : 0.0;
            page.dpiY = dpiY > 0 ? dpiY : 0.0;
        } catch (const BmpFileBroken& broken) {
            throw PageRefused(std::string("broken BMP file: ") + broken.what());
        } catch (const std::string& failure) {
            // The classic reader's open and read errors carry the system's reason already.
            throw std::system_error(std::make_error_code(std::errc::io_error), failure);
        }
    }

    std::string path_;
};

}  // namespace

std::unique_ptr<PageReader> OpenBmpReader(const std::string& path) { return std::make_unique<BmpReader>(path); }

}  // namespace formats
