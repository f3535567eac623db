// 8-bit gray PNG pages: the chunks are written here, the page's filtered rows
// compressed by libdeflate into the one zlib stream that the IDAT chunks carry.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include <libdeflate.h>

#include "formats/PageEncoding.h"
#include "platform/LargeBlock.h"

namespace formats {
namespace {

constexpr std::uint8_t kSignature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
// The zlib stream is cut into IDAT chunks of this size, so that a reader never
// needs more than this for one chunk.
constexpr std::size_t kIdatBytes = std::size_t{1} << 20;
// PNG's four-byte numbers hold at most 2^31 - 1; a pixel a metre is the least resolution.
constexpr long kLargestNumber = 0x7FFFFFFF;

void PutU32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

// Length, type, data and the CRC of type and data.
void WriteChunk(OutputSink& sink, const char (&type)[5], const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    PutU32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint8_t crc[4];
    PutU32(crc, libdeflate_crc32(libdeflate_crc32(0, head + 4, 4), data, size));
    sink.Write(head, sizeof head);
    if (size > 0) sink.Write(data, size);
    sink.Write(crc, sizeof crc);
}

std::uint32_t PixelsPerMetre(double dpi) {
    return static_cast<std::uint32_t>(RoundedWithin(dpi / 0.0254, 1, kLargestNumber));
}

// The byte the filter predicts for pixel x from its left, upper and upper-left neighbours.
template <PngFilter F>
int Predicted(const std::uint8_t* row, const std::uint8_t* above, std::size_t x) {
    if constexpr (F == PngFilter::None) return 0;
    if constexpr (F == PngFilter::Up) return above[x];
    const int a = x > 0 ? row[x - 1] : 0;
    const int b = above[x];
    const int c = x > 0 ? above[x - 1] : 0;
    if constexpr (F == PngFilter::Sub) return a;
    if constexpr (F == PngFilter::Average) return (a + b) / 2;
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Every row, its filter byte first; above the top row the filters see zeros.
template <PngFilter F>
void FilterRows(const GrayImage& page, std::uint8_t* out) {
    const std::size_t width = static_cast<std::size_t>(page.width);
    const std::vector<std::uint8_t> zeros(width, 0);
    const std::uint8_t* above = zeros.data();
    for (std::int32_t y = 0; y < page.height; ++y, out += width + 1) {
        const std::uint8_t* row = page.bytes + y * page.stride;
        out[0] = static_cast<std::uint8_t>(F);
        for (std::size_t x = 0; x < width; ++x)
            out[1 + x] = static_cast<std::uint8_t>(row[x] - Predicted<F>(row, above, x));
        above = row;
    }
}

void FilterRows(const GrayImage& page, PngFilter filter, std::uint8_t* out) {
    switch (filter) {
        case PngFilter::None: return FilterRows<PngFilter::None>(page, out);
        case PngFilter::Sub: return FilterRows<PngFilter::Sub>(page, out);
        case PngFilter::Up: return FilterRows<PngFilter::Up>(page, out);
        case PngFilter::Average: return FilterRows<PngFilter::Average>(page, out);
        case PngFilter::Paeth: return FilterRows<PngFilter::Paeth>(page, out);
    }
    throw std::invalid_argument("unknown PNG filter");
}

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

struct ZlibStream {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// The page's filtered rows, (width + 1) x height bytes, compressed in one call
// (libdeflate has no streaming): with them the memory holds two gray pages'
// worth besides the page, less than the float plane that whitening took.
ZlibStream CompressedRows(const GrayImage& page, const PngSettings& settings) {
    const std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
        libdeflate_alloc_compressor(settings.level));
    if (compressor == nullptr) {
        if (settings.level < 0 || settings.level > 12) throw std::invalid_argument("a PNG level is 0 .. 12");
        throw std::bad_alloc();
    }
    const std::size_t filteredBytes =
        (static_cast<std::size_t>(page.width) + 1) * static_cast<std::size_t>(page.height);
    ZlibStream stream;
    {
        const auto filtered = std::make_unique_for_overwrite<std::uint8_t[]>(filteredBytes);
        platform::AdviseLargeBlock(filtered.get(), filteredBytes);
        FilterRows(page, settings.filter, filtered.get());
        const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredBytes);
        stream.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
        platform::AdviseLargeBlock(stream.bytes.get(), bound);
        stream.size =
            libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredBytes, stream.bytes.get(), bound);
    }
    if (stream.size == 0) throw std::runtime_error("PNG encoder: the compressed page exceeds its bound");
    return stream;
}

class PngWriter : public SinglePageWriter {
public:
    PngWriter(const std::string& path, const PngSettings& settings)
        : SinglePageWriter(path, "PNG"), settings_(settings) {}

private:
    void Encode(const GrayImage& page, OutputSink& sink) override {
        const ZlibStream stream = CompressedRows(page, settings_);
        sink.Write(kSignature, sizeof kSignature);
        std::uint8_t header[13] = {};  // then 8 bits, gray, deflate, filters of type 0, no interlace
        PutU32(header, static_cast<std::uint32_t>(page.width));
        PutU32(header + 4, static_cast<std::uint32_t>(page.height));
        header[8] = 8;
        WriteChunk(sink, "IHDR", header, sizeof header);
        if (StatesResolution(page)) {
            std::uint8_t physical[9];
            PutU32(physical, PixelsPerMetre(page.dpiX));
            PutU32(physical + 4, PixelsPerMetre(page.dpiY));
            physical[8] = 1;  // pixels a metre
            WriteChunk(sink, "pHYs", physical, sizeof physical);
        }
        for (std::size_t at = 0; at < stream.size; at += kIdatBytes)
            WriteChunk(sink, "IDAT", stream.bytes.get() + at, std::min(kIdatBytes, stream.size - at));
        WriteChunk(sink, "IEND", header, 0);
    }

    PngSettings settings_;
};

}  // namespace

// Measured on two whitened A4 300-dpi pages (2480 x 3508), the clean benchmark scan | a page of
// bench/pages_bench.sh's book (turned, noisy): instructions of the encode (valgrind --tool=callgrind,
// repeatable on a busy machine where times are not) and file size:
//   level 1, Sub:     450 M, 4.20 MB | 491 M, 5.71 MB      Up:    466 M, 4.30 MB | 504 M, 5.70 MB
//            Average: 487 M, 4.20 MB | 524 M, 5.59 MB      None:  442 M, 4.53 MB | 483 M, 6.00 MB
//            Paeth:   675 M, 4.20 MB | 717 M, 5.62 MB
//   Up, level 2: 756 M, 4.19 MB | 759 M, 5.86 MB; level 4: 877 M, 4.13 MB | 755 M, 5.85 MB;
//       level 6: 1302 M, 4.07 MB | 886 M, 5.76 MB
//   the libpng + zlib writer before this one (Z_RLE, Up): 900 M, 3.79 MB | 945 M, 5.49 MB
// The compression alone, thread CPU time, median of 20 (Sub): libdeflate level 1 0.053 s | 0.087 s,
// zlib's Z_RLE streamed 0.085 s | 0.080 s. So libdeflate's level 1 takes half of zlib's instructions
// for files 4 to 13 % larger, the time it saves on the clean page it loses a little on the noisy
// one, and the writer no longer pays libpng's per-row work; higher levels cost far more than they
// save. Sub is as small as Up and a little cheaper.
PngSettings ChosenPngSettings() { return {1, PngFilter::Sub}; }

std::unique_ptr<PageWriter> CreatePngWriter(const std::string& path, const PngSettings& settings) {
    return std::make_unique<PngWriter>(path, settings);
}

}  // namespace formats
