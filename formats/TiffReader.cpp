// TIFF pages through libtiff: every directory of the file a page; strips or
// tiles; any compression libtiff decodes (none, LZW, Deflate, PackBits, JPEG
// ...). Gray (either polarity), RGB, palette, JPEG's YCbCr and CMYK, with 8-
// or 16-bit samples (16 bits keep their high byte, v >> 8); alpha composited
// on white; the Orientation tag applied. 1-bit pages are refused.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "formats/PageDecoding.h"
#include "formats/TiffStream.h"

namespace formats {
namespace {

// How a page's file samples become page samples.
struct SampleLayout {
    enum Kind { Gray, GrayInverted, Rgb, Palette, Cmyk } kind = Gray;
    int samplesPerPixel = 1;  // in the file, alpha and other extra samples included
    int bytesPerSample = 1;   // 1 or 2 (host order, as libtiff gives them)
    int alpha = -1;           // index of the alpha sample, or -1
    bool premultiplied = false;
    const std::uint16_t* map[3] = {};  // the palette's red, green and blue
};

// A strip larger than this is decoded a row at a time, so that a header
// declaring one huge strip takes no buffer of its size.
constexpr std::uint64_t kMaxStripBuffer = std::uint64_t{1} << 24;

// The most one stored byte can decode to, by compression; 0: no bound is used.
std::uint64_t ExpansionBound(int compression) {
    switch (compression) {
        case COMPRESSION_NONE: return 1;
        case COMPRESSION_PACKBITS: return 64;  // 2 bytes repeat one byte 128 times
        case COMPRESSION_LZW: return 2731;     // a 12-bit code stands for at most 4096 bytes
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE: return 1033;
        case COMPRESSION_ZSTD: return 32768;   // a 4-byte RLE block stands for at most 128 KiB
        default: return 0;  // JPEG, WebP, LZMA ...: the page's storage follows the rows decoded

    }
}

// `count` pixels of file samples into page pixels (1 or 3 bytes each).
void ConvertPixels(const std::uint8_t* in, std::size_t count, std::uint8_t* out, const SampleLayout& l) {
    const int spp = l.samplesPerPixel;
    if (l.bytesPerSample == 1 && l.alpha < 0 && (l.kind == SampleLayout::Gray || l.kind == SampleLayout::Rgb) &&
        spp == (l.kind == SampleLayout::Gray ? 1 : 3)) {
        std::memcpy(out, in, count * spp);
        return;
    }
    const auto sample = [&](std::size_t pixel, int i) -> unsigned {
        if (l.bytesPerSample == 1) return in[pixel * spp + i];
        std::uint16_t v;
        std::memcpy(&v, in + 2 * (pixel * spp + i), 2);
        return v >> 8;
    };
    for (std::size_t p = 0; p < count; ++p) {
        unsigned c[3];
        int colours = 3;
        switch (l.kind) {
            case SampleLayout::Gray: c[0] = sample(p, 0); colours = 1; break;
            case SampleLayout::GrayInverted: c[0] = 255 - sample(p, 0); colours = 1; break;
            case SampleLayout::Rgb:
                for (int i = 0; i < 3; ++i) c[i] = sample(p, i);
                break;
            case SampleLayout::Palette: {
                const unsigned index = in[p * spp];
                for (int i = 0; i < 3; ++i) c[i] = l.map[i][index] >> 8;
                break;
            }
            case SampleLayout::Cmyk:
                for (int i = 0; i < 3; ++i) c[i] = CmykToRgb(sample(p, i), sample(p, 3));
                break;
        }
        if (l.alpha >= 0) {
            const unsigned a = sample(p, l.alpha);
            for (int i = 0; i < colours; ++i) c[i] = l.premultiplied ? PremultipliedOnWhite(c[i], a) : OnWhite(c[i], a);
        }
        for (int i = 0; i < colours; ++i) *out++ = static_cast<std::uint8_t>(c[i]);
    }
}

// The colours of a page by its Photometric tag; sets l.kind and l.map, gives
// the colour samples a pixel.
int ReadColours(TIFF* tiff, SampleLayout& l, std::uint16_t photometric, std::uint16_t compression, int bits) {
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK: l.kind = SampleLayout::Gray; return 1;
        case PHOTOMETRIC_MINISWHITE: l.kind = SampleLayout::GrayInverted; return 1;
        case PHOTOMETRIC_RGB: l.kind = SampleLayout::Rgb; return 3;
        case PHOTOMETRIC_YCBCR:
            if (compression == COMPRESSION_OJPEG)
                throw PageRefused("YCbCr samples of old-style JPEG (compression 6) pages are not read");
            if (compression != COMPRESSION_JPEG)
                throw PageRefused("YCbCr samples are read from JPEG-compressed pages only");
            // libjpeg converts to RGB as it decodes.
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            l.kind = SampleLayout::Rgb;
            return 3;
        case PHOTOMETRIC_PALETTE:
            if (bits != 8) throw PageRefused("16-bit palette indices are not read");
            if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &l.map[0], &l.map[1], &l.map[2]))
                throw PageRefused("broken TIFF file: a palette page without its palette");
            l.kind = SampleLayout::Palette;
            return 1;
        case PHOTOMETRIC_SEPARATED: {
            std::uint16_t inkset = 0;
            TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkset);
            if (inkset != INKSET_CMYK || l.samplesPerPixel < 4) throw PageRefused("separated inks other than CMYK are not read");
            l.kind = SampleLayout::Cmyk;
            return 4;
        }
        default: throw PageRefused("photometric interpretation " + std::to_string(photometric) + " is not read");
    }
}

