// The output bytes of the tone curve, straight from flattened values: for each
// value v the byte that Apply(v) becomes in the output image (the value
// truncated toward zero; 0 for NaN), without an exponential per pixel.
//
// Why a step table gives the same bytes: e = (v - T)(-K) is correctly rounded
// arithmetic, so it moves one way with v; exp(e) rounded to float never falls as
// e rises (the C library's exp is within one unit in the last place of a
// double, far finer than the gaps between the floats it is rounded to; a test
// checks this over every float where it matters); and the rest is correctly
// rounded arithmetic and a truncation. The byte is therefore a staircase in v
// with 255 steps, which are found once per page by bisection on the curve
// itself. A value is placed among the steps through a table over the curve's
// range and one or two comparisons. A curve whose steepness is not a finite
// non-zero number (paper level 0) is no staircase; it is evaluated per value.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "whiten/ToneCurve.h"

class ToneByteMap {
public:
    explicit ToneByteMap(const ToneCurve& curve);

    // The byte of curve.Apply(v), exactly.
    std::uint8_t ByteOf(float v) const {
        if (!stepwise_) return CurveByte(curve_, v);
        const float u = direction_ * v;
        if (u != u) return 0;  // NaN
        const float q = (u - tableStart_) * tableScale_;
        std::int32_t cell = 0;
        if (q >= static_cast<float>(kTableCells - 1)) {
            cell = kTableCells - 1;
        } else if (q > 0.0f) {
            cell = static_cast<std::int32_t>(q);
        }
        // The cell's byte is close; the steps around it settle the exact one.
        // steps_[0] and steps_[256] are NaN, so neither loop leaves 0 .. 255.
        std::int32_t b = table_[static_cast<std::size_t>(cell)];
        while (u >= steps_[static_cast<std::size_t>(b + 1)]) ++b;
        while (u < steps_[static_cast<std::size_t>(b)]) --b;
        return static_cast<std::uint8_t>(b);
    }

    // Writes `count` gray pixels, three equal bytes ByteOf(values[i]) each.
    void WritePixels(const float* values, std::int64_t count, std::uint8_t* pixels) const;

    // The byte of curve.Apply(v) evaluated directly: the curve's value truncated
    // toward zero, 0 for NaN (the value is otherwise always within 0 .. 255).
    static std::uint8_t CurveByte(const ToneCurve& curve, float v);

private:
    static constexpr std::int32_t kTableCells = 1 << 15;

    ToneCurve curve_;
    bool stepwise_ = false;
    // +1 when the byte rises with v, -1 when it falls; u = direction * v is exact
    // and the byte never falls as u rises.
    float direction_ = 1.0f;
    // steps_[b] for b = 1 .. 255: the least u whose byte is b or more (NaN when
    // there is none); steps_[0] and steps_[256] are NaN.
    std::array<float, 257> steps_{};
    // table_[c]: the number of steps at or below the start of cell c, where the
    // cells split steps 1 .. 255 evenly; only a starting guess.
    float tableStart_ = 0.0f;
    float tableScale_ = 0.0f;
    std::vector<std::uint8_t> table_;
};
