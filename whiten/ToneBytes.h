// The tool's path. The output bytes of the tone curve, straight from flattened
// values: for each value v the byte that Apply(v) becomes in the output image
// (the value truncated toward zero; 0 for NaN), without an exponential per pixel.
//
// Why a step table gives the same bytes: e = (v - T)(-K) is correctly rounded
// arithmetic, so it moves one way with v. exp(e) rounded to float never falls
// as e rises: where |e| >= 2^-26, neighbouring floats e differ by at least
// 2^-49, so their exponentials differ by at least 2^-49 of their size, eight
// units in the last place of a double, and an exp that is within one unit
// keeps their order; nearer to 0 every exp(e) rounds to 1, and below -104 to 0.
// (A test checks the C library's exp over every such float from -104 to 89.)
// The rest is correctly rounded arithmetic and a truncation. The byte is
// therefore a staircase in v with 255 steps, which are found once per page by
// bisection on the curve itself. A value is placed among the steps through a
// table over the curve's range, and compared with the steps only where one
// lies in its cell. A curve whose steepness is not a finite non-zero number
// (paper level 0) is no staircase; it is evaluated per value.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "whiten/ToneCurve.h"

class ToneByteMap {
public:
    explicit ToneByteMap(const ToneCurve& curve);

    // The byte of curve.Apply(v), exactly.
    std::uint8_t ByteOf(float v) const;

    // Writes `count` gray pixels, three equal bytes ByteOf(values[i]) each.
    void WritePixels(const float* values, std::int64_t count, std::uint8_t* pixels) const;
    // Writes `count` gray bytes, ByteOf(values[i]) each.
    void WriteBytes(const float* values, std::int64_t count, std::uint8_t* bytes) const;

    // The byte of curve.Apply(v) evaluated directly: the curve's value truncated
    // toward zero, 0 for NaN (the value is otherwise always within 0 .. 255).
    static std::uint8_t CurveByte(const ToneCurve& curve, float v);

private:
    // The steps, by bisection on the curve, and the cells over their range.
    void FindSteps();
    void BuildCells();
    // Writes the bytes of kBlock values (ToneBytes.cpp) of a stepwise map.
    void BlockBytes(const float* values, std::uint8_t* bytes) const;

    ToneCurve curve_;
    bool stepwise_ = false;
    // +1 when the byte rises with v, -1 when it falls; u = direction * v is exact
    // and the byte never falls as u rises.
    float direction_ = 1.0f;
    // steps_[b] for b = 1 .. 255: the least u whose byte is b or more (NaN when
    // there is none); steps_[0] and steps_[256] are NaN.
    std::array<float, 257> steps_{};
    // Cells split the range of the steps evenly; stepsBelow_[c] counts the steps
    // whose cell is below c, which are below every u of cell c.
    float cellsStart_ = 0.0f;
    float cellScale_ = 0.0f;
    std::vector<std::uint8_t> stepsBelow_;
};
