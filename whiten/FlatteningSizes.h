// The transform and window sizes of the background flattening, shared by the
// tool's path and the reference.
#pragma once

#include <cstdint>

// Smallest power of two at least `extent` (1 for an extent of 1): the transform
// length that holds one axis of a page.
std::int32_t PaddedSize(std::int32_t extent);

// Half-size of the low-pass window for the larger padded side: about 1/400 of
// it, rounded down (4096 -> 10).
std::int32_t WindowHalfSize(std::int32_t paddedWidth, std::int32_t paddedHeight);
