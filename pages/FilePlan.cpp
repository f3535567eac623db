// PlanFiles: the plan of a run (RunPlan), its readers dropped, and the pages
// it refuses told into outcomes as the run would tell them.
#include "pages/FilePlan.h"

#include "pages/RunPlan.h"

namespace {

// Planning tells nothing: only skipped inputs are reported, and none is skipped here.
class Untold : public RunReport {
public:
    void Started(int) override {}
    void Page(const PageEvent&) override {}
    void OutputLost(const std::string&, const std::string&, int, const std::string&) override {}
};

// The name PlanOutputsAt numbers the job's pages after: the one a single page would take.
std::string OutputFor(const InputJob& job, const RunSettings& settings) {
    if (!settings.outputPath.empty()) return settings.outputPath;
    return PlanOutputs(job.Input(), 1, true, job.Plan().format, settings.outputFolder).paths.at(0);
}

WhitenFileOutcome RefusedOutcome(const InputJob& job) {
    WhitenFileOutcome outcome;
    OutcomeReport report(outcome);
    report.Started(job.Pages());
    for (int page = 0; page < job.Pages(); ++page)
        report.Page({job.Shown().input, page, job.Pages(), PageResult::Refused, {}, job.Refusal()});
    return outcome;
}

}  // namespace

std::vector<PlannedFile> PlanFiles(const RunSettings& settings) {
    RunSettings listing = settings;
    listing.keepExisting = false;
    Untold untold;
    const RunPlan plan = PlanRun(listing, untold);
    std::vector<PlannedFile> files;
    files.reserve(plan.jobs.size());
    for (const auto& job : plan.jobs) {
        files.push_back({job->Input(), job->Plan(), OutputFor(*job, settings), std::nullopt});
        if (!job->Refusal().empty()) files.back().refused = RefusedOutcome(*job);
    }
    return files;
}
