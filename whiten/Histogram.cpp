// The tool's path: bin counting and clearing for the tone curve.
#include "whiten/Histogram.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "platform/VectorClones.h"

namespace {

// The bin of value v: q = (v - origin) / width in double, truncated, with
// everything below 1 (NaN included) in bin 0 and everything from 511 up in 511.
// With a width of exactly 1 the division is left out: dividing by 1 changes no
// double, NaN and infinities included.
template <bool kUnitWidth>
WHITEN_CLONED_BODY int BinOf(float v, double lower, double width) {
    const double offset = static_cast<double>(v) - lower;
    const double q = kUnitWidth ? offset : offset / width;
    // Limited in double first, so that the truncation is always defined; the
    // choices are selects, so that a block of values runs in vector lanes.
    const double limited = q >= 1.0 ? (q < static_cast<double>(kHistogramBins - 1) ? q : kHistogramBins - 1) : 0.0;
    return static_cast<int>(limited);
}

constexpr std::int64_t kBlock = 256;  // values whose bins are worked out at a time

// The bins of kBlock values: a fixed length, so that they are worked out in vector lanes.
// Counting value by value instead makes the whole A4 job 1.14 times as long.
WHITEN_VECTOR_CLONES
void BlockBins(const float* values, double lower, int* bins) {
    for (std::int64_t i = 0; i < kBlock; ++i) bins[i] = BinOf<true>(values[i], lower, 1.0);
}

WHITEN_VECTOR_CLONES
void BlockBins(const float* values, double lower, double width, int* bins) {
    for (std::int64_t i = 0; i < kBlock; ++i) bins[i] = BinOf<false>(values[i], lower, width);
}

template <bool kUnitWidth>
void CountWith(const float* values, std::int64_t count, double lower, double width, std::vector<int>& counts) {
    // Bins are worked out a block at a time, in vector lanes, before they are counted.
    std::array<int, kBlock> bins;
    std::int64_t start = 0;
    for (; start + kBlock <= count; start += kBlock) {
        if (kUnitWidth) {
            BlockBins(values + start, lower, bins.data());
        } else {
            BlockBins(values + start, lower, width, bins.data());
        }
        for (int bin : bins) ++counts[static_cast<std::size_t>(bin)];
    }
    for (; start < count; ++start) ++counts[static_cast<std::size_t>(BinOf<kUnitWidth>(values[start], lower, width))];
}

}  // namespace

void CountIntoBins(const float* values, std::int64_t count, float origin, float binWidth, std::vector<int>& counts) {
    const double lower = static_cast<double>(origin);
    const double width = static_cast<double>(binWidth);
    if (width == 1.0) {
        CountWith<true>(values, count, lower, width, counts);
    } else {
        CountWith<false>(values, count, lower, width, counts);
    }
}

void ClearFullestBins(std::vector<int>& counts, std::vector<int>* cleared) {
    // Bins by descending count; the stable sort keeps equal counts in index order,
    // so the result does not depend on the standard library.
    std::vector<int> order(kHistogramBins);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&counts](int a, int b) {
        return counts[static_cast<std::size_t>(a)] > counts[static_cast<std::size_t>(b)];
    });
    for (int k = 0; k < kHistogramClearedBins; ++k) {
        counts[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] = 0;
        if (cleared != nullptr) cleared->push_back(order[static_cast<std::size_t>(k)]);
    }
}
