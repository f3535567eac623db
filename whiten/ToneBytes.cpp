// The tool's path: the tone curve's output bytes from a table of steps.
#include "whiten/ToneBytes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

// Floats other than NaN, in numeric order, as unsigned keys: -inf is the
// smallest key, +inf the largest, -0 comes just before +0.
std::uint32_t KeyOf(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

float FloatOf(std::uint32_t key) {
    return std::bit_cast<float>((key & 0x80000000u) != 0 ? key & 0x7FFFFFFFu : ~key);
}

}  // namespace

std::uint8_t ToneByteMap::CurveByte(const ToneCurve& curve, float v) {
    const float y = curve.Apply(v);
    return y == y ? static_cast<std::uint8_t>(static_cast<std::int32_t>(y)) : std::uint8_t{0};
}

ToneByteMap::ToneByteMap(const ToneCurve& curve) : curve_(curve) {
    const float k = curve.steepness;
    stepwise_ = std::isfinite(k) && k != 0.0f;
    if (!stepwise_) return;
    // The curve rises with v for a positive steepness.
    direction_ = k > 0.0f ? 1.0f : -1.0f;
    auto byteAt = [this](std::uint32_t key) { return CurveByte(curve_, direction_ * FloatOf(key)); };

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    steps_.fill(nan);
    // Each step is the least key whose byte reaches b; it lies at or above the
    // step before it.
    std::uint32_t low = KeyOf(-inf);
    const std::uint32_t top = KeyOf(inf);
    for (std::int32_t b = 1; b <= 255; ++b) {
        if (byteAt(top) < b) break;  // this byte and those above never occur
        std::uint32_t high = top;
        while (low < high) {
            const std::uint32_t middle = low + (high - low) / 2;
            if (byteAt(middle) >= b) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        steps_[static_cast<std::size_t>(b)] = FloatOf(low);
    }

    // Cells over the finite steps' range.
    float first = inf, last = -inf;
    for (std::int32_t b = 1; b <= 255; ++b) {
        const float step = steps_[static_cast<std::size_t>(b)];
        if (std::isfinite(step)) {
            first = std::min(first, step);
            last = std::max(last, step);
        }
    }
    stepsBelow_.assign(static_cast<std::size_t>(kCells), 0);
    if (!(first < last)) return;  // one cell: every value is compared with the steps
    cellsStart_ = first;
    cellScale_ = static_cast<float>(static_cast<double>(kCells) / (static_cast<double>(last) - first));
    if (!std::isfinite(cellScale_)) {
        cellScale_ = 0.0f;
        return;
    }
    // Steps are sorted (missing ones, NaN, only at the end), so their cells rise.
    std::int32_t b = 1;
    for (std::int32_t c = 0; c < kCells; ++c) {
        while (b <= 255 && steps_[static_cast<std::size_t>(b)] == steps_[static_cast<std::size_t>(b)] &&
               CellOf(steps_[static_cast<std::size_t>(b)]) < c)
            ++b;
        stepsBelow_[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(b - 1);
    }
}

void ToneByteMap::WritePixels(const float* values, std::int64_t count, std::uint8_t* pixels) const {
    for (std::int64_t i = 0; i < count; ++i, pixels += 3) {
        const std::uint8_t byte = ByteOf(values[i]);
        pixels[0] = byte;
        pixels[1] = byte;
        pixels[2] = byte;
    }
}

void ToneByteMap::WriteBytes(const float* values, std::int64_t count, std::uint8_t* bytes) const {
    for (std::int64_t i = 0; i < count; ++i) bytes[i] = ByteOf(values[i]);
}
