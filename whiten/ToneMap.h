// Second whitening stage: finds the paper level of a flattened page and maps
// every element through the tone curve, in place.
#pragma once

#include "array/CArray2D.h"
#include "platform/ParallelFor.h"
#include "whiten/ToneCurve.h"

// Returns the curve it applied. Elements are mapped independently, so sharing
// them out among threads changes nothing in the result. `binCounts`, when
// given, are the plane's counts in the curve's 512 bins (from -256, width 1,
// nothing cleared yet), made already while the plane was written; otherwise
// they are counted here.
ToneCurve ToneMap(CArray2D<float>& plane, int threads = DefaultThreadCount(),
                  const std::vector<int>* binCounts = nullptr);

// The curve ToneMap would apply to the plane, leaving the plane as it is.
ToneCurve FindToneCurve(const CArray2D<float>& plane, int threads = DefaultThreadCount(),
                        const std::vector<int>* binCounts = nullptr);
