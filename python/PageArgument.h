// The page argument of whiten(): a numpy array checked at the boundary and
// seen as the library's page, so that a wrong page is refused before any copy
// or output array is made.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "library/whiten.h"

namespace wrap {

// A page as the library reads it, and the array that holds its samples (the
// caller's own, or its C-ordered copy), to be kept alive while it is read.
struct PageArgument {
    pybind11::array holder;
    whiten::Page view;
};

// Checks `page` (type, dtype, shape, size) and gives the view of it the
// library reads. Raises TypeError for what is not a uint8 array (with a short
// message saying what was given and what to call instead) and ValueError for
// a shape or size the library does not take.
PageArgument ToPage(const pybind11::object& page);

// The `threads` argument: None is 0 (every core). TypeError for what is not an
// int (bool included), ValueError outside 0 .. INT_MAX.
int ThreadCount(const pybind11::object& threads);

}  // namespace wrap
