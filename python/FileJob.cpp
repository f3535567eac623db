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

constexpr OutputFormat kFormats[] = {OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg, OutputFormat::Bmp};

// Paths, and lines that hold them, decoded as os.fsdecode does (a name need not be UTF-8).
py::list FileNames(const std::vector<std::string>& paths) {
    py::list names;
    for (const auto& path : paths) names.append(FileName(path));
    return names;
}

// (page or None, refused, reason, line) of each problem: whiten._pages' PageProblem.
py::list ProblemFields(const std::vector<FileProblem>& problems) {
    py::list fields;
    for (const auto& problem : problems)
        fields.append(py::make_tuple(problem.page >= 0 ? py::object(py::int_(problem.page)) : py::object(py::none()),
                                     problem.refused, FileName(problem.reason), FileName(problem.line)));
    return fields;
}

py::dict WhitenOneFile(const std::string& input, const std::string& output, const py::object& format,
                       int quality, const py::object& threads, bool keepExisting, const std::string& shownInput,
                       const std::string& shownOutput) {
    WhitenFileRequest request;
    request.input = input;
    request.output = output;
    request.format = FormatArgument(format, "whiten_file");
    request.writer.jpegQuality = quality;
    request.threads = ThreadCount(threads);
    request.keepExisting = keepExisting;
    request.shownInput = shownInput;
    request.shownOutput = shownOutput;
    WhitenFileOutcome outcome;
    try {
        RunInterruptibly([&] { outcome = WhitenFile(request); });
    } catch (const std::invalid_argument& refused) {  // the request's own, before anything is read
        throw py::value_error(std::string("whiten_file: ") + refused.what());
    }
    return OutcomeFields(shownInput.empty() ? input : shownInput, outcome);
}

}  // namespace

py::dict OutcomeFields(const std::string& input, const WhitenFileOutcome& outcome) {
    std::vector<std::string> problems;
    for (const auto& problem : outcome.problems) problems.push_back(problem.line);
    py::dict result;
    result["input"] = FileName(input);
    result["pages"] = outcome.pages;
    result["whitened"] = outcome.whitened;
    result["outputs"] = FileNames(outcome.outputs);
    result["problems"] = FileNames(problems);
    result["skipped"] = outcome.skipped;
    result["refused"] = outcome.refused;
    result["failed"] = outcome.failed;
    result["stop_reason"] = outcome.stopReason.empty() ? py::object(py::none()) : FileName(outcome.stopReason);
    result["lines"] = FileNames(outcome.lines);
    result["page_problems"] = ProblemFields(outcome.problems);
    return result;
}

const char* FormatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Png: return "png";
        case OutputFormat::Tiff: return "tiff";
        case OutputFormat::Jpeg: return "jpeg";
        case OutputFormat::Bmp: return "bmp";
    }
    return "png";
}

std::optional<OutputFormat> FormatArgument(const py::object& name, const std::string& caller) {
    if (name.is_none()) return std::nullopt;
    if (py::isinstance<py::str>(name)) {
        const std::string given = name.cast<std::string>();
        for (const OutputFormat format : kFormats)
            if (given == FormatName(format)) return format;
    }
    throw py::value_error(caller + ": format is None, 'png', 'tiff', 'jpeg' or 'bmp', not " +
                          py::repr(name).cast<std::string>());
}

void AddWhitenFile(py::module_& module) {
    module.def("whiten_file", &WhitenOneFile, py::arg("input"), py::arg("output"), py::arg("format"),
               py::arg("quality"), py::arg("threads"), py::arg("keep_existing"), py::arg("shown_input"),
               py::arg("shown_output"),
               "whiten_file(input, output, format, quality, threads, keep_existing, shown_input, shown_output) "
               "-> dict: see whiten.whiten_file.");
}

}  // namespace wrap
