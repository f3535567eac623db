// The reference the tests compare against, not the tool's path.
#include "reference/Reference.h"

#include <algorithm>
#include <cmath>

#include "image/GrayConversion.h"
#include "platform/ParallelFor.h"
#include "reference/FlattenBackground.h"
#include "whiten/Histogram.h"

void WhitenPageReference(CBmp24_<0>& image, int threads) {
    CArray2D<float> plane;
    BitmapToGray(plane, image, threads);
    FlattenBackground(plane);
    ToneMap(plane, threads);
    GrayToBitmap(image, plane, threads);
}

std::vector<int> Histogram(const CArrayBase<float>& plane, float origin, float binWidth, std::vector<int>* cleared,
                           int threads) {
    const float* values = plane.elements();
    const std::int64_t count = plane.elementCount();
    const int workers = static_cast<int>(std::clamp<std::int64_t>(count / (1 << 18), 1, std::max(threads, 1)));
    std::vector<std::vector<int>> partial(static_cast<std::size_t>(workers), std::vector<int>(kHistogramBins, 0));
    ParallelFor(workers, workers, [&](std::int64_t part, int) {
        const std::int64_t first = count * part / workers;
        CountIntoBins(values + first, count * (part + 1) / workers - first, origin, binWidth,
                      partial[static_cast<std::size_t>(part)]);
    });
    std::vector<int> counts(kHistogramBins, 0);
    for (const auto& bins : partial)
        for (int b = 0; b < kHistogramBins; ++b)
            counts[static_cast<std::size_t>(b)] += bins[static_cast<std::size_t>(b)];
    ClearFullestBins(counts, cleared);
    return counts;
}

ToneCurve FindToneCurve(const CArray2D<float>& plane, int threads) {
    return ToneCurve::FromHistogram(Histogram(plane, kToneBinsOrigin, kToneBinWidth, nullptr, threads));
}

ToneCurve ToneMap(CArray2D<float>& plane, int threads) {
    constexpr std::int64_t kChunk = 1 << 16;  // elements a thread maps at a time
    const ToneCurve curve = FindToneCurve(plane, threads);
    float* values = plane.elements();
    const std::int64_t count = plane.elementCount();
    ParallelFor((count + kChunk - 1) / kChunk, threads, [&](std::int64_t chunk, int) {
        const std::int64_t end = std::min(count, (chunk + 1) * kChunk);
        ApplyToneCurve(curve, values + chunk * kChunk, end - chunk * kChunk);
    });
    return curve;
}

void ApplyToneCurve(const ToneCurve& curve, float* values, std::int64_t count) {
    const double t = static_cast<double>(curve.midpoint);
    const double minusK = -static_cast<double>(curve.steepness);
    constexpr std::int64_t kBlock = 256;
    float exponent[kBlock];
    for (std::int64_t start = 0; start < count; start += kBlock) {
        const std::int64_t n = std::min(kBlock, count - start);
        float* v = values + start;
        for (std::int64_t i = 0; i < n; ++i) exponent[i] = static_cast<float>((static_cast<double>(v[i]) - t) * minusK);
        for (std::int64_t i = 0; i < n; ++i)
            exponent[i] = static_cast<float>(std::exp(static_cast<double>(exponent[i])));
        for (std::int64_t i = 0; i < n; ++i)
            v[i] = static_cast<float>(255.0 / (static_cast<double>(exponent[i]) + 1.0));
    }
}
