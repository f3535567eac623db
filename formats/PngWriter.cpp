// 8-bit gray PNG pages through libpng, written straight into the output file.
#include <csetjmp>
#include <cstring>
#include <stdexcept>

#include <png.h>
#include <zlib.h>

#include "formats/PageEncoding.h"

namespace formats {
namespace {

struct PngOutput {
    OutputSink* sink = nullptr;
    std::error_code error;  // the file's failure, when a write failed
    char message[200] = {};
};

void Fail(png_structp png, png_const_charp message) {
    auto* out = static_cast<PngOutput*>(png_get_error_ptr(png));
    std::snprintf(out->message, sizeof out->message, "%s", message);
    png_longjmp(png, 1);
}

void Ignore(png_structp, png_const_charp) {}

void WriteBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    out->error = out->sink->TryWrite(data, size);
    if (out->error) png_error(png, "write failed");
}

void Flush(png_structp) {}

struct Encoder {
    PngOutput out;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Encoder() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }
};

// PNG's four-byte numbers hold at most 2^31 - 1; a pixel a metre is the least resolution.
png_uint_32 PixelsPerMetre(double dpi) {
    return static_cast<png_uint_32>(RoundedWithin(dpi / 0.0254, 1, 0x7FFFFFFF));
}

// libpng may leave this by longjmp: nothing here has a destructor.
bool Compress(Encoder* e, const GrayImage* page, const PngSettings* settings) {
    png_structp png = e->png;
    if (setjmp(png_jmpbuf(png))) return false;
    e->info = png_create_info_struct(png);
    if (e->info == nullptr) png_error(png, "out of memory");
    png_set_write_fn(png, &e->out, WriteBytes, Flush);
    png_set_IHDR(png, e->info, static_cast<png_uint_32>(page->width), static_cast<png_uint_32>(page->height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (StatesResolution(*page))
        png_set_pHYs(png, e->info, PixelsPerMetre(page->dpiX), PixelsPerMetre(page->dpiY), PNG_RESOLUTION_METER);
    png_set_compression_level(png, settings->level);
    png_set_compression_strategy(png, settings->strategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, settings->filters);
    png_set_compression_buffer_size(png, 1 << 16);
    png_write_info(png, e->info);
    for (std::int32_t y = 0; y < page->height; ++y)
        png_write_row(png, const_cast<png_bytep>(page->bytes + y * page->stride));
    png_write_end(png, e->info);
    return true;
}

class PngWriter : public SinglePageWriter {
public:
    PngWriter(const std::string& path, const PngSettings& settings)
        : SinglePageWriter(path, "PNG"), settings_(settings) {}

private:
    void Encode(const GrayImage& page, OutputSink& sink) override {
        Encoder e;
        e.out.sink = &sink;
        e.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &e.out, Fail, Ignore);
        if (e.png == nullptr) throw std::bad_alloc();
        if (!Compress(&e, &page, &settings_)) {
            if (e.out.error) sink.Fail(e.out.error);
            throw std::runtime_error(std::string("PNG encoder: ") + e.out.message);
        }
    }

    PngSettings settings_;
};

}  // namespace

// Measured on an A4 300-dpi whitened page (2480 x 3508), best of 5, one core:
//   Z_RLE, filter Up: 0.084 s, 3.79 MB   (Sub 0.082 s, 3.92 MB; None 0.086 s, 5.14 MB;
//                                         Paeth 0.120 s, 3.78 MB; adaptive 0.152 s, 3.60 MB)
//   default strategy, level 1: Up 0.109 s, 4.52 MB; None 0.114 s, 4.65 MB
//   default strategy, level 6: Up 0.96 s, 4.21 MB
// The paper's noise defeats the string matching; runs of equal bytes (after
// Up, of equal columns) are what compress. Z_RLE does not depend on the level.
PngSettings ChosenPngSettings() { return {1, Z_RLE, PNG_FILTER_UP}; }

std::unique_ptr<PageWriter> CreatePngWriter(const std::string& path, const PngSettings& settings) {
    return std::make_unique<PngWriter>(path, settings);
}

}  // namespace formats
