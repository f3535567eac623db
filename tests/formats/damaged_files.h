// Files made broken, truncated or hostile field by field, for the readers'
// tests and the page fuzzers' seeds: those that must be refused (HostileTable)
// and whole ones that the image libraries warn about (WarnedButWholeTable).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "tests/formats/format_files.h"

namespace formattest {

using Bytes = std::vector<std::uint8_t>;

inline void PutBig(Bytes& b, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutLittle(Bytes& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes Deflated(const Bytes& raw) {
    Bytes out(compressBound(raw.size()));
    uLongf size = out.size();
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}
inline Bytes Deflated(std::size_t zeros) { return Deflated(Bytes(zeros, 0)); }

inline Bytes Cut(Bytes bytes, double part) {
    bytes.resize(static_cast<std::size_t>(bytes.size() * part));
    return bytes;
}
inline Bytes WithEndMarker(Bytes bytes) {
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    return bytes;
}
inline Bytes WithoutEndMarker(const Bytes& bytes) { return Bytes(bytes.begin(), bytes.end() - 2); }
inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// ---- PNG from chunks

inline Bytes PngChunk(const char* type, const Bytes& data) {
    Bytes chunk;
    PutBig(chunk, static_cast<std::uint32_t>(data.size()), 4);
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBig(chunk, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(data.size() + 4))), 4);
    return chunk;
}
inline Bytes WithBadCrc(Bytes chunk) {
    chunk.back() ^= 0xFF;
    return chunk;
}

// `chunks` go between the header and the image data.
inline Bytes HandMadePng(std::uint32_t width, std::uint32_t height, const Bytes& idat, int depth = 8, int colorType = 0,
                         const Bytes& chunks = {}) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBig(ihdr, width, 4);
    PutBig(ihdr, height, 4);
    ihdr.insert(ihdr.end(), {std::uint8_t(depth), std::uint8_t(colorType), 0, 0, 0});
    for (const Bytes& chunk : {PngChunk("IHDR", ihdr), chunks, PngChunk("IDAT", idat), PngChunk("IEND", {})})
        png.insert(png.end(), chunk.begin(), chunk.end());
    return png;
}

// A 16 x 16 palette page of 4 colours, index (x + y) % 4, with `chunks` (PLTE first).
inline Bytes PalettePng(const Bytes& chunks) {
    Bytes rows;
    for (int y = 0; y < 16; ++y) {
        rows.push_back(0);
        for (int x = 0; x < 16; ++x) rows.push_back(static_cast<std::uint8_t>((x + y) % 4));
    }
    return HandMadePng(16, 16, Deflated(rows), 8, PNG_COLOR_TYPE_PALETTE,
                       Concat({PngChunk("PLTE", {0, 0, 0, 90, 90, 90, 180, 180, 180, 255, 255, 255}), chunks}));
}

// ---- TIFF from one IFD: one strip of `strip` bytes after the IFD

struct TiffEntry {
    std::uint16_t tag, type;
    std::uint32_t count, value;  // the value itself when it fits in 4 bytes, else its offset
};

struct TiffFields {
    std::uint32_t width = 16, height = 16;
    std::uint16_t bits = 8, compression = COMPRESSION_NONE;
    std::uint32_t stripOffsetsCount = 1;
    std::uint32_t stripBytes = 0;     // 0: the strip's own size
    std::uint16_t declaredEntries = 0;  // 0: the real count
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t samples = 1;
    std::vector<TiffEntry> extra;       // more entries; a value of kAfterStrip: the offset after the strip's bytes
};
constexpr std::uint32_t kAfterStrip = 0xFFFFFFFF;

