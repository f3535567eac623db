// PNG pages through libpng: every colour type and bit depth but 1-bit gray.
// 16-bit samples keep their high byte (v >> 8, libpng's strip_16); palettes
// are expanded; 2- and 4-bit gray is scaled to 8 bits; alpha, and a tRNS
// colour, are composited on white (PageDecoding.h says why).
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include <csetjmp>
#include <png.h>

#include "formats/PageDecoding.h"
#include "formats/SinglePageReader.h"

namespace formats {
namespace {

// The most a deflate stream expands: 258 bytes from a 2-bit code, about 1032 to 1.
constexpr std::uint64_t kMaxDeflateRatio = 1033;

struct PngInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    char message[200] = {};
    // The first warning about the tRNS chunk: libpng drops a chunk it cannot
    // read and goes on, so the page would lose its transparency.
    char transparencyLost[200] = {};
};

void Fail(png_structp png, png_const_charp message) {
    auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
    std::snprintf(input->message, sizeof input->message, "%s", message);
    png_longjmp(png, 1);
}

// Other warnings are about chunks that do not change the pixels read here
// (colour profiles, text, gamma), such as the "known incorrect sRGB profile"
// many files carry.
void Warn(png_structp png, png_const_charp message) {
    auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
    if (std::strncmp(message, "tRNS", 4) == 0 && input->transparencyLost[0] == '\0')
        std::snprintf(input->transparencyLost, sizeof input->transparencyLost, "%s", message);
}

void ReadBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (count > input->size - input->position) png_error(png, "truncated PNG file");
    std::memcpy(out, input->data + input->position, count);
    input->position += count;
}

struct Decoder {
    PngInput input;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~Decoder() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// The steps that libpng may leave by longjmp: nothing here has a destructor.
bool ReadInfo(Decoder* d) {
    if (setjmp(png_jmpbuf(d->png))) return false;
    d->info = png_create_info_struct(d->png);
    if (d->info == nullptr) png_error(d->png, "out of memory");
    // The page limits are checked by the caller; libpng's own stop at 1,000,000.
    png_set_user_limits(d->png, 0x7fffffff, 0x7fffffff);
    // A text or colour-profile chunk is inflated to at most the file's size (or 1 MiB).
    png_set_chunk_malloc_max(d->png, std::max<png_alloc_size_t>(d->input.size, png_alloc_size_t{1} << 20));
    png_set_read_fn(d->png, &d->input, ReadBytes);
    png_read_info(d->png, d->info);
    return true;
}

// Reads the rows the transforms make: with `rows` (one pointer a row), every
// pass of an interlaced file over the whole page; else the next row into `row`.
bool ReadRows(Decoder* d, png_bytepp rows, png_bytep row, std::uint32_t height, int passes) {
    if (setjmp(png_jmpbuf(d->png))) return false;
    if (rows != nullptr) {
        for (int pass = 0; pass < passes; ++pass)
            for (std::uint32_t y = 0; y < height; ++y) png_read_row(d->png, rows[y], nullptr);
    } else {
        png_read_row(d->png, row, nullptr);
    }
    return true;
}

bool FinishFile(Decoder* d) {
    if (setjmp(png_jmpbuf(d->png))) return false;
    png_read_end(d->png, nullptr);
    return true;
}

[[noreturn]] void Refuse(const Decoder& d) {
    const std::string message = d.input.message;
    if (message.rfind("truncated", 0) == 0) throw PageRefused(message);
    throw PageRefused("broken PNG file: " + message);
}

// Whether every chunk before the end chunk lies within the file. libpng takes
// a chunk's buffer from its declared length before reading it, and reads
// every chunk up to the end one, so a file with a chunk running past its end
// would be refused as truncated anyway, after a buffer of up to 2 GiB.
bool ChunksWithinFile(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 8;  // after the signature
    while (at + 8 <= size) {
        const std::uint64_t length = std::uint64_t{data[at]} << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        if (length + 12 > size - at) return false;  // the chunk's type, data and CRC
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += static_cast<std::size_t>(length) + 12;
    }
    return true;  // a file that ends between chunks is libpng's to refuse
}

// Rows of gray-alpha or RGBA (`channels` 2 or 4) composited into page rows.
void CompositeRow(const std::uint8_t* in, std::uint8_t* out, std::size_t width, int channels) {
    const int colours = channels - 1;
    for (std::size_t x = 0; x < width; ++x, in += channels, out += colours) {
        for (int i = 0; i < colours; ++i) out[i] = OnWhite(in[i], in[colours]);
    }
}

// What the header allows, before any pixel: no 1-bit gray, the size limits
// (before libpng sizes its row buffers), and a cheap bound: the file must be
// long enough to inflate to its rows.
void CheckHeader(png_structp png, png_infop info, std::size_t fileBytes, std::int64_t maxPixels) {
    const std::uint32_t width = png_get_image_width(png, info);
    const std::uint32_t height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (depth == 1 && png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY)
        throw PageRefused("1-bit page: nothing to whiten");
    CheckPageSize(width, height, maxPixels);
    const std::uint64_t rowBits = std::uint64_t{width} * png_get_channels(png, info) * depth;
    const std::uint64_t rawBytes = std::uint64_t{height} * (1 + (rowBits + 7) / 8);
    if (static_cast<std::uint64_t>(fileBytes) * kMaxDeflateRatio < rawBytes)
        throw PageRefused("truncated PNG file: too short for " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels");
}

void ReadResolution(png_structp png, png_infop info, PageImage& page) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER) {
        page.dpiX = x * 0.0254;
        page.dpiY = y * 0.0254;
    }
}

