// Two-dimensional frequency window: the weight at (x, y) is the square root of
// the product of the one-dimensional Hamming weights of x and of y, so it is 1
// where both are 1 and 0.08 at the corners of the range.
#pragma once

#include <cmath>
#include <cstdint>

#include "array/CArray2D.h"
#include "fft/CFftWindow1D.h"

template <class T>
class CFftWindow2D : public CArray2D<T> {
public:
    CFftWindow2D(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast) {
        Build(xFirst, xLast, yFirst, yLast);
    }

    // A window is built where it is used and never copied.
    CFftWindow2D(const CFftWindow2D&) = delete;
    CFftWindow2D& operator=(const CFftWindow2D&) = delete;

    // Sizes the window to the bounds and fills its weights. The product of the
    // two one-dimensional weights is rounded to single precision first; its
    // square root is taken in double and rounded again when stored.
    void Build(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast) {
        this->Resize(xFirst, xLast, yFirst, yLast);
        this->Fill(T(0));  // Resize keeps old values when the count is unchanged
        // The axis windows are locals, so they are released on every path.
        CFftWindow1D<T> wx;
        wx.Build(xFirst, xLast);
        CFftWindow1D<T> wy;
        wy.Build(yFirst, yLast);
        const std::int32_t width = this->Width();
        const std::int32_t height = this->Height();
        const T* xWeights = wx.elements();
        const T* yWeights = wy.elements();
        // Every weight depends on its own x and y only, so rows can go outermost.
        for (std::int32_t row = 0; row < height; ++row) {
            const double wyValue = static_cast<double>(yWeights[row]);
            T* weights = this->Row(yFirst + row);
            for (std::int32_t column = 0; column < width; ++column) {
                const T product = static_cast<T>(wyValue * static_cast<double>(xWeights[column]));
                weights[column] = static_cast<T>(std::sqrt(static_cast<double>(product)));
            }
        }
    }
};