inline Bytes HandMadeTiff(const TiffFields& f, const Bytes& strip) {
    std::vector<TiffEntry> entries = {{256, 4, 1, f.width},
                                      {257, 4, 1, f.height},
                                      {258, 3, 1, f.bits},
                                      {259, 3, 1, f.compression},
                                      {262, 3, 1, f.photometric},
                                      {273, 4, f.stripOffsetsCount, 0},
                                      {277, 3, 1, f.samples},
                                      {278, 4, 1, f.height},
                                      {279, 4, 1, f.stripBytes != 0 ? f.stripBytes : std::uint32_t(strip.size())}};
    entries.insert(entries.end(), f.extra.begin(), f.extra.end());
    std::sort(entries.begin(), entries.end(), [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    const std::uint32_t dataOffset = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    Bytes tiff = {'I', 'I', 42, 0};
    PutLittle(tiff, 8, 4);
    PutLittle(tiff, f.declaredEntries != 0 ? f.declaredEntries : std::uint32_t(entries.size()), 2);
    for (const TiffEntry& e : entries) {
        PutLittle(tiff, e.tag, 2);
        PutLittle(tiff, e.type, 2);
        PutLittle(tiff, e.count, 4);
        const std::uint32_t stripEnd = dataOffset + (f.stripBytes != 0 ? f.stripBytes : std::uint32_t(strip.size()));
        const std::uint32_t value = e.tag == 273 ? dataOffset : e.value == kAfterStrip ? stripEnd : e.value;
        if (e.type == 3 && e.count == 1) {
            PutLittle(tiff, value, 2);
            PutLittle(tiff, 0, 2);
        } else {
            PutLittle(tiff, value, 4);
        }
    }
    PutLittle(tiff, 0, 4);
    tiff.insert(tiff.end(), strip.begin(), strip.end());
    return tiff;
}

// `tiff` (little-endian, as libtiff writes it here) with entry `tag` of page
// `page` given `value`.
inline Bytes WithTagValue(Bytes tiff, int page, std::uint16_t tag, std::uint32_t value) {
    const auto u16 = [&](std::size_t at) { return std::uint32_t(tiff[at]) | std::uint32_t(tiff[at + 1]) << 8; };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::size_t ifd = u32(4);
    for (int i = 0; i < page; ++i) ifd = u32(ifd + 2 + 12 * u16(ifd));
    for (std::size_t e = 0; e < u16(ifd); ++e) {
        const std::size_t entry = ifd + 2 + 12 * e;
        if (u16(entry) != tag) continue;
        for (int b = 0; b < 4; ++b) tiff[entry + 8 + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return tiff;
}

// Pages of `width` x 2 gray pixels of level 30 i for page i; palette pages
// (index i, the colour map gray) where `palette` says.
inline std::vector<TiffPage> NumberedPages(int count, int width, const std::vector<bool>& palette = {}) {
    std::vector<TiffPage> pages;
    for (int i = 0; i < count; ++i) {
        const Picture p{width, 2, 1, Bytes(std::size_t(2 * width), std::uint8_t(30 * i))};
        if (i < int(palette.size()) && palette[std::size_t(i)]) {
            std::vector<std::uint16_t> map(768);
            for (std::size_t v = 0; v < 768; ++v) map[v] = std::uint16_t((v % 256) * 257);
            pages.push_back({.picture = p, .photometric = PHOTOMETRIC_PALETTE, .colormap = map});
        } else {
            pages.push_back({.picture = p, .photometric = PHOTOMETRIC_MINISBLACK});
        }
    }
    return pages;
}

// ---- JPEG taken apart

// The frame header's size replaced (any SOF marker: baseline, progressive, arithmetic).
inline Bytes Declaring(Bytes jpeg, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        const std::uint8_t m = jpeg[i + 1];
        if (jpeg[i] == 0xFF && (m == 0xC0 || m == 0xC1 || m == 0xC2 || m == 0xC9 || m == 0xCA)) {
            jpeg[i + 5] = std::uint8_t(height >> 8), jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8), jpeg[i + 8] = std::uint8_t(width);
            break;
        }
    }
    return jpeg;
}
inline Bytes JpegDeclaring(std::uint16_t width, std::uint16_t height) {
    return Declaring(EncodeJpeg(DemoCrop(0, 0, 64, 64)), width, height);
}

// A JPEG file as its header (to its first scan), its scans (each SOS segment
// with its coded data and the segments before it) and the end marker.
struct JpegParts {
    Bytes header;
    std::vector<Bytes> scans;
    Bytes end;
};
inline JpegParts Split(const Bytes& jpeg) {
    JpegParts parts;
    parts.header.assign(jpeg.begin(), jpeg.begin() + 2);
    Bytes pending;
    std::size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i + 1] != 0xD9) {
        const std::size_t length = std::size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        std::size_t end = i + 2 + length;
        if (jpeg[i + 1] == 0xDA) {
            while (end + 1 < jpeg.size() && !(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && (jpeg[end + 1] & 0xF8) != 0xD0))
                ++end;
        }
        Bytes& into = parts.scans.empty() && jpeg[i + 1] != 0xDA ? parts.header : pending;
        into.insert(into.end(), jpeg.begin() + i, jpeg.begin() + end);
        if (jpeg[i + 1] == 0xDA) parts.scans.push_back(std::move(pending)), pending.clear();
        i = end;
    }
    parts.end.assign(jpeg.begin() + i, jpeg.end());
    return parts;
}
inline Bytes Joined(const JpegParts& parts) {
    Bytes out = parts.header;
    for (const Bytes& scan : parts.scans) out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), parts.end.begin(), parts.end.end());
    return out;
}
// The file with scan `index` repeated until there are `scans` in all.
inline Bytes WithScans(const Bytes& jpeg, std::size_t index, std::size_t scans) {
    JpegParts parts = Split(jpeg);
    const Bytes repeated = parts.scans[index];
    while (parts.scans.size() < scans) parts.scans.insert(parts.scans.begin() + index, repeated);
    return Joined(parts);
}
// The SOS segment of the first scan alone, then `data` as its coded data, then the end marker.
inline Bytes WithScanData(const Bytes& jpeg, const Bytes& data) {
    JpegParts parts = Split(jpeg);
    const Bytes& scan = parts.scans[0];
    std::size_t sos = 0;
    while (!(scan[sos] == 0xFF && scan[sos + 1] == 0xDA)) sos += 2 + (std::size_t(scan[sos + 2]) << 8 | scan[sos + 3]);
    const std::size_t dataStart = sos + 2 + (std::size_t(scan[sos + 2]) << 8 | scan[sos + 3]);
    return Concat({parts.header, Bytes(scan.begin(), scan.begin() + dataStart), data, {0xFF, 0xD9}});
}
// `count` bytes of a pattern with no 0xFF written over the coded data, from `part` of the file on.
inline Bytes WithGarbage(Bytes jpeg, double part, std::size_t count) {
    const std::size_t at = static_cast<std::size_t>(jpeg.size() * part);
    for (std::size_t i = 0; i < count; ++i) jpeg[at + i] = static_cast<std::uint8_t>((i * 73 + 19) % 251);
    return jpeg;
}

