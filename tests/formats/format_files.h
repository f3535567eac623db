// Test pictures and the files made from them with the image libraries
// themselves, in memory: JPEG, PNG and TIFF encoders with the options the
// tables need, and plain decoders that serve as the readers' references.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <csetjmp>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "formats/PageImage.h"
#include "formats/TiffStream.h"
#include "image/CBmp24.h"
#include "support/golden.h"

// The tables name only the options that differ from the defaults; GCC warns
// about the members left to their default initializers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif

namespace formattest {

// Samples top row first, `channels` bytes a pixel (or two bytes a sample when wide).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<std::uint8_t> samples;
    std::uint8_t* Row(int y) { return samples.data() + std::size_t(y) * width * channels; }
    const std::uint8_t* Row(int y) const { return samples.data() + std::size_t(y) * width * channels; }
};

inline Picture FromPage(const PageImage& page) { return {page.width, page.height, page.channels, page.samples}; }

// A crop of the demo page in RGB; an odd width gives the bitmap rows padding.
inline Picture DemoCrop(int left = 300, int top = 400, int width = 203, int height = 256) {
    CBmp24_<0> bitmap;
    bitmap.Load(testsupport::DataPath("../../samples/lapide.052.100.bmp"));
    Picture picture{width, height, 3, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* bgr = bitmap.Row(bitmap.Height() - 1 - (top + y)) + 3 * left;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) picture.Row(y)[3 * x + c] = bgr[3 * x + 2 - c];
    }
    return picture;
}

inline Picture Gray(const Picture& rgb) {
    Picture gray{rgb.width, rgb.height, 1, std::vector<std::uint8_t>(std::size_t(rgb.width) * rgb.height)};
    for (std::size_t i = 0; i < gray.samples.size(); ++i)
        gray.samples[i] = static_cast<std::uint8_t>(
            (rgb.samples[3 * i] + rgb.samples[3 * i + 1] + rgb.samples[3 * i + 2]) / 3);
    return gray;
}

// ---- JPEG

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    int hSampling = 2, vSampling = 2;  // of the luma component: 2, 2 is 4:2:0
    bool cmyk = false;                 // samples are Adobe's inverted CMYK, 4 a pixel
    std::vector<std::uint8_t> app1;    // an APP1 segment's contents, e.g. EXIF
    int densityUnit = 0;               // JFIF: 0 none, 1 dots an inch, 2 a centimetre
    int xDensity = 1, yDensity = 1;
    bool arithmetic = false;           // arithmetic coding instead of Huffman's
    std::vector<std::uint8_t> secondApp1;  // another APP1 segment, after `app1`
    // Progressive in 1 + components scans: the DC coefficients, then each
    // component's AC coefficients, all at full precision (a scan that may be
    // repeated without libjpeg noticing).
    bool fullPrecisionScans = false;
};

inline void JpegThrow(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    throw std::runtime_error(message);  // the test's own inputs only: never thrown across a real failure
}

