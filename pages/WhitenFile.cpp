// WhitenFile: RunPages with the one input and its output, its events gathered
// into the outcome instead of printed.
#include "pages/WhitenFile.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "pages/PageRun.h"
#include "platform/Path.h"

OutputFormat FormatOfExtension(const std::string& path) {
    std::string extension = platform::PathExtension(path);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png") return OutputFormat::Png;
    if (extension == ".tif" || extension == ".tiff") return OutputFormat::Tiff;
    if (extension == ".jpg" || extension == ".jpeg") return OutputFormat::Jpeg;
    if (extension == ".bmp") return OutputFormat::Bmp;
    if (extension.empty()) throw std::invalid_argument("no extension to tell the output format by in '" + path + "'");
    throw std::invalid_argument("unknown output extension '" + platform::PathExtension(path) +
                                "': .png, .tif, .tiff, .jpg, .jpeg or .bmp");
}

WhitenFileOutcome WhitenFile(const WhitenFileRequest& request) {
    if (request.writer.jpegQuality < 1 || request.writer.jpegQuality > 100)
        throw std::invalid_argument("JPEG quality " + std::to_string(request.writer.jpegQuality) +
                                    " is outside 1 .. 100");
    if (request.threads < 0) throw std::invalid_argument("a negative number of threads");
    if (request.output.empty()) throw std::invalid_argument("no output file named");
    RunSettings settings;
    settings.inputs = {request.input};
    settings.outputPath = request.output;
    settings.shownInput = request.shownInput;
    settings.shownOutputPath = request.shownOutput;
    settings.formatGiven = true;
    settings.format = request.format ? *request.format : FormatOfExtension(request.output);
    settings.writer = request.writer;
    settings.jobs = 1;
    settings.threadsPerPage = request.threads;
    settings.keepExisting = request.keepExisting;
    WhitenFileOutcome outcome;
    OutcomeReport report(outcome);
    const RunTotals totals = RunPages(settings, report);
    outcome.whitened = totals.whitened;
    outcome.stopReason = totals.stopReason;
    return outcome;
}
