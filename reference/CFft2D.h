// Two-dimensional FFT of a centred complex plane: every row through one engine,
// every column through another, then the edges filled by periodicity.
#pragma once

#include <complex>
#include <cstdint>
#include <memory>

#include "array/CArray2D.h"
#include "reference/CFft1D.h"

class CFft2D {
public:
    // M = xCount along x (rows), N = yCount along y (columns), both powers of two.
    // Rows are multiplied by xScale and columns by yScale; any non-zero fftType
    // selects the inverse direction. Throws "CFft2D::CFft2D : data count error!"
    // before building an engine when either count is not a power of two.
    CFft2D(std::int32_t xCount, std::int32_t yCount, float xScale, float yScale, std::int32_t fftType);
    ~CFft2D();
    CFft2D(const CFft2D&) = delete;
    CFft2D& operator=(const CFft2D&) = delete;

    // Transforms the plane in place. It must span exactly x = -M/2 ... M/2 and
    // y = -N/2 ... N/2 (an axis of length 1 is the single index 0), else
    // "CFft2D::Transform : plane bounds do not match the transform size!" is
    // thrown before anything changes. The core (M x N from (-M/2, -N/2)) gets
    // xScale * yScale * sum f(x, y) e^(-+2 pi i (ux/M + vy/N)); the last column
    // and row are then overwritten by copies of the first ones. An axis of
    // length 1 is transformed as its index 0 alone: the identity times its scale.
    void Transform(CArray2D<std::complex<float>>& plane) const;

    std::int32_t xCount() const { return xCount_; }
    std::int32_t yCount() const { return yCount_; }

private:
    // Copies row -yLast onto row +yLast (x = -xLast ... xLast-1), then column
    // -xLast onto column +xLast (every y), so that all four corners hold the
    // value of (-xLast, -yLast). Reads only xLast and yLast of the plane.
    static void WrapEdges(CArray2D<std::complex<float>>& plane);

    std::int32_t xCount_;
    std::int32_t yCount_;
    std::unique_ptr<CFft1D> xFft_;
    std::unique_ptr<CFft1D> yFft_;
};
