// Two-dimensional FFT: rows in place, columns through one scratch sequence.
#include "reference/CFft2D.h"

#include <string>
#include <vector>

namespace {

// The transformed indices of an axis of length n: -n/2 ... n/2-1, or the single
// index 0 when n is 1. The first index is -(n/2) in both cases.
std::int32_t CoreFirst(std::int32_t n) { return -(n / 2); }

}  // namespace

CFft2D::CFft2D(std::int32_t xCount, std::int32_t yCount, float xScale, float yScale, std::int32_t fftType)
    : xCount_(xCount), yCount_(yCount) {
    if (!CFft1D::IsPowerOfTwo(xCount_) || !CFft1D::IsPowerOfTwo(yCount_))
        throw std::string("CFft2D::CFft2D : data count error!");
    const std::int32_t type = fftType != 0 ? 1 : 0;
    xFft_ = std::make_unique<CFft1D>(xCount_, xScale, type);
    yFft_ = std::make_unique<CFft1D>(yCount_, yScale, type);
}

CFft2D::~CFft2D() {
    xFft_.reset();
    yFft_.reset();
}

void CFft2D::Transform(CArray2D<std::complex<float>>& plane) const {
    const std::int32_t m = xCount_, n = yCount_;
    // The row pass and the edge wrap work on the plane's storage unchecked, so the
    // bounds must be exactly those of an M x N spectrum with its repeated edges.
    if (plane.xFirst() != -(m / 2) || plane.xLast() != m / 2 || plane.yFirst() != -(n / 2) ||
        plane.yLast() != n / 2) {
        throw std::string("CFft2D::Transform : plane bounds do not match the transform size!");
    }
    const std::int32_t x0 = CoreFirst(m), y0 = CoreFirst(n);

    for (std::int32_t y = y0; y < y0 + n; ++y) xFft_->TransformCentered(&plane(x0, y));

    {
        // Columns are not contiguous: each goes through one scratch sequence,
        // allocated once for all of them and released before the edge wrap.
        std::vector<std::complex<float>> scratch(static_cast<std::size_t>(n));
        for (std::int32_t x = x0; x < x0 + m; ++x) {
            for (std::int32_t i = 0; i < n; ++i) scratch[static_cast<std::size_t>(i)] = plane.Get(x, y0 + i);
            yFft_->TransformCentered(scratch.data());
            for (std::int32_t i = 0; i < n; ++i) plane.Set(x, y0 + i, scratch[static_cast<std::size_t>(i)]);
        }
    }

    WrapEdges(plane);
}

void CFft2D::WrapEdges(CArray2D<std::complex<float>>& plane) {
    const std::int32_t xl = plane.xLast(), yl = plane.yLast();
    for (std::int32_t x = -xl; x < xl; ++x) plane(x, yl) = plane(x, -yl);
    for (std::int32_t y = -yl; y <= yl; ++y) plane(xl, y) = plane(-xl, y);
}
