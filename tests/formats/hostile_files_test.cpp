// Broken, truncated and hostile files: each is refused with one line, and no
// page storage near the size a header declares is ever taken.
#include <gtest/gtest.h>
#include <zlib.h>

#include "formats/PageReader.h"
#include "support/allocation_watch.h"
#include "tests/formats/format_files.h"

namespace {

using namespace formattest;
using Bytes = std::vector<std::uint8_t>;

void PutBig(Bytes& b, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutLittle(Bytes& b, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes Deflated(std::size_t zeros) {
    Bytes raw(zeros, 0), out(compressBound(zeros));
    uLongf size = out.size();
    compress(out.data(), &size, raw.data(), raw.size());
    out.resize(size);
    return out;
}

// ---- PNG from chunks

Bytes PngChunk(const char* type, const Bytes& data) {
    Bytes chunk;
    PutBig(chunk, static_cast<std::uint32_t>(data.size()), 4);
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBig(chunk, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(data.size() + 4))), 4);
    return chunk;
}

Bytes HandMadePng(std::uint32_t width, std::uint32_t height, const Bytes& idat, int depth = 8, int colorType = 0) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBig(ihdr, width, 4);
    PutBig(ihdr, height, 4);
    ihdr.insert(ihdr.end(), {std::uint8_t(depth), std::uint8_t(colorType), 0, 0, 0});
    for (const Bytes& chunk : {PngChunk("IHDR", ihdr), PngChunk("IDAT", idat), PngChunk("IEND", {})})
        png.insert(png.end(), chunk.begin(), chunk.end());
    return png;
}

// ---- TIFF from one IFD: one strip of `strip` bytes after the IFD

struct TiffFields {
    std::uint32_t width = 16, height = 16;
    std::uint16_t bits = 8, compression = COMPRESSION_NONE;
    std::uint32_t stripOffsetsCount = 1;
    std::uint32_t stripBytes = 0;     // 0: the strip's own size
    std::uint16_t declaredEntries = 0;  // 0: the real count
};

Bytes HandMadeTiff(const TiffFields& f, const Bytes& strip) {
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    const std::uint32_t dataOffset = 8 + 2 + 12 * 9 + 4;
    const Entry entries[] = {{256, 4, 1, f.width},
                             {257, 4, 1, f.height},
                             {258, 3, 1, f.bits},
                             {259, 3, 1, f.compression},
                             {262, 3, 1, PHOTOMETRIC_MINISBLACK},
                             {273, 4, f.stripOffsetsCount, dataOffset},
                             {277, 3, 1, 1},
                             {278, 4, 1, f.height},
                             {279, 4, 1, f.stripBytes != 0 ? f.stripBytes : std::uint32_t(strip.size())}};
    Bytes tiff = {'I', 'I', 42, 0};
    PutLittle(tiff, 8, 4);
    PutLittle(tiff, f.declaredEntries != 0 ? f.declaredEntries : 9, 2);
    for (const Entry& e : entries) {
        PutLittle(tiff, e.tag, 2);
        PutLittle(tiff, e.type, 2);
        PutLittle(tiff, e.count, 4);
        PutLittle(tiff, e.value, e.type == 3 ? 2 : 4);
        if (e.type == 3) PutLittle(tiff, 0, 2);
    }
    PutLittle(tiff, 0, 4);
    tiff.insert(tiff.end(), strip.begin(), strip.end());
    return tiff;
}

// ---- JPEG with the frame header's size replaced

Bytes JpegDeclaring(std::uint16_t width, std::uint16_t height) {
    Bytes jpeg = EncodeJpeg(DemoCrop(0, 0, 64, 64));
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = std::uint8_t(height >> 8), jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8), jpeg[i + 8] = std::uint8_t(width);
            break;
        }
    }
    return jpeg;
}

Bytes Cut(Bytes bytes, double part) {
    bytes.resize(static_cast<std::size_t>(bytes.size() * part));
    return bytes;
}

struct HostileCase {
    const char* name;
    Bytes file;
    const char* reason;  // a part of the refusal's line; empty: the page may also be read
};

std::vector<HostileCase> HostileTable() {
    const Picture crop = DemoCrop(0, 0, 64, 64);
    const Bytes jpeg = EncodeJpeg(crop);
    Bytes jpegBadFrame = jpeg;
    for (std::size_t i = 2; i + 1 < jpegBadFrame.size(); ++i)
        if (jpegBadFrame[i] == 0xFF && jpegBadFrame[i + 1] == 0xC0) jpegBadFrame[i + 4] = 3;  // 3-bit precision
    const Bytes png = EncodePng(crop.width, crop.height, crop.samples, {});
    Bytes pngBadCrc = png;
    pngBadCrc[29] ^= 0xFF;  // the header chunk's CRC
    const Bytes tiff = EncodeTiff({{.picture = crop, .compression = COMPRESSION_ADOBE_DEFLATE}});
    const Bytes bits(16 * 2, 0x55);

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
        {"png-truncated", Cut(png, 0.5), "truncated PNG file"},
        {"png-signature-only", Cut(png, 0.05), "truncated PNG file"},
        {"png-bad-crc", pngBadCrc, "broken PNG file"},
        {"png-100000-square", HandMadePng(100000, 100000, Deflated(1000)), "beyond the largest page"},
        {"png-2^31-1-wide", HandMadePng(0x7FFFFFFF, 1, Deflated(1000)), "beyond the largest page"},
        {"png-30000-square", HandMadePng(30000, 30000, Deflated(1000)), "too short for 30000 x 30000"},
        {"png-zero-width", HandMadePng(0, 16, Deflated(16)), "broken PNG file"},
        {"png-1-bit", HandMadePng(16, 16, Deflated(16 * 3), 1), "1-bit page: nothing to whiten"},
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
    };
}

TEST(HostileFiles, EachIsRefusedWithItsReasonAndNoPageStorage) {
    testing::internal::CaptureStderr();
    for (const HostileCase& c : HostileTable()) {
        SCOPED_TRACE(c.name);
        std::string refusal;
        const std::size_t peak = testsupport::PeakBytesHeldBy([&] {
            try {
                const auto reader = OpenPageReaderFromMemory(c.file);
                for (int i = 0; i < reader->PageCount(); ++i) {
                    PageImage page;
                    reader->Read(i, page);
                }
            } catch (const PageRefused& refused) {
                refusal = refused.what();
            }
        });
        if (*c.reason != '\0') {
            EXPECT_NE(refusal.find(c.reason), std::string::npos) << "refused with: " << refusal;
        }
        EXPECT_EQ(refusal.find('\n'), std::string::npos);
        EXPECT_LT(peak, std::size_t{1} << 20) << "bytes held";
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the libraries' messages reached the terminal";
}

// The fuzzers' lowered pixel limit holds for every format.
TEST(HostileFiles, ALoweredPixelLimitRefusesLargerPages) {
    const Picture crop = DemoCrop(0, 0, 64, 64);
    const Bytes files[] = {EncodeJpeg(crop), EncodePng(crop.width, crop.height, crop.samples, {}),
                           EncodeTiff({{.picture = crop}})};
    for (const Bytes& file : files) {
        PageImage page;
        EXPECT_THROW(OpenPageReaderFromMemory(file, 64 * 63)->Read(0, page), PageRefused);
        EXPECT_NO_THROW(OpenPageReaderFromMemory(file, 64 * 64)->Read(0, page));
    }
}

}  // namespace
