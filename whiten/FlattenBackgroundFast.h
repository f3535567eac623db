// The background flattening without the padded planes: the same values as
// FlattenBackground, computed from only the work that reaches them.
#pragma once

#include <cstdint>
#include <span>

#include "array/CArray2D.h"
#include "platform/ParallelFor.h"

// Gives the plane exactly the values FlattenBackground gives it (and, when
// `background` is given, the same un-normalised background up to the sign of
// zero), whatever the thread count.
//
// Only the (2B + 1) x (2B + 1) lowest frequencies survive the window, so:
// each distinct page row is transformed once (the padded rows are mirror
// copies of page rows), keeping outputs -B .. B only; the 2B + 1 columns -B .. B
// are transformed keeping outputs -B .. B; the window is applied there; the
// inverse transforms the 2B + 1 non-zero rows for the page's columns only, then
// each page column from its 2B + 1 non-zero inputs for the page's rows only,
// twice: once for the background's largest magnitude, once to divide. Every
// butterfly kept is the full transform's own (see CPrunedFft). Memory beyond
// the plane is a few rows of spectrum and a tile of columns per thread.
//
// A page of whole numbers 0 .. 255 is kept as a byte copy while the plane
// holds the background; `scratch`, when it has room for one byte per pixel,
// takes that copy instead of new storage (its content is lost).
void FlattenBackgroundFast(CArray2D<float>& plane, int threads = DefaultThreadCount(),
                           CArray2D<float>* background = nullptr, std::span<std::uint8_t> scratch = {});
