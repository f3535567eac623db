// Second whitening stage: finds the paper level of a flattened page and maps
// every element through the tone curve, in place.
#pragma once

#include "array/CArray2D.h"
#include "whiten/ToneCurve.h"

// Returns the curve it applied.
ToneCurve ToneMap(CArray2D<float>& plane);
