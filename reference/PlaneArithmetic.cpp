// The reference the tests compare against, not the tool's path.
#include "reference/PlaneArithmetic.h"

#include <cmath>

CArray2D<std::complex<float>>& MultiplyBy(CArray2D<std::complex<float>>& plane,
                                          const CArray2D<std::complex<float>>& other) {
    CArray2D<std::complex<float>> factor = ZeroedLike(plane);
    CopyOverlap(factor, other);
    std::complex<float>* values = plane.elements();
    const std::complex<float>* factors = factor.elements();
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) {
        const double c = values[i].real(), d = values[i].imag();
        const double a = factors[i].real(), b = factors[i].imag();
        values[i] = {static_cast<float>(c * a - d * b), static_cast<float>(d * a + c * b)};
    }
    return plane;
}

CArray2D<float>& DivideBy(CArray2D<float>& plane, const CArray2D<float>& divisor) {
    CArray2D<float> denominators = ZeroedLike(plane);
    CopyOverlap(denominators, divisor);
    float* values = plane.elements();
    const float* d = denominators.elements();
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) values[i] = d[i] == 0.0f ? 0.0f : values[i] / d[i];
    return plane;
}

float MaxAbs(const CArrayBase<float>& values) {
    const float* v = values.elements();
    float m = std::fabs(v[0]);
    for (std::int32_t i = 0; i < values.elementCount(); ++i) {
        const float magnitude = std::fabs(v[i]);
        if (m < magnitude) m = magnitude;
    }
    return m;
}
