#include "whiten/ToneMap.h"

#include <algorithm>

#include "whiten/Histogram.h"

namespace {
constexpr std::int64_t kChunk = 1 << 16;  // elements a thread maps at a time
}

ToneCurve ToneMap(CArray2D<float>& plane, int threads) {
    const ToneCurve curve = ToneCurve::FromHistogram(Histogram(plane, -256.0f, 1.0f, nullptr, threads));
    float* values = plane.elements();
    const std::int64_t count = plane.elementCount();
    ParallelFor((count + kChunk - 1) / kChunk, threads, [&](std::int64_t chunk, int) {
        const std::int64_t end = std::min(count, (chunk + 1) * kChunk);
        curve.ApplyAll(values + chunk * kChunk, end - chunk * kChunk);
    });
    return curve;
}