class TiffReader : public PageReader {
public:
    // Counts the pages, on `opened` when given (the caller's open file, not
    // kept), else on the source; a file named by its path is not held open
    // until a page is read.
    TiffReader(FileSource source, std::int64_t maxPixels, std::FILE* opened, std::uint64_t size)
        : source_(std::move(source)), maxPixels_(maxPixels) {
        if (opened != nullptr) {
            stream_.file = opened;
            stream_.size = size;
            Open();
            pages_ = CountPages();
            TIFFClose(tiff_);
            tiff_ = nullptr;
            stream_ = {};
            return;
        }
        Attach();
        pages_ = CountPages();
        if (!source_.path.empty()) Detach();
    }
    ~TiffReader() override { Detach(); }
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;

    int PageCount() const override { return pages_; }

    void Read(int index, PageImage& page) override {
        if (index < 0 || index >= pages_) throw PageRefused("no page " + std::to_string(index + 1) + " in the file");
        Attach();
        MoveTo(index);
        try {
            ReadPage(page);
        } catch (...) {
            page.samples = {};
            throw;
        }
    }

private:
    int CountPages() {
        const tdir_t count = TIFFNumberOfDirectories(tiff_);
        return static_cast<int>(std::min<tdir_t>(count, 1 << 20));
    }

    // libtiff's own blocks (a strip's stored bytes, tag arrays) are never larger than the file.
    void Open() {
        tiff_ = OpenTiff(stream_, "rm", stream_.size + (std::uint64_t{1} << 20));
        if (tiff_ == nullptr) {
            const std::string reason = stream_.error;
            Detach();
            throw PageRefused("broken TIFF file: " + reason);
        }
    }

    // Opens the source once for all the pages read; the first directory is read with it.
    void Attach() {
        if (tiff_ != nullptr) return;
        stream_ = {};
        if (source_.path.empty()) {
            stream_.data = source_.bytes.data();
            stream_.size = source_.bytes.size();
        } else {
            stream_.file = OpenForReading(source_.path, stream_.size);
        }
        Open();
        loaded_ = 0;
    }

    void Detach() {
        if (tiff_ != nullptr) TIFFClose(tiff_);
        tiff_ = nullptr;
        if (stream_.file != nullptr) std::fclose(stream_.file);
        stream_.file = nullptr;
    }

    // Pages are asked for in file order: the next directory is read on from
    // the current one, so that a file's pages cost time in proportion to their
    // number; TIFFSetDirectory, which walks the chain from the first
    // directory, only for a jump.
    void MoveTo(int index) {
        stream_.error.clear();
        if (index == loaded_) return;  // its directory's warnings are still in stream_
        stream_.lostData.clear();
        const bool next = loaded_ >= 0 && index == loaded_ + 1;
        const int ok = next ? TIFFReadDirectory(tiff_) : TIFFSetDirectory(tiff_, static_cast<tdir_t>(index));
        loaded_ = ok ? index : -1;
        if (!ok) Refuse();
    }

    [[noreturn]] void Refuse() {
        throw PageRefused("broken TIFF file: " + (stream_.error.empty() ? std::string("unreadable page") : stream_.error));
    }

    // A page libtiff read only in part: a field it needs dropped, or damaged data.
    void RefuseLostData() {
        if (!stream_.lostData.empty()) throw PageRefused("broken TIFF file: " + stream_.lostData);
    }

    template <class T>
    T Field(ttag_t tag) {
        T value{};
        TIFFGetFieldDefaulted(tiff_, tag, &value);
        return value;
    }

