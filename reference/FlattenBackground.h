// The reference the tests compare against, not the tool's path (that is
// FlattenBackgroundFast). First whitening stage: estimates the slowly varying
// paper brightness with a Fourier low-pass and divides it out, so that the
// paper has one level.
#pragma once

#include <cstdint>

#include "array/CArray2D.h"

// Flattens the plane in place and centres its bounds on 0 (-floor(w/2) ..
// ceil(w/2) - 1 on each axis); width, height and element order stay. The page is
// mirror-padded to power-of-two sizes, transformed, multiplied by a Hamming
// window around the zero frequency, transformed back, cropped, normalised to a
// largest magnitude of 1, and divided into the page. `background`, when given,
// receives the un-normalised background cropped to the page.
//
// This is the straightforward reference: it holds one full padded complex
// spectrum at a time.
void FlattenBackground(CArray2D<float>& plane, CArray2D<float>* background = nullptr);
