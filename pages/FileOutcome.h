// What became of one input file, gathered from its run's events instead of
// printed: WhitenFile's outcome, with the lines whiten-pages prints for the file.
#pragma once

#include <string>
#include <vector>

#include "pages/RunEvents.h"

// A page not whitened, or an output of several pages lost unfinished.
struct FileProblem {
    int page = -1;         // 0-based; -1 for a lost output (its line counts the pages lost)
    bool refused = false;  // the file's own fault; false: failed, the system's
    std::string reason;    // what the line tells after "refused: " or "failed: ", names quoted
    std::string line;      // "p.jpg: refused: REASON", "book.tif (page 3 of 9): failed: REASON"
};

struct WhitenFileOutcome {
    int pages = 0;                      // the input's pages; 0 when skipped
    int whitened = 0;                   // pages now in complete outputs
    std::vector<std::string> outputs;   // the complete outputs written, in page order;
                                        // for a skipped file those that were there
    // One per refused or failed page and per output lost unfinished.
    std::vector<FileProblem> problems;
    // Every line whiten-pages prints for the file, in the order they were told:
    // "p.jpg -> Result/p.png" for a whitened page, the problems' lines; for a
    // skipped file the line that says so ("p.jpg: skipped: Result/p.png already there").
    std::vector<std::string> lines;
    bool skipped = false;
    bool refused = false;  // some page was refused: the file's own fault (broken, too large, no page)
    bool failed = false;   // some page failed: the system's fault (unreadable, unwritable, no memory)
    // A failure that no later file escapes either, with the system's reason:
    // the output folder cannot be made, the disk or quota is full, the folder
    // is read-only or not writable. Empty otherwise.
    std::string stopReason;
};

// The events of one input's run into `outcome`: pages, outputs, problems,
// lines and whether pages were refused or failed; the rest is the caller's.
class OutcomeReport : public RunReport {
public:
    explicit OutcomeReport(WhitenFileOutcome& outcome) : outcome_(outcome) {}

    void Started(int pages) override { outcome_.pages = pages; }
    void Page(const PageEvent& event) override;
    void OutputLost(const std::string& input, const std::string& output, int pages,
                    const std::string& reason) override;
    void InputSkipped(const std::string& input, const std::vector<std::string>& outputs) override;

private:
    WhitenFileOutcome& outcome_;
};
