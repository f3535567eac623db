// One-dimensional Hamming window over an inclusive index range: the weight at
// position i of a range of D + 1 indices is 0.54 - 0.46 * cos(i * 2pi / D),
// 0.08 at both ends and 1 in the middle.
#pragma once

#include <cmath>
#include <cstdint>

#include "array/CArray1D.h"

template <class T>
class CFftWindow1D : public CArray1D<T> {
public:
    CFftWindow1D() = default;

    // Sizes the window to xFirst .. xLast and fills its weights. Each weight is
    // evaluated in double, with 2pi as the double 6.283185307179586 and the
    // product i * 2pi formed before the division, then rounded once when stored.
    // A single-index range (D = 0) has the weight 1: the window then passes the
    // zero frequency unchanged instead of producing 0/0.
    void Build(std::int32_t xFirst, std::int32_t xLast) {
        this->Resize(xFirst, xLast);
        this->Fill(T(0));  // Resize keeps old values when the count is unchanged
        if (xFirst > xLast) return;
        constexpr double twoPi = 6.283185307179586;
        const std::int32_t count = this->elementCount();
        const double divisor = static_cast<double>(count - 1);
        T* weights = this->elements();
        if (count == 1) {
            weights[0] = T(1);
            return;
        }
        for (std::int32_t i = 0; i < count; ++i)
            weights[i] = static_cast<T>(0.54 - 0.46 * std::cos(static_cast<double>(i) * twoPi / divisor));
    }
};
