// whiten._whiten.whiten_file: one file's whole job through the run of
// whiten-pages (pages/WhitenFile.h), the GIL released for all of it.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "formats/PageWriter.h"
#include "pages/FileOutcome.h"

namespace wrap {

void AddWhitenFile(pybind11::module_& module);

// The outcome of `input` (as shown) as the dict whiten._pages makes its FileOutcome of.
pybind11::dict OutcomeFields(const std::string& input, const WhitenFileOutcome& outcome);

// A format by the name whiten._pages gives it ('png', 'tiff', 'jpeg', 'bmp');
// None: none given. ValueError, its message starting with `caller`, for another.
std::optional<OutputFormat> FormatArgument(const pybind11::object& name, const std::string& caller);
// The name of `format`, as FormatArgument takes it.
const char* FormatName(OutputFormat format);

}  // namespace wrap