struct HostileCase {
    const char* name;
    Bytes file;
    const char* reason;  // a part of the refusal's line; empty: the page may also be read
};

// A picture of the crop's top rows on a flat white rest: an arithmetic encoder
// codes the white with zero bytes, which it leaves out.
inline Picture FlatBelow(const Picture& crop, int textureRows) {
    Picture p = crop;
    std::fill(p.samples.begin() + std::ptrdiff_t(textureRows) * p.width * p.channels, p.samples.end(), 255);
    return p;
}

inline std::vector<HostileCase> HostileTable() {
    const Picture crop = DemoCrop(0, 0, 64, 64);
    const Picture gray = Gray(DemoCrop(0, 0, 160, 128));
    const Bytes jpeg = EncodeJpeg(crop);
    Bytes jpegBadFrame = jpeg;
    for (std::size_t i = 2; i + 1 < jpegBadFrame.size(); ++i)
        if (jpegBadFrame[i] == 0xFF && jpegBadFrame[i + 1] == 0xC0) jpegBadFrame[i + 4] = 3;  // 3-bit precision
    const Bytes progressive = EncodeJpeg(crop, {.progressive = true});
    const Bytes arithmetic = EncodeJpeg(gray, {.arithmetic = true});
    const Bytes png = EncodePng(crop.width, crop.height, crop.samples, {});
    Bytes pngBadCrc = png;
    pngBadCrc[29] ^= 0xFF;  // the header chunk's CRC
    const Bytes tiff = EncodeTiff({{.picture = crop, .compression = COMPRESSION_ADOBE_DEFLATE}});
    const Bytes bits(16 * 2, 0x55);
    const Bytes flatGray = EncodeJpeg(Picture{16, 16, 1, Bytes(256, 200)}, {.arithmetic = true});
    Picture sampled4x2 = DemoCrop(0, 0, 64, 64);

    return {
        {"empty", {}, "an empty file"},
        {"garbage", Bytes(300, 0x37), "not a JPEG, PNG, TIFF or BMP file"},
        {"bmp-from-memory", {'B', 'M', 0, 0}, "a bitmap is read from its file only"},
        {"jpeg-truncated", Cut(jpeg, 0.5), "truncated JPEG file"},
        {"jpeg-headers-only", Cut(jpeg, 0.1), "JPEG file"},
        {"jpeg-bad-frame", jpegBadFrame, "broken JPEG file"},
        {"jpeg-65000-square", JpegDeclaring(65000, 65000), "65000 x 65000 pixels: beyond the largest page"},
        {"jpeg-30000-square", JpegDeclaring(30000, 30000), "truncated JPEG file: too short for 30000 x 30000"},
        {"jpeg-zero-height", JpegDeclaring(64, 0), "broken JPEG file"},
        // Data that end early, or garbage in them, with the file's end marker after them.
        {"jpeg-cut-then-end-marker", WithEndMarker(Cut(jpeg, 0.5)), "Corrupt JPEG data: premature end of data segment"},
        {"jpeg-garbage-in-scan", WithGarbage(jpeg, 0.6, 40), "broken JPEG file: Corrupt JPEG data"},
        {"jpeg-stray-bytes-after-scan", Concat({WithoutEndMarker(jpeg), Bytes(16, 0x55), {0xFF, 0xD9}}),
         "extraneous bytes before marker"},
        {"jpeg-progressive-cut-then-end-marker", [&] {
             JpegParts parts = Split(progressive);
             parts.scans.resize(6);
             parts.scans[5] = Cut(parts.scans[5], 0.7);  // in its coded data
             return Joined(parts);
         }(), "broken JPEG file: Corrupt JPEG data"},
        {"jpeg-progressive-scans-missing", [&] {
             JpegParts parts = Split(progressive);
             parts.scans.resize(3);
             parts.end.clear();
             return Joined(parts);
         }(), "truncated JPEG file"},
        {"jpeg-arithmetic-cut-then-end-marker", WithEndMarker(Cut(arithmetic, 0.5)),
         "broken JPEG file: Corrupt JPEG data: premature end of data segment"},
        {"jpeg-arithmetic-cut", Cut(arithmetic, 0.5), "truncated JPEG file"},
        {"jpeg-arithmetic-flat-rest-cut-in-texture", WithEndMarker(Cut(EncodeJpeg(FlatBelow(gray, 64), {.arithmetic = true}), 0.5)),
         "premature end of data segment"},
        {"tiff-jpeg-strip-cut-then-end-marker",
         HandMadeTiff({.width = 160, .height = 128, .compression = COMPRESSION_JPEG},
                      WithEndMarker(Cut(EncodeJpeg(gray), 0.5))),
         "broken TIFF file: Corrupt JPEG data"},
        // Scans: a repeated one is an inconsistent progression; 100 at most.
        {"jpeg-repeated-scan", WithScans(progressive, 1, 12), "Inconsistent progression sequence"},
        {"jpeg-101-scans", WithScans(EncodeJpeg(gray, {.fullPrecisionScans = true}), 1, 101), "more than 100 scans"},
        {"png-truncated", Cut(png, 0.5), "truncated PNG file"},
        {"png-signature-only", Cut(png, 0.05), "truncated PNG file"},
        {"png-bad-crc", pngBadCrc, "broken PNG file"},
        {"png-100000-square", HandMadePng(100000, 100000, Deflated(1000)), "beyond the largest page"},
        {"png-2^31-1-wide", HandMadePng(0x7FFFFFFF, 1, Deflated(1000)), "beyond the largest page"},
        {"png-30000-square", HandMadePng(30000, 30000, Deflated(1000)), "too short for 30000 x 30000"},
        {"png-zero-width", HandMadePng(0, 16, Deflated(16)), "broken PNG file"},
        {"png-1-bit", HandMadePng(16, 16, Deflated(16 * 3), 1), "1-bit page: nothing to whiten"},
        // libpng drops a transparency chunk it cannot read and goes on.
        {"png-transparency-bad-crc", PalettePng(WithBadCrc(PngChunk("tRNS", {0, 128, 255, 255}))), "broken PNG file: tRNS"},
        {"png-transparency-longer-than-palette", PalettePng(PngChunk("tRNS", Bytes(9, 0))), "broken PNG file: tRNS"},
        // A chunk declaring 256 MiB in a file of a hundred bytes: refused before libpng takes a buffer for it.
        {"png-text-chunk-longer-than-the-file", [] {
             Bytes file = HandMadePng(16, 16, Deflated(16 * 17), 8, PNG_COLOR_TYPE_GRAY, PngChunk("tEXt", {'a', 0, 'b'}));
             file[33] = 0x10;  // the text chunk's length, after the signature and the header chunk
             return file;
         }(), "truncated PNG file"},
        {"tiff-truncated", Cut(tiff, 0.5), "broken TIFF file"},
        {"tiff-header-only", Cut(tiff, 0.02), "broken TIFF file"},
        {"tiff-100000-square", HandMadeTiff({.width = 100000, .height = 100000}, Bytes(64, 0)), "beyond the largest page"},
        {"tiff-30000-square-deflate",
         HandMadeTiff({.width = 30000, .height = 30000, .compression = COMPRESSION_ADOBE_DEFLATE}, Deflated(100000)),
         "too short for the page's pixels"},
        {"tiff-strip-beyond-the-file", HandMadeTiff({.stripBytes = 256}, Bytes(100, 0)), "too short for the page's pixels"},
        {"tiff-65535-entries", HandMadeTiff({.declaredEntries = 65535}, Bytes(256, 0)), "broken TIFF file"},
        // libtiff reads the one strip the page needs and ignores the declared count.
        {"tiff-huge-strip-count", HandMadeTiff({.stripOffsetsCount = 1u << 28}, Bytes(256, 0)), ""},
        {"tiff-zero-width", HandMadeTiff({.width = 0}, Bytes(16, 0)), "TIFF"},
        {"tiff-1-bit", HandMadeTiff({.bits = 1}, bits), "1-bit page: nothing to whiten"},
        {"tiff-4-bit", HandMadeTiff({.bits = 4}, Bytes(128, 0)), "4-bit samples"},
        // libtiff drops a colour map it cannot read and takes the indices for gray.
        {"tiff-colour-map-beyond-the-end",
         HandMadeTiff({.photometric = PHOTOMETRIC_PALETTE, .extra = {{320, 3, 768, 0x7FFF0000}}}, Bytes(256, 7)),
         "broken TIFF file: IO error during reading of \"ColorMap\""},
        {"tiff-colour-map-cut",
         HandMadeTiff({.stripBytes = 256, .photometric = PHOTOMETRIC_PALETTE, .extra = {{320, 3, 768, kAfterStrip}}},
                      Concat({Bytes(256, 7), Bytes(1000, 0)})),
         "\"ColorMap\""},
        // ... and reads a palette page with no colour map at all as gray or RGB.
        {"tiff-palette-without-colour-map", HandMadeTiff({.photometric = PHOTOMETRIC_PALETTE}, Bytes(256, 7)),
         "broken TIFF file: a palette page without its palette"},
        {"tiff-rgb-palette-without-colour-map",
         HandMadeTiff({.photometric = PHOTOMETRIC_PALETTE, .samples = 3}, Bytes(768, 7)),
         "broken TIFF file: a palette page without its palette"},
        {"tiff-old-style-jpeg-colour",
         HandMadeTiff({.compression = COMPRESSION_OJPEG, .photometric = PHOTOMETRIC_YCBCR, .samples = 3},
                      EncodeJpeg(DemoCrop(0, 0, 16, 16), {.hSampling = 1, .vSampling = 1})),
         "YCbCr samples of old-style JPEG (compression 6) pages are not read"},
        // Tiny files declaring huge pages: refused before their pages' storage.
        {"jpeg-arithmetic-20000-square", Declaring(WithScanData(flatGray, {}), 20000, 20000),
         "truncated JPEG file: too short for 20000 x 20000 pixels"},
        {"jpeg-4x2-sampled-20000-square",
         Declaring(WithScanData(EncodeJpeg(sampled4x2, {.hSampling = 4, .vSampling = 2}), Bytes(98000, 0)), 20000, 20000),
         "truncated JPEG file: too short for 20000 x 20000 pixels"},
        // Enough data for the size, broken after a few rows: storage for those rows only.
        {"jpeg-4000-by-8000-data-break-early", Declaring(WithScanData(EncodeJpeg(gray), Bytes(130000, 0)), 4000, 8000),
         "premature end of data segment"},
        {"tiff-zstd-20000-square", HandMadeTiff({.width = 20000, .height = 20000, .compression = COMPRESSION_ZSTD}, Bytes(16, 0)),
         "too short for the page's pixels"},
        {"tiff-jpeg-20000-square", HandMadeTiff({.width = 20000, .height = 20000, .compression = COMPRESSION_JPEG}, Bytes(16, 0)),
         "broken TIFF file"},
        {"tiff-webp-16000-square",
         HandMadeTiff({.width = 16000, .height = 16000, .compression = COMPRESSION_WEBP, .photometric = PHOTOMETRIC_RGB,
                       .samples = 3},
                      Bytes(16, 0)),
         "broken TIFF file"},
        {"tiff-lzw-5000-square-one-strip",
         HandMadeTiff({.width = 5000, .height = 5000, .compression = COMPRESSION_LZW}, Bytes(10000, 0x80)),
         "broken TIFF file"},
    };
}

