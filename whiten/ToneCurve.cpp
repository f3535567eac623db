// The tone curve, shared by the tool's path and the reference.
#include "whiten/ToneCurve.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "whiten/Histogram.h"

namespace {

// The curve's constants are single-precision values held in doubles; their
// nearby decimal values (0.6, 3/17, -2.5) would shift the output.
constexpr double kMidpointRatio = static_cast<double>(0.6f);
const double kPaperContrast = static_cast<double>(std::bit_cast<float>(std::uint32_t{0x3E34B4B2}));
constexpr double kSlopeFactor = -8388608.0 / 3355443.0;  // -1 / (1 - 0.6f), in double

}  // namespace

ToneCurve ToneCurve::ForPaperLevel(int paperLevel) {
    const float pf = static_cast<float>(paperLevel);
    const float t = static_cast<float>(static_cast<double>(pf) * kMidpointRatio);
    const float logC = static_cast<float>(std::log(kPaperContrast));
    const float k = static_cast<float>(static_cast<double>(logC) * (kSlopeFactor / static_cast<double>(pf)));
    return {paperLevel, t, k};
}

ToneCurve ToneCurve::FromHistogram(const std::vector<int>& counts) {
    int best = 0;
    int peak = 0;
    for (int i = 0; i < static_cast<int>(counts.size()); ++i) {
        if (counts[static_cast<std::size_t>(i)] > best) {
            best = counts[static_cast<std::size_t>(i)];
            peak = i;
        }
    }
    return ForPaperLevel(peak - 256);
}

ToneCurve ToneCurve::FromBinCounts(std::vector<int> counts) {
    ClearFullestBins(counts);
    return FromHistogram(counts);
}

float ToneCurve::Apply(float v) const {
    const float e =
        static_cast<float>((static_cast<double>(v) - static_cast<double>(midpoint)) * -static_cast<double>(steepness));
    const float x = static_cast<float>(std::exp(static_cast<double>(e)));
    return static_cast<float>(255.0 / (static_cast<double>(x) + 1.0));
}