    SampleLayout Layout(std::uint16_t compression) {
        SampleLayout l;
        const auto bits = Field<std::uint16_t>(TIFFTAG_BITSPERSAMPLE);
        l.samplesPerPixel = Field<std::uint16_t>(TIFFTAG_SAMPLESPERPIXEL);
        std::uint16_t photometric = 0;
        if (!TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric))
            photometric = l.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
        if ((photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_RGB) && DeclaresPalette(tiff_, stream_))
            throw PageRefused("broken TIFF file: a palette page without its palette");
        if (bits == 1) throw PageRefused("1-bit page: nothing to whiten");
        // Colours and an alpha sample, or a few more extra samples; never thousands.
        if (l.samplesPerPixel < 1 || l.samplesPerPixel > 8)
            throw PageRefused(std::to_string(l.samplesPerPixel) + " samples a pixel: at most 8 are read");
        if (bits != 8 && bits != 16)
            throw PageRefused(std::to_string(bits) + "-bit samples: only 8- and 16-bit pages are read");
        if (Field<std::uint16_t>(TIFFTAG_SAMPLEFORMAT) != SAMPLEFORMAT_UINT)
            throw PageRefused("signed or floating-point samples: only unsigned ones are read");
        if (l.samplesPerPixel > 1 && Field<std::uint16_t>(TIFFTAG_PLANARCONFIG) != PLANARCONFIG_CONTIG)
            throw PageRefused("colour planes stored apart: only interleaved samples are read");
        l.bytesPerSample = bits / 8;
        const int colours = ReadColours(tiff_, l, photometric, compression, bits);
        if (l.samplesPerPixel < colours) throw PageRefused("broken TIFF file: fewer samples than colours");
        std::uint16_t extraCount = 0;
        const std::uint16_t* extra = nullptr;
        if (l.samplesPerPixel > colours && TIFFGetField(tiff_, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) &&
            extraCount > 0 && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA)) {
            l.alpha = colours;
            l.premultiplied = extra[0] == EXTRASAMPLE_ASSOCALPHA;
        }
        return l;
    }

    // Refuses a page whose stored bytes cannot decode to its pixels, before they are allocated.
    void CheckStoredBytes(std::uint16_t compression, std::uint64_t pixelBytes) {
        const std::uint64_t bound = ExpansionBound(compression);
        if (bound == 0) return;
        const std::uint32_t count = TIFFIsTiled(tiff_) ? TIFFNumberOfTiles(tiff_) : TIFFNumberOfStrips(tiff_);
        std::uint64_t stored = 0;
        for (std::uint32_t i = 0; i < count && stored < stream_.size; ++i) {
            stored += std::min<std::uint64_t>(TIFFGetStrileByteCount(tiff_, i), stream_.size);
        }
        if (std::min(stored, stream_.size) * bound < pixelBytes)
            throw PageRefused("truncated TIFF file: too short for the page's pixels");
    }

    void ReadPage(PageImage& page) {
        RefuseLostData();
        const auto width = Field<std::uint32_t>(TIFFTAG_IMAGEWIDTH);
        const auto height = Field<std::uint32_t>(TIFFTAG_IMAGELENGTH);
        const auto compression = Field<std::uint16_t>(TIFFTAG_COMPRESSION);
        const SampleLayout l = Layout(compression);
        const int channels = l.kind == SampleLayout::Gray || l.kind == SampleLayout::GrayInverted ? 1 : 3;
        // Sizes first (a refusal names them), then whether the file can hold them.
        CheckPageSize(width, height, maxPixels_);
        const std::uint64_t pixelBytes =
            std::uint64_t{width} * height * static_cast<std::uint64_t>(l.samplesPerPixel * l.bytesPerSample);
        CheckStoredBytes(compression, pixelBytes);
        StartPage(page, width, height, channels, maxPixels_);

        const auto unit = Field<std::uint16_t>(TIFFTAG_RESOLUTIONUNIT);
        const double perInch = unit == RESUNIT_INCH ? 1.0 : unit == RESUNIT_CENTIMETER ? 2.54 : 0.0;
        float x = 0, y = 0;
        if (TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &x)) page.dpiX = x * perInch;
        if (TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &y)) page.dpiY = y * perInch;

        if (TIFFIsTiled(tiff_)) ReadTiles(page, l); else ReadStrips(page, l);
        RefuseLostData();
        ApplyOrientation(page, Field<std::uint16_t>(TIFFTAG_ORIENTATION));
    }

    void ReadStrips(PageImage& page, const SampleLayout& l) {
        const std::uint64_t rowBytes = static_cast<std::uint64_t>(TIFFScanlineSize64(tiff_));
        const std::uint32_t rowsPerStrip =
            std::min<std::uint32_t>(Field<std::uint32_t>(TIFFTAG_ROWSPERSTRIP), static_cast<std::uint32_t>(page.height));
        const std::uint64_t stripBytes = rowBytes * std::max<std::uint32_t>(rowsPerStrip, 1);
        if (rowBytes == 0 || stripBytes != static_cast<std::uint64_t>(TIFFStripSize64(tiff_))) Refuse();
        if (stripBytes > kMaxStripBuffer) return ReadRows(page, l, rowBytes);
        std::vector<std::uint8_t> strip(static_cast<std::size_t>(stripBytes));
        const std::size_t pageRow = static_cast<std::size_t>(page.width) * page.channels;
        for (std::uint32_t top = 0; top < static_cast<std::uint32_t>(page.height); top += rowsPerStrip) {
            const std::uint32_t rows = std::min<std::uint32_t>(rowsPerStrip, page.height - top);
            const tmsize_t want = static_cast<tmsize_t>(rows * rowBytes);
            if (TIFFReadEncodedStrip(tiff_, TIFFComputeStrip(tiff_, top, 0), strip.data(), want) != want) Refuse();
            std::uint8_t* out = AddRows(page, std::int64_t{top} + rows);
            for (std::uint32_t r = 0; r < rows; ++r)
                ConvertPixels(strip.data() + r * rowBytes, page.width, out + r * pageRow, l);
        }
    }

    // A huge strip, a row at a time: libtiff's decoders go on where they stopped.
    void ReadRows(PageImage& page, const SampleLayout& l, std::uint64_t rowBytes) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
        for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(page.height); ++y) {
            if (TIFFReadScanline(tiff_, row.data(), y, 0) < 0) Refuse();
            ConvertPixels(row.data(), page.width, AddRows(page, std::int64_t{y} + 1), l);
        }
    }

    void ReadTiles(PageImage& page, const SampleLayout& l) {
        const auto tileWidth = Field<std::uint32_t>(TIFFTAG_TILEWIDTH);
        const auto tileHeight = Field<std::uint32_t>(TIFFTAG_TILELENGTH);
        const std::uint64_t tileBytes = static_cast<std::uint64_t>(TIFFTileSize64(tiff_));
        const std::uint64_t tileRowBytes = static_cast<std::uint64_t>(TIFFTileRowSize64(tiff_));
        // A tile may overhang the page, but not hold many times its pixels
        // (or, for a small page, more than a 512 x 512 tile).
        const std::uint64_t most = std::max<std::uint64_t>(2 * std::uint64_t(page.width) * page.height, 1 << 18);
        if (tileWidth == 0 || tileHeight == 0 || std::uint64_t{tileWidth} * tileHeight > most ||
            tileBytes != tileRowBytes * tileHeight)
            Refuse();
        // Not cleared: a tile's bytes are read only once libtiff has decoded all of
        // them, and a huge tile whose data break costs only what was decoded.
        const std::unique_ptr<std::uint8_t[]> tile(new std::uint8_t[static_cast<std::size_t>(tileBytes)]);
        const std::size_t pageRow = static_cast<std::size_t>(page.width) * page.channels;
        for (std::uint32_t top = 0; top < static_cast<std::uint32_t>(page.height); top += tileHeight) {
            const std::uint32_t rows = std::min<std::uint32_t>(tileHeight, page.height - top);
            for (std::uint32_t left = 0; left < static_cast<std::uint32_t>(page.width); left += tileWidth) {
                if (TIFFReadEncodedTile(tiff_, TIFFComputeTile(tiff_, left, top, 0, 0), tile.get(),
                                        static_cast<tmsize_t>(tileBytes)) != static_cast<tmsize_t>(tileBytes))
                    Refuse();
                if (left == 0) AddRows(page, std::int64_t{top} + rows);
                const std::uint32_t columns = std::min<std::uint32_t>(tileWidth, page.width - left);
                for (std::uint32_t r = 0; r < rows; ++r)
                    ConvertPixels(tile.get() + r * tileRowBytes, columns,
                                  page.samples.data() + (top + r) * pageRow + std::size_t{left} * page.channels, l);
            }
        }
    }

    FileSource source_;
    std::int64_t maxPixels_;
    TiffStream stream_;
    TIFF* tiff_ = nullptr;
    int pages_ = 0;
    int loaded_ = -1;  // the page whose directory libtiff holds, -1 when none is known
};

}  // namespace

std::unique_ptr<PageReader> OpenTiffReader(FileSource source, std::int64_t maxPixels, std::FILE* opened,
                                           std::uint64_t size) {
    return std::make_unique<TiffReader>(std::move(source), maxPixels, opened, size);
}

}  // namespace formats
