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
    const std::string stem = Stem(platform::PathFileName(input));
    const char* extension = FormatExtension(plan.format);
    if (plan.oneFile) {
        plan.paths.push_back(platform::PathJoin(plan.folder, stem + extension));
        return plan;
    }
    for (int page = 1; page <= pageCount; ++page) {
        char number[16];
        std::snprintf(number, sizeof number, "-%04d", page);
        plan.paths.push_back(platform::PathJoin(plan.folder, stem + number + extension));
    }
    return plan;
}
