// PlanFiles from Python: each planned file as a dict, with its paths made
// absolute for workers whose current folder is not the caller's.
#include "python/FilePlan.h"

#include <pybind11/stl.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "pages/FilePlan.h"
#include "pages/QuotedName.h"
#include "python/FileJob.h"
#include "python/PageErrors.h"

namespace py = pybind11;

namespace wrap {
namespace {

// The path from the root, taken from the current folder as it stands (no
// link is followed and no ".." folded, so that it reaches what the name
// reaches here); the path as it is when there is no current folder.
std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

py::dict PlannedFields(const PlannedFile& file) {
    py::dict fields;
    fields["input"] = FileName(file.input);
    fields["source"] = FileName(Absolute(file.input));
    fields["output"] = FileName(file.output);
    fields["destination"] = FileName(Absolute(file.output));
    fields["format"] = FormatName(file.outputs.format);
    fields["refused"] = file.refused ? py::object(OutcomeFields(file.input, *file.refused)) : py::object(py::none());
    return fields;
}

py::list PlanRunFiles(const std::vector<std::string>& inputs, const py::object& outputFolder,
                      const py::object& format) {
    RunSettings settings;
    settings.inputs = inputs;
    if (!outputFolder.is_none()) settings.outputFolder = outputFolder.cast<std::string>();
    const std::optional<OutputFormat> chosen = FormatArgument(format, "whiten_files");
    settings.formatGiven = chosen.has_value();
    settings.format = chosen.value_or(OutputFormat::Png);
    std::vector<PlannedFile> files;
    {
        py::gil_scoped_release release;
        files = PlanFiles(settings);
    }
    py::list planned;
    for (const auto& file : files) planned.append(PlannedFields(file));
    return planned;
}

}  // namespace

void AddFilePlan(py::module_& module) {
    module.def("plan_files", &PlanRunFiles, py::arg("inputs"), py::arg("output_folder"), py::arg("format"),
               "plan_files(inputs, output_folder, format) -> list of dict: the files of a run of whiten-pages on "
               "`inputs` (bytes paths; output_folder None: Result beside each input; format None: PNG, one TIFF "
               "for a multi-page input), each with its input, source (absolute), output, destination (absolute), "
               "format chosen, and refused: None, or the outcome of an input whose outputs cannot be written.");
    module.def(
        "quoted_name", [](const std::string& name) { return FileName(QuotedName(name)); }, py::arg("name"),
        "quoted_name(name: bytes) -> str: the name as whiten-pages' lines show it, quoted for the shell "
        "where it needs to be.");
}

}  // namespace wrap
