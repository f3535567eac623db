#include "whiten/ToneMap.h"

#include "whiten/Histogram.h"

ToneCurve ToneMap(CArray2D<float>& plane) {
    const ToneCurve curve = ToneCurve::FromHistogram(Histogram(plane, -256.0f, 1.0f));
    float* values = plane.elements();
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) values[i] = curve.Apply(values[i]);
    return curve;
}
