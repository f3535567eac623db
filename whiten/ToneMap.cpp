#include "whiten/ToneMap.h"

#include <algorithm>

#include "whiten/Histogram.h"

namespace {
constexpr std::int64_t kChunk = 1 << 16;  // elements a thread maps at a time
}

ToneCurve FindToneCurve(const CArray2D<float>& plane, int threads, const std::vector<int>* binCounts) {
    std::vector<int> counts;
    if (binCounts != nullptr) {
        counts = *binCounts;
        ClearFullestBins(counts);
    } else {
        counts = Histogram(plane, kToneBinsOrigin, kToneBinWidth, nullptr, threads);
    }
    return ToneCurve::FromHistogram(counts);
}

ToneCurve ToneMap(CArray2D<float>& plane, int threads, const std::vector<int>* binCounts) {
    const ToneCurve curve = FindToneCurve(plane, threads, binCounts);
    float* values = plane.elements();
    const std::int64_t count = plane.elementCount();
    ParallelFor((count + kChunk - 1) / kChunk, threads, [&](std::int64_t chunk, int) {
        const std::int64_t end = std::min(count, (chunk + 1) * kChunk);
        curve.ApplyAll(values + chunk * kChunk, end - chunk * kChunk);
    });
    return curve;
}