// Every pass adds pixels to rows kept whole; with alpha they go through a full RGBA copy.
void ReadInterlaced(Decoder& d, PageImage& page, int readChannels, int passes) {
    const std::uint32_t width = static_cast<std::uint32_t>(page.width), height = static_cast<std::uint32_t>(page.height);
    const bool alpha = readChannels != page.channels;
    const std::size_t pageRow = std::size_t{width} * page.channels;
    const std::size_t readRow = std::size_t{width} * readChannels;
    std::vector<std::uint8_t> withAlpha(alpha ? readRow * height : 0);
    std::uint8_t* base = alpha ? withAlpha.data() : AddRows(page, height);
    std::vector<png_bytep> rows(height);
    for (std::uint32_t y = 0; y < height; ++y) rows[y] = base + y * (alpha ? readRow : pageRow);
    if (!ReadRows(&d, rows.data(), nullptr, height, passes)) Refuse(d);
    if (alpha) AddRows(page, height);
    for (std::uint32_t y = 0; alpha && y < height; ++y)
        CompositeRow(rows[y], page.samples.data() + y * pageRow, width, readChannels);
}

void ReadSequential(Decoder& d, PageImage& page, int readChannels) {
    const std::uint32_t width = static_cast<std::uint32_t>(page.width), height = static_cast<std::uint32_t>(page.height);
    const bool alpha = readChannels != page.channels;
    std::vector<std::uint8_t> alphaRow(alpha ? std::size_t{width} * readChannels : 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* out = AddRows(page, std::int64_t{y} + 1);
        if (!ReadRows(&d, nullptr, alpha ? alphaRow.data() : out, height, 1)) Refuse(d);
        if (alpha) CompositeRow(alphaRow.data(), out, width, readChannels);
    }
}

class PngReader : public WholeFileReader {
public:
    PngReader(FileSource source, std::int64_t maxPixels) : WholeFileReader("PNG", std::move(source), maxPixels) {}

private:
    void DecodeBytes(const std::vector<std::uint8_t>& bytes, std::int64_t maxPixels, PageImage& page) override {
        if (!ChunksWithinFile(bytes.data(), bytes.size())) throw PageRefused("truncated PNG file");
        Decoder d;
        d.input.data = bytes.data();
        d.input.size = bytes.size();
        d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d.input, Fail, Warn);
        if (d.png == nullptr) throw std::bad_alloc();
        if (!ReadInfo(&d)) Refuse(d);

        png_structp png = d.png;
        png_infop info = d.info;
        CheckHeader(png, info, bytes.size(), maxPixels);
        if (d.input.transparencyLost[0] != '\0' && (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) == 0)
            throw PageRefused(std::string("broken PNG file: ") + d.input.transparencyLost);
        png_set_expand(png);  // palette to RGB, gray below 8 bits to 8, tRNS to alpha
        png_set_strip_16(png);
        const int passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        const int readChannels = png_get_channels(png, info);
        const bool alpha = readChannels == 2 || readChannels == 4;
        StartPage(page, png_get_image_width(png, info), png_get_image_height(png, info),
                  alpha ? readChannels - 1 : readChannels, maxPixels);
        ReadResolution(png, info, page);
        if (passes > 1) ReadInterlaced(d, page, readChannels, passes); else ReadSequential(d, page, readChannels);
        if (!FinishFile(&d)) Refuse(d);
    }
};

}  // namespace

std::unique_ptr<PageReader> OpenPngReader(FileSource source, std::int64_t maxPixels) {
    return std::make_unique<PngReader>(std::move(source), maxPixels);
}

}  // namespace formats
