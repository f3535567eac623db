// Reflection of any index into one axis of a plane, for growing the plane by
// mirror extension: the reflection is about the half-sample points first - 0.5
// and first + extent - 0.5, so the edge index repeats and the pattern has the
// period 2 * extent.
#pragma once

#include <cstdint>
#include <string>

struct MirrorIndex {
    // Longest axis a plane can have: no plane holds more than 2^30 - 1 elements.
    static constexpr std::int32_t maxExtent = 0x3FFFFFFF;

    std::int32_t extent;  // indices in the range first .. first + extent - 1
    std::int32_t period;  // 2 * extent
    std::int32_t first;

    // Throws a std::string for an extent outside 1 .. maxExtent.
    MirrorIndex(std::int32_t rangeFirst, std::int32_t rangeExtent)
        : extent(rangeExtent), period(0), first(rangeFirst) {
        if (rangeExtent < 1 || rangeExtent > maxExtent) throw std::string("MirrorIndex : extent out of range!");
        period = 2 * rangeExtent;
    }

    // The index inside the range that `index` reflects onto. Evaluated in 64
    // bits, so any 32-bit index, however far outside the range, is safe.
    std::int32_t Map(std::int32_t index) const {
        const std::int64_t d = static_cast<std::int64_t>(index) - first;
        // d reduced into 0 .. period - 1, with remainders of non-negative numbers only.
        const std::int64_t m = d >= 0 ? d % period : period - (-d - 1) % period - 1;
        const std::int64_t offset = m < extent ? m : period - m - 1;  // 0 .. extent - 1
        return static_cast<std::int32_t>(first + offset);
    }
};
