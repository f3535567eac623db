// whiten._whiten.whiten_file: one file's whole job through the run of
// whiten-pages (pages/WhitenFile.h), the GIL released for all of it.
#pragma once

#include <pybind11/pybind11.h>

namespace wrap {

void AddWhitenFile(pybind11::module_& module);

}  // namespace wrap
