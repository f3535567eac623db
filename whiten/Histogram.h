// The tool's path: the 512-bin histogram the tone curve finds the paper level
// in (the reference's Histogram() is in Reference.h).
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int kHistogramBins = 512;
inline constexpr int kHistogramClearedBins = 3;
// The bins the tone curve reads the paper level from.
inline constexpr float kToneBinsOrigin = -256.0f;
inline constexpr float kToneBinWidth = 1.0f;

// CountIntoBins adds the bin counts of `count` values to `counts` (512 bins of
// `binWidth` from `origin`): values below bin 1, NaN and -inf count in bin 0;
// values at or beyond bin 511, +inf included, in bin 511. ClearFullestBins sets
// the three most populated bins to 0 (among equal counts the lower index is
// cleared first); `cleared`, when given, receives them in that order.
void CountIntoBins(const float* values, std::int64_t count, float origin, float binWidth, std::vector<int>& counts);
void ClearFullestBins(std::vector<int>& counts, std::vector<int>* cleared = nullptr);
