// Input files for the whiten-pages runs, made from the golden pages: the
// classic tool's inputs as they are, and several of them as one uncompressed
// RGB TIFF of many pages, written field by field.
#pragma once

#include "support/golden.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pagetest {

inline std::string Golden(const std::string& name) {
    return testsupport::ReadFile(testsupport::DataPath("golden/pages/" + name));
}

inline void Put(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
}

inline std::uint32_t Get(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// A multi-page TIFF of the 24-bit bitmaps (54-byte headers, bottom-up rows):
// the same pixels, RGB, top row first.
inline std::string MultiPageTiff(const std::vector<std::string>& bitmaps) {
    std::string tiff = "II*";
    tiff += '\0';
    Put(tiff, 8, 4);
    for (std::size_t p = 0; p < bitmaps.size(); ++p) {
        const std::string& bmp = bitmaps[p];
        const std::uint32_t width = Get(bmp, 18, 4), height = Get(bmp, 22, 4);
        const std::uint32_t rowBytes = (3 * width + 3) / 4 * 4;
        constexpr std::uint32_t kEntries = 10;
        const auto ifd = static_cast<std::uint32_t>(tiff.size());
        const std::uint32_t bits = ifd + 2 + 12 * kEntries + 4, pixels = bits + 6, size = 3 * width * height;
        Put(tiff, kEntries, 2);
        const std::uint32_t entries[kEntries][4] = {
            {256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 3, bits}, {259, 3, 1, 1}, {262, 3, 1, 2},
            {273, 4, 1, pixels}, {277, 3, 1, 3}, {278, 4, 1, height}, {279, 4, 1, size}, {284, 3, 1, 1}};
        for (const auto& e : entries) {
            Put(tiff, e[0], 2); Put(tiff, e[1], 2); Put(tiff, e[2], 4); Put(tiff, e[3], 4);
        }
        const std::uint32_t nextIfd = pixels + size + (size & 1);
        Put(tiff, p + 1 < bitmaps.size() ? nextIfd : 0, 4);
        for (int i = 0; i < 3; ++i) Put(tiff, 8, 2);
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::size_t row = 54 + std::size_t(height - 1 - y) * rowBytes;
            for (std::uint32_t x = 0; x < width; ++x)
                for (int c = 2; c >= 0; --c) tiff += bmp[row + 3 * x + c];
        }
        if (size & 1) tiff += '\0';
    }
    return tiff;
}

// The pages of a TIFF file: its chain of directories.
inline int TiffPageCount(const std::string& tiff) {
    if (tiff.size() < 8 || tiff.compare(0, 4, std::string("II*\0", 4)) != 0) return 0;
    int pages = 0;
    for (std::uint32_t ifd = Get(tiff, 4, 4); ifd != 0 && ifd + 2 <= tiff.size() && pages < 1000; ++pages) {
        const std::uint32_t entries = Get(tiff, ifd, 2);
        if (ifd + 2 + 12 * entries + 4 > tiff.size()) return -1;
        ifd = Get(tiff, ifd + 2 + 12 * entries, 4);
    }
    return pages;
}

}  // namespace pagetest
