// The Python exceptions of the readers' and the run's errors: a refused page
// is a whiten.PageRefused (a ValueError), a file that is no page a
// whiten.NotAPageFile (a PageRefused), a system error an OSError with its
// errno and file name.
#pragma once

#include <pybind11/pybind11.h>

#include <exception>
#include <string>

namespace wrap {

// Makes whiten._whiten.PageRefused and NotAPageFile.
void AddPageErrors(pybind11::module_& module);

// A path as Python names files: decoded as os.fsdecode does, so that a name
// that is no UTF-8 comes back as the str os.fsencode turns into the same bytes.
pybind11::object FileName(const std::string& path);

// Raises the Python exception for the C++ one in `error`, met reading `path`
// (`page`: the 0-based page, or -1 for the file as a whole). Exceptions other
// than the readers' go to pybind11's own translation (MemoryError ...).
[[noreturn]] void RaiseReadError(std::exception_ptr error, const std::string& path, int page);

}  // namespace wrap
