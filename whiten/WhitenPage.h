// The tool's path: one loaded page whitened into the output image.
#pragma once

#include "array/CArray2D.h"
#include "image/CBmp24.h"
#include "platform/ParallelFor.h"
#include "whiten/FlattenBackgroundFast.h"
#include "whiten/ToneBytes.h"

// Replaces the loaded page in `image` by its whitened gray page, the bytes the
// reference pipeline (BitmapToGray, FlattenBackground, ToneMap, GrayToBitmap)
// writes: same size, fresh headers.
//
// Memory: the image's pixel storage holds in turn the page, its gray levels
// (one byte a pixel, written over each row's own start) and the output; beyond
// it the stage holds one float plane (4 bytes a pixel, never cleared: the
// flattening writes every element before reading it) and the flattening's
// small working sets, all released on return.
void WhitenPage(CBmp24_<0>& image, int threads = DefaultThreadCount());

// The page stage from a page's gray levels: flattens them into `plane` (the
// page's size, possibly uncleared; its bounds end centred) and returns the
// byte each flattened value becomes under the page's tone curve. The classic
// tool and the library both whiten through it.
ToneByteMap FlattenForToneBytes(const GrayBytes& gray, CArray2D<float>& plane, int threads);
