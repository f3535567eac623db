// An outcome's lines are made by PageLines, as whiten-pages' progress makes them.
#include "pages/FileOutcome.h"

#include "pages/PageLines.h"

void OutcomeReport::Page(const PageEvent& event) {
    if (event.result == PageResult::Whitened) {
        if (outcome_.outputs.empty() || outcome_.outputs.back() != event.output)
            outcome_.outputs.push_back(event.output);  // a multi-page TIFF once, for its first page, once complete
        outcome_.lines.push_back(WhitenedLine(event));
        return;
    }
    const bool refused = event.result == PageResult::Refused;
    (refused ? outcome_.refused : outcome_.failed) = true;
    outcome_.problems.push_back({event.page, refused, event.reason, ProblemLine(event)});
    outcome_.lines.push_back(outcome_.problems.back().line);
}

void OutcomeReport::OutputLost(const std::string& input, const std::string& output, int pages,
                               const std::string& reason) {
    outcome_.failed = true;
    outcome_.problems.push_back({-1, false, LostReason(output, pages, reason), LostLine(input, output, pages, reason)});
    outcome_.lines.push_back(outcome_.problems.back().line);
}

void OutcomeReport::InputSkipped(const std::string& input, const std::vector<std::string>& outputs) {
    outcome_.skipped = true;
    outcome_.outputs = outputs;
    outcome_.lines.push_back(SkippedLine(input, outputs));
}
