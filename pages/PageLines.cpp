// Page lines: the input, the page of a multi-page input, and what became of
// it; every name quoted as QuotedName shows it.
#include "pages/PageLines.h"

#include "pages/QuotedName.h"

std::string PageName(const PageEvent& event) {
    const std::string input = QuotedName(event.input);
    if (event.pages <= 1) return input;
    return input + " (page " + std::to_string(event.page + 1) + " of " + std::to_string(event.pages) + ")";
}

std::string WhitenedLine(const PageEvent& event) { return PageName(event) + " -> " + QuotedName(event.output); }

std::string ProblemLine(const PageEvent& event) {
    const char* what = event.result == PageResult::Refused ? "refused" : "failed";
    return PageName(event) + ": " + what + ": " + event.reason;
}

std::string LostReason(const std::string& output, int pages, const std::string& reason) {
    return QuotedName(output) + " not finished, " + std::to_string(pages) + " page" + (pages == 1 ? "" : "s") +
           " lost: " + reason;
}

std::string LostLine(const std::string& input, const std::string& output, int pages, const std::string& reason) {
    return QuotedName(input) + ": failed: " + LostReason(output, pages, reason);
}

std::string SkippedLine(const std::string& input, const std::vector<std::string>& outputs) {
    std::string line = QuotedName(input) + ": skipped: ";
    for (std::size_t i = 0; i < outputs.size(); ++i) line += (i > 0 ? ", " : "") + QuotedName(outputs[i]);
    return line + " already there";
}
