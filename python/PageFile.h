// whiten._whiten.PageFile: the project's page readers from Python, the pages
// of one file decoded one at a time exactly as whiten-pages decodes them.
#pragma once

#include <pybind11/pybind11.h>

namespace wrap {

void AddPageFile(pybind11::module_& module);

}  // namespace wrap
