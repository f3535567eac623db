// What a plane holds under its new bounds after CArray2D::Reframe.
#pragma once

#include <cstdint>

enum class ReframeMode : std::int32_t {
    Zero = 0,    // every element zero
    Keep = 1,    // old values where old and new bounds overlap, zero elsewhere
    Mirror = 2,  // every element reflected from the old plane (edge repeated)
    Bare = 3,    // whatever Resize leaves: old values in storage order when the count is unchanged
};
