// Checks bitmap headers against the file's real size and derives where and how the
// pixel rows are stored. The one place where header fields become byte counts.
#pragma once

#include <cstdint>

#include "image/PageLimits.h"

namespace bmp {

// Bytes of a stored 24-bit row: 3 × width rounded up to a multiple of 4; 0 for width 0.
constexpr std::int64_t RowBytes24(std::int64_t width) {
    return width <= 0 ? 0 : ((3 * width - 1) / 4) * 4 + 4;
}

struct PixelLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;           // always positive
    bool topDown = false;              // file stores the top line first (negative biHeight)
    std::int32_t bytesPerPixel = 3;    // 4 for 32-bit files, 3 for every other bit count
    std::uint64_t dataOffset = 0;      // file offset of the first stored row
    std::uint64_t fileRowBytes = 0;    // bytes per row in the file
    std::int32_t rowBytes = 0;         // bytes per row in memory (24-bit rows)
    std::uint64_t pixelBytes = 0;      // rowBytes × height
};

// headers: the 54 header bytes (file header, then information header).
// Throws BmpFileBroken with the reason when the headers cannot describe a sound
// page or the file is too short for the pixel data they announce.
PixelLayout CheckLayout(const std::uint8_t* headers, std::uint64_t fileSize);

}  // namespace bmp
