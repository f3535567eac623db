// The reference the tests compare against, not the tool's path: the
// straightforward flattening on full padded planes.
#include "reference/FlattenBackground.h"

#include <complex>
#include <string>

#include "reference/CFft2D.h"
#include "reference/CFftWindow2D.h"
#include "whiten/FlatteningSizes.h"
#include "reference/PlaneArithmetic.h"

namespace {

// Releases a consumed plane's storage, keeping nine zero elements.
template <class T>
void Shrink(CArray2D<T>& plane) {
    plane.Resize(-1, 1, -1, 1);
    plane.Fill(T{});
}

}  // namespace

void FlattenBackground(CArray2D<float>& plane, CArray2D<float>* backgroundOut) {
    if (plane.elementCount() == 0) throw std::string("FlattenBackground : the plane has no elements!");

    plane.CenterOrigin();
    const std::int32_t m = PaddedSize(plane.Width());
    const std::int32_t n = PaddedSize(plane.Height());

    CArray2D<float> padded(plane);
    padded.Reframe(-m / 2, m / 2, -n / 2, n / 2, ReframeMode::Mirror);
    CArray2D<std::complex<float>> spectrum = ToComplex(padded);
    Shrink(padded);

    {
        CFft2D forward(m, n, 1.0f, 1.0f, 0);
        forward.Transform(spectrum);
    }

    const std::int32_t b = WindowHalfSize(m, n);
    {
        CFftWindow2D<float> window(-b, b, -b, b);
        CArray2D<std::complex<float>> lowPass = ToComplex(window);
        MultiplyBy(lowPass, spectrum);
        spectrum.Fill(std::complex<float>(0.0f, 0.0f));
        CopyOverlap(spectrum, lowPass);
    }

    {
        CFft2D inverse(m, n, static_cast<float>(1.0 / m), static_cast<float>(1.0 / n), 1);
        inverse.Transform(spectrum);
    }

    CArray2D<float> background = RealPart(spectrum);
    Shrink(spectrum);
    background.Reframe(plane.xFirst(), plane.xLast(), plane.yFirst(), plane.yLast(), ReframeMode::Keep);
    if (backgroundOut != nullptr) {
        backgroundOut->Resize(plane.xFirst(), plane.xLast(), plane.yFirst(), plane.yLast());
        CopyOverlap(*backgroundOut, background);
    }

    const float largest = MaxAbs(background);
    if (largest != 0.0f) {
        float* values = background.elements();
        for (std::int32_t i = 0; i < background.elementCount(); ++i) values[i] = values[i] / largest;
    }
    DivideBy(plane, background);
}