inline std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, const JpegOptions& options = {}) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    errors.error_exit = JpegThrow;
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = picture.channels;
    cinfo.in_color_space = picture.channels == 1 ? JCS_GRAYSCALE : options.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (picture.channels == 3) {
        cinfo.comp_info[0].h_samp_factor = options.hSampling;
        cinfo.comp_info[0].v_samp_factor = options.vSampling;
    }
    if (options.progressive) jpeg_simple_progression(&cinfo);
    std::vector<jpeg_scan_info> scans;
    if (options.fullPrecisionScans) {
        jpeg_scan_info dc{cinfo.num_components, {0, 1, 2, 3}, 0, 0, 0, 0};
        scans.push_back(dc);
        for (int c = 0; c < cinfo.num_components; ++c) scans.push_back({1, {c}, 1, 63, 0, 0});
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    cinfo.density_unit = static_cast<UINT8>(options.densityUnit);
    cinfo.X_density = static_cast<UINT16>(options.xDensity);
    cinfo.Y_density = static_cast<UINT16>(options.yDensity);
    jpeg_start_compress(&cinfo, TRUE);
    for (const std::vector<std::uint8_t>* segment : {&options.app1, &options.secondApp1})
        if (!segment->empty())
            jpeg_write_marker(&cinfo, JPEG_APP0 + 1, segment->data(), static_cast<unsigned>(segment->size()));
    Picture copy = picture;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = copy.Row(static_cast<int>(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// The reference decoding: libjpeg with its defaults, RGB or gray.
inline Picture DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    errors.error_exit = JpegThrow;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Picture picture{int(cinfo.output_width), int(cinfo.output_height), cinfo.output_components, {}};
    picture.samples.resize(std::size_t(picture.width) * picture.height * picture.channels);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = picture.Row(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return picture;
}

// An EXIF segment of IFD0 entries (tag, type, value) in the given byte order;
// RATIONAL values (type 5) are numerator / 1, stored after the IFD.
struct ExifEntry {
    std::uint16_t tag, type;
    std::uint32_t value;
};
inline std::vector<std::uint8_t> Exif(const std::vector<ExifEntry>& entries, bool bigEndian = false) {
    std::vector<std::uint8_t> s = {'E', 'x', 'i', 'f', 0, 0};
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            s.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    };
    s.push_back(bigEndian ? 'M' : 'I');
    s.push_back(bigEndian ? 'M' : 'I');
    put(42, 2);
    put(8, 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    std::uint32_t extra = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    std::vector<std::uint32_t> rationals;
    for (const ExifEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(1, 4);
        if (e.type == 5) {
            put(extra, 4);
            extra += 8;
            rationals.push_back(e.value);
        } else {
            put(e.value, 2);
            put(0, 2);
        }
    }
    put(0, 4);
    for (std::uint32_t r : rationals) {
        put(r, 4);
        put(1, 4);
    }
    return s;
}

// ---- PNG

struct PngOptions {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::uint32_t pixelsPerMetre = 0;  // pHYs, when not 0
};

inline void PngThrow(png_structp, png_const_charp message) { throw std::runtime_error(message); }

// `rows`: the file's own row bytes (16-bit samples big-endian), top first.
inline std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rows,
                                           const PngOptions& options) {
    std::vector<std::uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngThrow, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, options.bitDepth, options.colorType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!options.palette.empty())
        png_set_PLTE(png, info, options.palette.data(), static_cast<int>(options.palette.size()));
    if (options.pixelsPerMetre != 0)
        png_set_pHYs(png, info, options.pixelsPerMetre, options.pixelsPerMetre, PNG_RESOLUTION_METER);
    std::vector<png_bytep> pointers(height);
    const std::size_t rowBytes = rows.size() / height;
    for (int y = 0; y < height; ++y) pointers[y] = const_cast<png_bytep>(rows.data() + y * rowBytes);
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// ---- TIFF

struct TiffPage {
    Picture picture;            // 8-bit samples, or 16-bit in host order when bits is 16
    int bits = 8;
    int photometric = PHOTOMETRIC_RGB;
    int compression = COMPRESSION_NONE;
    int rowsPerStrip = 16;
    int tileSide = 0;           // tiled when not 0
    int extraSamples = 0;       // unassociated alpha when 1
    std::vector<std::uint16_t> colormap;  // 3 x 256, for a palette page
    float dpi = 0;              // in ResolutionUnit `unit`
    int unit = RESUNIT_INCH;
    int orientation = 0;        // the Orientation tag, when not 0
};

inline std::vector<std::uint8_t> EncodeTiff(const std::vector<TiffPage>& pages) {
    std::vector<std::uint8_t> bytes;
    formats::TiffStream stream;
    stream.out = &bytes;
    TIFF* tiff = formats::OpenTiff(stream, "w", 1u << 30);
    for (const TiffPage& page : pages) {
        const Picture& p = page.picture;
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, p.channels);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
        if (page.compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR) {
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
        } else {
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        }
        if (page.extraSamples == 1) {
            const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &alpha);
        }
        if (!page.colormap.empty())
            TIFFSetField(tiff, TIFFTAG_COLORMAP, page.colormap.data(), page.colormap.data() + 256,
                         page.colormap.data() + 512);
        if (page.dpi > 0) {
            TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.dpi);
            TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.dpi);
            TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.unit);
        }
        if (page.orientation != 0) TIFFSetField(tiff, TIFFTAG_ORIENTATION, page.orientation);
        if (pages.size() > 1) TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        const std::size_t rowBytes = std::size_t(p.width) * p.channels * (page.bits / 8);
        if (page.tileSide != 0) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, page.tileSide);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, page.tileSide);
            const std::size_t pixelBytes = rowBytes / p.width;
            std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(tiff)));
            for (int top = 0; top < p.height; top += page.tileSide)
                for (int left = 0; left < p.width; left += page.tileSide) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = top; y < std::min(p.height, top + page.tileSide); ++y)
                        for (int x = left; x < std::min(p.width, left + page.tileSide); ++x)
                            std::memcpy(&tile[((y - top) * page.tileSide + (x - left)) * pixelBytes],
                                        &p.samples[y * rowBytes + x * pixelBytes], pixelBytes);
                    TIFFWriteTile(tiff, tile.data(), left, top, 0, 0);
                }
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip);
            for (int y = 0; y < p.height; ++y)
                TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(&p.samples[y * rowBytes]), y, 0);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    if (!stream.error.empty()) throw std::runtime_error(stream.error);
    return bytes;
}

// The reference decoding of a TIFF page: libtiff's RGBA interface, top row first.
inline Picture DecodeTiffRgba(const std::vector<std::uint8_t>& bytes, int page) {
    formats::TiffStream stream;
    stream.data = bytes.data();
    stream.size = bytes.size();
    TIFF* tiff = formats::OpenTiff(stream, "r", 1u << 30);
    TIFFSetDirectory(tiff, static_cast<tdir_t>(page));
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::vector<std::uint32_t> rgba(std::size_t(width) * height);
    const int ok = TIFFReadRGBAImageOriented(tiff, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tiff);
    if (!ok) throw std::runtime_error("libtiff's RGBA decoding failed: " + stream.error);
    Picture picture{int(width), int(height), 3, std::vector<std::uint8_t>(rgba.size() * 3)};
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        picture.samples[3 * i] = static_cast<std::uint8_t>(TIFFGetR(rgba[i]));
        picture.samples[3 * i + 1] = static_cast<std::uint8_t>(TIFFGetG(rgba[i]));
        picture.samples[3 * i + 2] = static_cast<std::uint8_t>(TIFFGetB(rgba[i]));
    }
    return picture;
}

}  // namespace formattest
