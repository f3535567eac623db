// Second whitening stage: finds the paper level of a flattened page and maps
// every element through the tone curve, in place.
#pragma once

#include "array/CArray2D.h"
#include "platform/ParallelFor.h"
#include "whiten/ToneCurve.h"

// Returns the curve it applied. Elements are mapped independently, so sharing
// them out among threads changes nothing in the result.
ToneCurve ToneMap(CArray2D<float>& plane, int threads = DefaultThreadCount());
