// The reference the tests compare against, not the tool's path: the
// straightforward whitening stages in place on a float plane, and a whole page
// through them. The tool's path (WhitenPage) must give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "array/CArray2D.h"
#include "image/CBmp24.h"
#include "whiten/ToneCurve.h"

// The page in `image` replaced by its whitened page, stage by stage:
// BitmapToGray, FlattenBackground, ToneMap, GrayToBitmap.
void WhitenPageReference(CBmp24_<0>& image, int threads = 1);

// Counts the elements into 512 bins of `binWidth` starting at `origin`, then sets
// the three most populated bins to 0 (among equal counts the lower index is
// cleared first). Values below bin 1, NaN and -inf count in bin 0; values at or
// beyond bin 511, +inf included, count in bin 511. `cleared`, when given,
// receives the cleared bins in the order they were cleared. Counting is shared
// out among `threads` threads; counts are whole numbers, so the sum is exact.
std::vector<int> Histogram(const CArrayBase<float>& plane, float origin, float binWidth,
                           std::vector<int>* cleared = nullptr, int threads = 1);

// The curve for the plane's paper level: its 512-bin histogram from -256,
// width 1, without the three fullest bins.
ToneCurve FindToneCurve(const CArray2D<float>& plane, int threads = 1);

// Finds the plane's tone curve and maps every element through it in place;
// returns the curve. Elements are mapped independently, so sharing them out
// among threads changes nothing in the result.
ToneCurve ToneMap(CArray2D<float>& plane, int threads = 1);

// curve.Apply() on every value in place; the steps around the exponential run
// in vector lanes.
void ApplyToneCurve(const ToneCurve& curve, float* values, std::int64_t count);
