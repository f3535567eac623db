// The reference the tests compare against, not the tool's path: element-wise
// operations the straightforward flattening needs on its planes.
#pragma once

#include <complex>

#include "array/CArray2D.h"

// Multiplies `plane` in place by `other` taken over plane's bounds (0 where other
// has no element). Each product component is formed in double and rounded once.
CArray2D<std::complex<float>>& MultiplyBy(CArray2D<std::complex<float>>& plane,
                                          const CArray2D<std::complex<float>>& other);

// Divides `plane` in place by `divisor` taken over plane's bounds, in single
// precision; 0 wherever the divisor is 0 or missing.
CArray2D<float>& DivideBy(CArray2D<float>& plane, const CArray2D<float>& divisor);

// Largest magnitude among the elements, in storage order from the first; a NaN
// never replaces the running maximum but a NaN first element stays. Needs at
// least one element.
float MaxAbs(const CArrayBase<float>& values);
