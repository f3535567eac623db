// Byte-level builders for bitmap files in tests, sound and broken alike. Written
// independently of the image library: the bytes are laid out here by hand.
#pragma once

#include <cstdint>
#include <string>

namespace testbmp {

inline void Put(std::string& s, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The 54 header bytes. biHeight as stored (negative for top-down); bfSize as
// given, or 54 + dataBytes when 0 is passed.
inline std::string Headers(std::int32_t biWidth, std::int32_t biHeight, std::uint16_t bitCount,
                           std::uint32_t offBits = 54, std::uint32_t biSize = 40,
                           std::uint32_t bfSize = 0) {
    std::string h(54, '\0');
    h[0] = 'B';
    h[1] = 'M';
    Put(h, 2, bfSize, 4);
    Put(h, 10, offBits, 4);
    Put(h, 14, biSize, 4);
    Put(h, 18, static_cast<std::uint32_t>(biWidth), 4);
    Put(h, 22, static_cast<std::uint32_t>(biHeight), 4);
    Put(h, 26, 1, 2);
    Put(h, 28, bitCount, 2);
    Put(h, 38, 2835, 4);  // 72 dpi, which Save resets to 0
    Put(h, 42, 2835, 4);
    return h;
}

// Colour byte c (0 blue, 1 green, 2 red, 3 the unused fourth) of pixel x in the
// picture's line `line`, counted from the bottom line.
inline std::uint8_t PatternByte(int x, int line, int c) {
    return static_cast<std::uint8_t>(line * 31 + x * 7 + c * 3 + 1);
}

// One stored row of `line`: bytesPerPixel 3 (padded to 4 with `padByte`) or 4.
inline std::string Row(int width, int line, int bytesPerPixel, char padByte = '\0') {
    std::string row;
    for (int x = 0; x < width; ++x)
        for (int c = 0; c < bytesPerPixel; ++c) row += static_cast<char>(PatternByte(x, line, c));
    while (row.size() % 4 != 0) row += padByte;
    return row;
}

// The rows of a width × height picture, bottom line first, or top line first.
inline std::string Rows(int width, int height, int bytesPerPixel, bool topDown = false,
                        char padByte = '\0') {
    std::string rows;
    for (int i = 0; i < height; ++i) rows += Row(width, topDown ? height - 1 - i : i, bytesPerPixel, padByte);
    return rows;
}

// A complete, sound bottom-up page.
inline std::string Page(int width, int height, std::uint16_t bitCount = 24) {
    const int bytesPerPixel = bitCount == 32 ? 4 : 3;
    const std::string rows = Rows(width, height, bytesPerPixel);
    return Headers(width, height, bitCount, 54, 40, static_cast<std::uint32_t>(54 + rows.size())) + rows;
}

}  // namespace testbmp
