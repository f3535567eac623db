// Checked element counts for arrays whose extents come from bounds or file
// headers. Everything is computed in 64 bits, so no intermediate can wrap.
#pragma once

#include <cstdint>
#include <limits>
#include <new>

namespace arraysize {

// Number of indices in the inclusive range first..last; negative when last < first - 1.
constexpr std::int64_t Extent(std::int32_t first, std::int32_t last) {
    return static_cast<std::int64_t>(last) - first + 1;
}

// Element count of a width x height plane, or -1 when either extent is negative
// or beyond the signed 32-bit range (pitch and row count are held in 32 bits,
// even for an empty plane), or the count does not fit `limit`.
constexpr std::int64_t CheckedCount(std::int64_t width, std::int64_t height, std::int64_t limit) {
    constexpr std::int64_t maxExtent = std::numeric_limits<std::int32_t>::max();
    if (width < 0 || height < 0 || width > maxExtent || height > maxExtent) return -1;
    if (width != 0 && height > limit / width) return -1;
    return width * height;
}

// Largest number of T an array may hold: the count is a signed 32-bit value and
// its byte size must fit 32 bits, as the arrays' size fields are that wide.
template <class T>
constexpr std::int64_t MaxElements() {
    constexpr std::int64_t bySize = static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max()) /
                                    static_cast<std::int64_t>(sizeof(T));
    constexpr std::int64_t byCount = std::numeric_limits<std::int32_t>::max();
    return bySize < byCount ? bySize : byCount;
}

}  // namespace arraysize
