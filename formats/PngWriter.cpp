// 8-bit gray PNG pages: the chunks are written here (zlib gives their CRCs),
// the page's filtered rows compressed by ISA-L's igzip, a band of rows at a
// time, into the one zlib stream that the IDAT chunks carry.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include "formats/PageEncoding.h"

namespace formats {
namespace {

constexpr std::uint8_t kSignature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
// The zlib stream is cut into IDAT chunks of this size, so that a reader never
// needs more than this for one chunk.
constexpr std::size_t kIdatBytes = std::size_t{1} << 20;
// Rows filtered and handed to the compressor at a time.
constexpr std::int32_t kBandRows = 64;
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
    uLong sum = crc32(crc32(0, head + 4, 4), data, static_cast<uInt>(size));
    PutU32(crc, static_cast<std::uint32_t>(sum));
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

// Rows first .. first + count - 1, each with its filter byte first; above the
// top row the filters see zeros.
template <PngFilter F>
void FilterRows(const GrayImage& page, std::int32_t first, std::int32_t count, std::uint8_t* out) {
    const std::size_t width = static_cast<std::size_t>(page.width);
    const std::vector<std::uint8_t> zeros(first == 0 ? width : 0, 0);
    const std::uint8_t* above = first == 0 ? zeros.data() : page.bytes + (first - 1) * page.stride;
    for (std::int32_t y = first; y < first + count; ++y, out += width + 1) {
        const std::uint8_t* row = page.bytes + y * page.stride;
        out[0] = static_cast<std::uint8_t>(F);
        for (std::size_t x = 0; x < width; ++x)
            out[1 + x] = static_cast<std::uint8_t>(row[x] - Predicted<F>(row, above, x));
        above = row;
    }
}

void FilterRows(const GrayImage& page, PngFilter filter, std::int32_t first, std::int32_t count, std::uint8_t* out) {
    switch (filter) {
        case PngFilter::None: return FilterRows<PngFilter::None>(page, first, count, out);
        case PngFilter::Sub: return FilterRows<PngFilter::Sub>(page, first, count, out);
        case PngFilter::Up: return FilterRows<PngFilter::Up>(page, first, count, out);
        case PngFilter::Average: return FilterRows<PngFilter::Average>(page, first, count, out);
        case PngFilter::Paeth: return FilterRows<PngFilter::Paeth>(page, first, count, out);
    }
    throw std::invalid_argument("unknown PNG filter");
}

// The zlib stream of the IDAT chunks, made by ISA-L: each chunk is written
// once it holds kIdatBytes, the last one at the end of the stream.
class IdatStream {
public:
    IdatStream(OutputSink& sink, int level)
        : sink_(sink), chunk_(kIdatBytes), stream_(std::make_unique<isal_zstream>()) {
        static constexpr std::uint32_t kLevelBytes[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT,
                                                        ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};
        if (level < 0 || level > 3) throw std::invalid_argument("a PNG level is 0 .. 3");
        levelBuffer_.resize(kLevelBytes[level]);
        isal_deflate_init(stream_.get());
        stream_->level = static_cast<std::uint32_t>(level);
        stream_->level_buf = levelBuffer_.data();
        stream_->level_buf_size = static_cast<std::uint32_t>(levelBuffer_.size());
        stream_->gzip_flag = IGZIP_ZLIB;
        EmptyChunk();
    }

    // Compresses `size` bytes; `last`: they end the stream.
    void Add(std::uint8_t* bytes, std::size_t size, bool last) {
        isal_zstream& s = *stream_;
        s.next_in = bytes;
        s.avail_in = static_cast<std::uint32_t>(size);
        s.end_of_stream = last ? 1 : 0;
        s.flush = NO_FLUSH;
        for (;;) {
            if (isal_deflate(&s) != COMP_OK) throw std::runtime_error("PNG encoder: ISA-L's stream is broken");
            const bool ended = s.internal_state.state == ZSTATE_END;
            if (s.avail_out == 0 || ended) {
                const std::size_t held = chunk_.size() - s.avail_out;
                if (held > 0) WriteChunk(sink_, "IDAT", chunk_.data(), held);
                EmptyChunk();
            }
            if (ended || (!last && s.avail_in == 0 && s.avail_out > 0)) return;
        }
    }

private:
    void EmptyChunk() {
        stream_->next_out = chunk_.data();
        stream_->avail_out = static_cast<std::uint32_t>(chunk_.size());
    }

    OutputSink& sink_;
    std::vector<std::uint8_t> chunk_;
    std::unique_ptr<isal_zstream> stream_;  // some hundred KiB: not on the stack
    std::vector<std::uint8_t> levelBuffer_;
};

// The page's rows, filtered a band at a time: the writer holds a band and a
// chunk, whatever the page's size.
void WriteRows(const GrayImage& page, const PngSettings& settings, OutputSink& sink) {
    IdatStream stream(sink, settings.level);
    const std::size_t rowBytes = static_cast<std::size_t>(page.width) + 1;
    std::vector<std::uint8_t> band(rowBytes * static_cast<std::size_t>(std::min(kBandRows, page.height)));
    for (std::int32_t first = 0; first < page.height; first += kBandRows) {
        const std::int32_t count = std::min(kBandRows, page.height - first);
        FilterRows(page, settings.filter, first, count, band.data());
        stream.Add(band.data(), rowBytes * static_cast<std::size_t>(count), first + count == page.height);
    }
}

class PngWriter : public SinglePageWriter {
public:
    PngWriter(const std::string& path, const PngSettings& settings)
        : SinglePageWriter(path, "PNG"), settings_(settings) {}

private:
    void Encode(const GrayImage& page, OutputSink& sink) override {
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
        WriteRows(page, settings_, sink);
        WriteChunk(sink, "IEND", header, 0);
    }

    PngSettings settings_;
};

}  // namespace

// Measured on whitened pages, the compression alone (best of 5, one core) and the file: the A4
// benchmark scan (2480 x 3508) | a page of bench/pages_bench.sh's book (turned, noisy):
//   ISA-L igzip level 1, Up:      0.021 .. 0.027 s, 4.39 MB | 0.021 s, 5.64 MB (levels 0, 2, 3: no better)
//   zlib Huffman codes only, Up:  0.059 .. 0.071 s, 3.79 MB | 0.064 .. 0.072 s, 5.48 MB
//   zlib Z_RLE, Up:               0.074 s, 3.81 MB | 0.070 s, 5.48 MB
//   zlib level 1, Up:             0.098 s, 4.54 MB | 0.132 s, 6.07 MB
//   libdeflate 1.14 level 1, Sub: 0.044 s, 4.20 MB | 0.082 s, 5.71 MB (levels 2, 3: 0.08 .. 0.11 s)
// igzip costs a third of the best of the others; its files are 3 % larger than zlib's Huffman
// codes alone on the noisy pages of a book, 16 % on the clean scan. On the book of
// bench/pages_bench.sh, whiten-pages JPEG -> PNG took 0.75 (0.72 .. 0.82) of the wall time it
// took with zlib's Huffman codes (9 alternating rounds). Sub and Up are equally small; Up costs
// less to filter. (The zlib and libdeflate writers measured are in the history of this file.)
PngSettings ChosenPngSettings() { return {1, PngFilter::Up}; }

std::unique_ptr<PageWriter> CreatePngWriter(const std::string& path, const PngSettings& settings) {
    return std::make_unique<PngWriter>(path, settings);
}

}  // namespace formats
