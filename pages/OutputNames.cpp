// Output names are made from the input's last path component alone, so that an
// input's folder never shows up inside an output's name.
#include "pages/OutputNames.h"

#include "platform/Path.h"

#include <cstdio>

namespace {

// The name without its extension; a name that is all extension (".scan") keeps it.
std::string Stem(const std::string& name) {
    const std::string extension = platform::PathExtension(name);
    if (extension.empty() || extension.size() == name.size()) return name;
    return name.substr(0, name.size() - extension.size());
}

// PREFIX STEM EXT, or PREFIX STEM-0001 EXT ... for pages one a file; PREFIX
// is the folder part of the path with its separator.
void AddPaths(OutputPlan& plan, const std::string& prefix, const std::string& stem, const std::string& extension,
              int pageCount) {
    if (plan.oneFile) {
        plan.paths.push_back(prefix + stem + extension);
        return;
    }
    plan.paths.reserve(static_cast<std::size_t>(pageCount));
    for (int page = 1; page <= pageCount; ++page) {
        char number[16];
        std::snprintf(number, sizeof number, "-%04d", page);
        plan.paths.push_back(prefix + stem + number + extension);
    }
}

}  // namespace

const char* FormatExtension(OutputFormat format) {
    switch (format) {
        case OutputFormat::Png: return ".png";
        case OutputFormat::Tiff: return ".tif";
        case OutputFormat::Jpeg: return ".jpg";
        case OutputFormat::Bmp: return ".bmp";
    }
    return ".png";
}

OutputPlan PlanOutputs(const std::string& input, int pageCount, bool formatGiven, OutputFormat format,
                       const std::string& outputFolder) {
    OutputPlan plan;
    plan.folder = outputFolder.empty() ? platform::PathJoin(platform::PathFolder(input), "Result") : outputFolder;
    plan.format = !formatGiven && pageCount > 1 ? OutputFormat::Tiff : format;
    plan.oneFile = pageCount <= 1 || plan.format == OutputFormat::Tiff;
    AddPaths(plan, platform::PathJoin(plan.folder, ""), Stem(platform::PathFileName(input)),
             FormatExtension(plan.format), pageCount);
    return plan;
}

OutputPlan PlanOutputsAt(const std::string& output, int pageCount, OutputFormat format) {
    OutputPlan plan;
    plan.folder = platform::PathFolder(output);
    plan.format = format;
    plan.oneFile = pageCount <= 1 || format == OutputFormat::Tiff;
    if (plan.oneFile) {
        plan.paths.push_back(output);
        return plan;
    }
    const std::string name = platform::PathFileName(output);
    const std::string stem = Stem(name);
    AddPaths(plan, output.substr(0, output.size() - name.size()), stem, name.substr(stem.size()), pageCount);
    return plan;
}
