#include "whiten/Histogram.h"

#include <algorithm>
#include <numeric>

std::vector<int> Histogram(const CArrayBase<float>& plane, float origin, float binWidth,
                           std::vector<int>* cleared) {
    std::vector<int> counts(kHistogramBins, 0);
    const double lower = static_cast<double>(origin);
    const double width = static_cast<double>(binWidth);
    const float* values = plane.elements();
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) {
        const double q = (static_cast<double>(values[i]) - lower) / width;
        int bin;
        if (!(q >= 1.0)) {
            bin = 0;  // below bin 1, or NaN
        } else if (q >= static_cast<double>(kHistogramBins - 1)) {
            bin = kHistogramBins - 1;
        } else {
            bin = static_cast<int>(q);
        }
        ++counts[static_cast<std::size_t>(bin)];
    }

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
    return counts;
}
