// Outputs are checked by resolved path (another input's output) and by the
// file a name reaches (an input, through any link). An input's outputs share
// their folder, which is resolved once: a book of many pages written one a
// file costs one stat a page here.
#include "pages/RunPlan.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include <sys/stat.h>

#include "pages/InputIdentities.h"
#include "pages/InputList.h"
#include "pages/OutputNames.h"
#include "pages/QuotedName.h"
#include "platform/Path.h"

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

class Planner {
public:
    Planner(const RunSettings& settings, RunReport& report) : settings_(settings), report_(report) {}

    RunPlan Plan() {
        std::vector<Input> inputs;
        if (settings_.outputPath.empty()) {
            inputs = ListInputs(settings_.inputs, settings_.recursive, settings_.outputFolder);
        } else {
            inputs.push_back({settings_.inputs.at(0), false, {}});
        }
        for (const auto& input : inputs) identities_.Add(input.path);
        for (const auto& input : inputs) PlanInput(input);
        return std::move(plan_);
    }

private:
    void PlanInput(const Input& input) {
        // A TIFF output is one file whatever the input's pages: looked for before the input is opened.
        const bool oneTiff = settings_.formatGiven && settings_.format == OutputFormat::Tiff;
        if (oneTiff) {
            const OutputPlan one = PlanFor(input.path, 1);
            if (Skips(one, Shown(input.path, one, 1))) return;
        }
        std::unique_ptr<PageReader> reader;
        std::exception_ptr openError;
        try {
            if (!input.listError.empty()) throw std::runtime_error(input.listError);
            reader = OpenPageReader(input.path);
        } catch (const NotAPageFile&) {
            if (input.inFolder) return;
            openError = std::current_exception();
        } catch (...) {
            openError = std::current_exception();
        }
        const int pages = reader ? std::max(1, reader->PageCount()) : 1;
        OutputPlan outputs = PlanFor(input.path, pages);
        ShownNames shown = Shown(input.path, outputs, pages);
        if (!oneTiff && Skips(outputs, shown)) return;
        std::string refusal = Refusal(outputs, shown);
        plan_.jobs.push_back(std::make_unique<InputJob>(input.path, pages, std::move(outputs), std::move(shown),
                                                        std::move(refusal), std::move(reader), std::move(openError)));
    }

    OutputPlan PlanFor(const std::string& input, int pages) const {
        if (!settings_.outputPath.empty()) return PlanOutputsAt(settings_.outputPath, pages, settings_.format);
        return PlanOutputs(input, pages, settings_.formatGiven, settings_.format, settings_.outputFolder);
    }

    // The paths themselves, but where the settings name the input and the output otherwise.
    ShownNames Shown(const std::string& input, const OutputPlan& outputs, int pages) const {
        ShownNames shown{settings_.shownInput.empty() ? input : settings_.shownInput, outputs.folder, outputs.paths};
        if (!settings_.shownOutputPath.empty()) {
            OutputPlan named = PlanOutputsAt(settings_.shownOutputPath, pages, settings_.format);
            shown.folder = std::move(named.folder);
            shown.outputs = std::move(named.paths);
        }
        return shown;
    }

    // True (and told) when the input is passed over: asked to, and every output it would make is there.
    bool Skips(const OutputPlan& outputs, const ShownNames& shown) {
        if (!settings_.keepExisting) return false;
        for (const auto& path : outputs.paths)
            if (!IsRegularFile(path)) return false;
        ++plan_.skipped;
        report_.InputSkipped(shown.input, shown.outputs);
        return true;
    }

    // Why the input's pages are refused unread: an output would replace an
    // input, or is another input's output too. Empty when neither.
    std::string Refusal(const OutputPlan& outputs, const ShownNames& shown) {
        const std::string folder = platform::PathJoin(ResolvedPath(outputs.folder), "");
        for (std::size_t i = 0; i < outputs.paths.size(); ++i) {
            const std::string& path = outputs.paths[i];
            const std::string resolved = folder + platform::PathFileName(path);
            const std::string& name = shown.outputs[i];
            if (identities_.IsInput(path, resolved))
                return "its output " + QuotedName(name) + " would replace an input";
            const auto [owner, isNew] = outputOwner_.emplace(resolved, shown.input);
            if (!isNew)
                return "its output " + QuotedName(name) + " is already the output of " + QuotedName(owner->second);
        }
        return {};
    }

    const RunSettings& settings_;
    RunReport& report_;
    InputIdentities identities_;
    std::map<std::string, std::string> outputOwner_;  // resolved output path -> input, as shown
    RunPlan plan_;
};

}  // namespace

RunPlan PlanRun(const RunSettings& settings, RunReport& report) { return Planner(settings, report).Plan(); }
