// The background flattening without the padded planes: the same values as
// FlattenBackground, computed from only the work that reaches them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "array/CArray2D.h"
#include "platform/ParallelFor.h"

// What FlattenBackgroundFast may do besides flattening.
struct FastFlattenOptions {
    int threads = DefaultThreadCount();
    // Receives the un-normalised background cropped to the page (the same as the
    // reference's up to the sign of zero).
    CArray2D<float>* background = nullptr;
    // A page of whole numbers 0 .. 255 is kept as a byte copy while the plane
    // holds the background; with room for one byte per pixel this storage takes
    // that copy instead of new storage (its content is lost).
    std::span<std::uint8_t> scratch;
    // Receives the flattened values' counts in the tone curve's 512 bins (from
    // -256, width 1, nothing cleared), counted as the values are written.
    std::vector<int>* toneBins = nullptr;
};

// Gives the plane exactly the values FlattenBackground gives it, whatever the
// thread count.
//
// Only the (2B + 1) x (2B + 1) lowest frequencies survive the window, so:
// each distinct page row is transformed once (the padded rows are mirror
// copies of page rows), keeping outputs -B .. B only; the 2B + 1 columns -B .. B
// are transformed keeping outputs -B .. B; the window is applied there; the
// inverse transforms the 2B + 1 non-zero rows for the page's columns only, then
// each page column from its 2B + 1 non-zero inputs for the page's rows only.
// Every butterfly kept is the full transform's own (see CPrunedFft). Memory
// beyond the plane is a byte copy of the page (or none, see scratch), a few rows
// of spectrum and a tile of columns per thread.
void FlattenBackgroundFast(CArray2D<float>& plane, const FastFlattenOptions& options = {});
