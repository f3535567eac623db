// whiten._whiten.plan_files and quoted_name: the outputs of a run of many
// files named and checked as whiten-pages does it (pages/FilePlan.h), and its
// quoting of names, for whiten.dask to hand each file to a worker.
#pragma once

#include <pybind11/pybind11.h>

namespace wrap {

void AddFilePlan(pybind11::module_& module);

}  // namespace wrap
