// WhitenFile from Python: the request from the arguments, the outcome as a
// dict that whiten._pages makes its FileOutcome of.
#include "python/FileJob.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "pages/WhitenFile.h"
#include "python/Interruptible.h"
#include "python/PageArgument.h"
#include "python/PageErrors.h"

namespace py = pybind11;

namespace wrap {
namespace {

// The format's name as whiten._pages gives it; None: from the output's extension.
std::optional<OutputFormat> Format(const py::object& name) {
    if (name.is_none()) return std::nullopt;
    const std::string format = name.cast<std::string>();
    if (format == "png") return OutputFormat::Png;
    if (format == "tiff") return OutputFormat::Tiff;
    if (format == "jpeg") return OutputFormat::Jpeg;
    if (format == "bmp") return OutputFormat::Bmp;
    throw py::value_error("whiten_file: format is None, 'png', 'tiff', 'jpeg' or 'bmp', not '" + format + "'");
}

// Paths, and lines that hold them, decoded as os.fsdecode does (a name need not be UTF-8).
py::list FileNames(const std::vector<std::string>& paths) {
    py::list names;
    for (const auto& path : paths) names.append(FileName(path));
    return names;
}

py::dict WhitenOneFile(const std::string& input, const std::string& output, const py::object& format,
                       int quality, const py::object& threads, bool keepExisting) {
    WhitenFileRequest request;
    request.input = input;
    request.output = output;
    request.format = Format(format);
    request.writer.jpegQuality = quality;
    request.threads = ThreadCount(threads);
    request.keepExisting = keepExisting;
    WhitenFileOutcome outcome;
    try {
        RunInterruptibly([&] { outcome = WhitenFile(request); });
    } catch (const std::invalid_argument& refused) {  // the request's own, before anything is read
        throw py::value_error(std::string("whiten_file: ") + refused.what());
    }
    py::dict result;
    result["input"] = FileName(input);
    result["pages"] = outcome.pages;
    result["whitened"] = outcome.whitened;
    result["outputs"] = FileNames(outcome.outputs);
    result["problems"] = FileNames(outcome.problems);
    result["skipped"] = outcome.skipped;
    result["refused"] = outcome.refused;
    result["failed"] = outcome.failed;
    result["stop_reason"] = outcome.stopReason.empty() ? py::object(py::none()) : FileName(outcome.stopReason);
    return result;
}

}  // namespace

void AddWhitenFile(py::module_& module) {
    module.def("whiten_file", &WhitenOneFile, py::arg("input"), py::arg("output"), py::arg("format"),
               py::arg("quality"), py::arg("threads"), py::arg("keep_existing"),
               "whiten_file(input, output, format, quality, threads, keep_existing) -> dict: see whiten.whiten_file.");
}

}  // namespace wrap
