// The 512-bin histogram the tone curve finds the paper level in.
#pragma once

#include <cstdint>
#include <vector>

#include "array/CArrayBase.h"

inline constexpr int kHistogramBins = 512;
inline constexpr int kHistogramClearedBins = 3;
// The bins the tone curve reads the paper level from.
inline constexpr float kToneBinsOrigin = -256.0f;
inline constexpr float kToneBinWidth = 1.0f;

// Counts the elements into 512 bins of `binWidth` starting at `origin`, then sets
// the three most populated bins to 0 (among equal counts the lower index is
// cleared first). Values below bin 1, NaN and -inf count in bin 0; values at or
// beyond bin 511, +inf included, count in bin 511. `cleared`, when given,
// receives the cleared bins in the order they were cleared. Counting is shared
// out among `threads` threads; counts are whole numbers, so the sum is exact.
std::vector<int> Histogram(const CArrayBase<float>& plane, float origin, float binWidth,
                           std::vector<int>* cleared = nullptr, int threads = 1);

// The two halves of Histogram. CountIntoBins adds the bin counts of `count`
// values to `counts` (512 entries); ClearFullestBins sets the three most
// populated bins to 0 as Histogram does.
void CountIntoBins(const float* values, std::int64_t count, float origin, float binWidth, std::vector<int>& counts);
void ClearFullestBins(std::vector<int>& counts, std::vector<int>* cleared = nullptr);