struct WholeCase {
    const char* name;
    Bytes file;
    Picture expected;  // as the reference decodes it (the page as the file holds it)
};

// Whole files the libraries warn about, or that look damaged to a reader
// that took their warnings for damage.
inline std::vector<WholeCase> WarnedButWholeTable() {
    const Picture crop = DemoCrop(0, 0, 64, 48);
    const Picture gray = Gray(DemoCrop(0, 0, 160, 128));
    const Bytes jpeg = EncodeJpeg(crop);
    const Bytes progressive = EncodeJpeg(crop, {.progressive = true});
    const Bytes arithmetic = EncodeJpeg(gray, {.arithmetic = true});
    const Bytes flatRest = EncodeJpeg(FlatBelow(gray, 40), {.arithmetic = true});
    JpegParts padded = Split(jpeg);
    padded.header.insert(padded.header.begin() + 20, {0, 0, 0});  // after the JFIF segment
    const Bytes twoExif = EncodeJpeg(crop, {.app1 = Exif({{0x0112, 3, 1}}), .secondApp1 = Exif({{0x0112, 3, 6}})});
    const Bytes strip(256, 90);
    const Picture stripPage{16, 16, 1, strip};
    Bytes grayRows;
    for (int y = 0; y < 16; ++y) grayRows.push_back(0), grayRows.insert(grayRows.end(), strip.begin() + 16 * y, strip.begin() + 16 * y + 16);
    return {
        {"jpeg-without-its-end-marker", WithoutEndMarker(jpeg), DecodeJpeg(jpeg)},
        {"jpeg-progressive-without-its-end-marker", WithoutEndMarker(progressive), DecodeJpeg(progressive)},
        {"jpeg-arithmetic-without-its-end-marker", WithoutEndMarker(arithmetic), DecodeJpeg(arithmetic)},
        {"jpeg-arithmetic-flat-rest", flatRest, DecodeJpeg(flatRest)},
        {"jpeg-padding-between-header-segments", Joined(padded), DecodeJpeg(jpeg)},
        {"jpeg-two-exif-segments-the-first-counts", twoExif, DecodeJpeg(twoExif)},
        {"tiff-unknown-tag", HandMadeTiff({.extra = {{65000, 3, 1, 7}}}, strip), stripPage},
        {"tiff-text-without-nul", HandMadeTiff({.extra = {{270, 2, 3, 'a' | 'b' << 8 | 'c' << 16}}}, strip), stripPage},
        {"png-text-bad-crc",
         HandMadePng(16, 16, Deflated(grayRows), 8, PNG_COLOR_TYPE_GRAY, WithBadCrc(PngChunk("tEXt", {'a', 0, 'b'}))),
         stripPage},
    };
}

}  // namespace formattest
