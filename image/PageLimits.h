// The largest page any front end takes, and the one check (and wording) of a
// page's size against it, shared by the bitmap, the readers, the writers, the
// library and the Python module.
#pragma once

#include <cstdint>
#include <string>

namespace limits {

// 1,048,576 pixels a side and 2^30 - 1 pixels in all: the most a gray plane of
// floats holds (its byte size is a 32-bit value). Every other block made for
// a page is smaller (image/BmpLayout.cpp checks the bitmap's).
inline constexpr std::int64_t kMaxSide = std::int64_t{1} << 20;
inline constexpr std::int64_t kMaxPixels = (std::int64_t{1} << 30) - 1;

// True when a width x height page (both >= 0) is no larger than the limits.
constexpr bool FitsLimits(std::int64_t width, std::int64_t height, std::int64_t maxPixels = kMaxPixels) {
    return width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide && width * height <= maxPixels;
}

// Empty when a width x height page may be whitened; else the one-line reason,
// "W x H pixels: an empty page" or "W x H pixels: beyond the largest page
// (1048576 pixels a side, N in all)". `maxPixels` below kMaxPixels lowers the
// limit (fuzzing keeps its pages small).
std::string PageSizeProblem(std::int64_t width, std::int64_t height, std::int64_t maxPixels = kMaxPixels);

}  // namespace limits
