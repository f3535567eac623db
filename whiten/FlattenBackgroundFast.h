// The tool's path: the background flattening without the padded planes, the
// same values as FlattenBackground computed from only the work that reaches them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "array/CArray2D.h"
#include "platform/ParallelFor.h"

// A gray page as the tool holds it: whole levels 0 .. 255, one byte per pixel,
// row y at bytes + y * pitch.
struct GrayBytes {
    const std::uint8_t* bytes;
    std::ptrdiff_t pitch;
    std::int32_t width, height;
    const std::uint8_t* Row(std::int32_t y) const { return bytes + y * pitch; }
};

// What FlattenBackgroundFast may do besides flattening.
struct FastFlattenOptions {
    int threads = DefaultThreadCount();
    // Receives the un-normalised background cropped to the page (the same as the
    // reference's up to the sign of zero).
    CArray2D<float>* background = nullptr;
    // Receives the flattened values' counts in the tone curve's 512 bins (from
    // -256, width 1, nothing cleared), counted as the values are written.
    std::vector<int>* toneBins = nullptr;
};

// Writes into `plane` exactly the values FlattenBackground gives the page as a
// float plane, whatever the thread count. The plane must have the page's width
// and height; its values are overwritten (it may start uncleared) and its
// bounds are centred on 0 as CenterOrigin centres them.
//
// Only the (2B + 1) x (2B + 1) lowest frequencies survive the window, so the
// work goes in four phases, each keeping only what the next one reads (every
// butterfly kept is the full transform's own, see CPrunedFft):
//   forward rows     each distinct page row once (the padded rows are mirror
//                    copies of page rows), outputs at the kept frequencies u;
//   kept columns     the columns u through the row mirror, outputs at the kept
//                    v, times the window;
//   inverse rows     the non-zero rows v, outputs at the page's columns only;
//   inverse columns  each page column from its non-zero inputs, outputs at the
//                    page's rows: the background, written into the plane; then
//                    the page divided by it, normalised.
// Memory beyond the plane: a few rows of spectrum, the kept rows between the
// two inverse phases, and per thread a block.
void FlattenBackgroundFast(const GrayBytes& page, CArray2D<float>& plane, const FastFlattenOptions& options = {});
