// What a run tells its front end: each page's outcome as it is known, the
// failure that stopped the run, and the totals at its end.
#pragma once

#include <string>
#include <vector>

enum class PageResult {
    Whitened,  // its output is complete
    Refused,   // the page itself cannot be whitened: broken, too large, a kind refused
    Failed,    // the system failed for this page: its file cannot be read, its output not written
};

struct PageEvent {
    std::string input;
    int page = 0;       // 0-based
    int pages = 1;      // the input's page count
    PageResult result = PageResult::Whitened;
    std::string output; // for a whitened page
    std::string reason; // for a refused or failed page, one line, names quoted (QuotedName)
    bool added = false; // whitened into a multi-page output, told by PageAdded before
};

struct RunTotals {
    int pages = 0;      // pages in all the inputs
    int whitened = 0;   // pages now in complete output files
    int refused = 0;
    int failed = 0;     // includes the pages of an output lost when it could not be finished
    int notDone = 0;    // pages never started, or lost, because the run stopped
    int skipped = 0;    // inputs passed over because their outputs exist (RunSettings::keepExisting)
    std::string stopReason;  // why the run stopped; empty when it ran to its end
};

class RunReport {
public:
    virtual ~RunReport() = default;
    virtual void Started(int pages) = 0;
    // Called from the worker threads, one call at a time, once a page's
    // outcome is final: for a page of a multi-page output, once the output is
    // complete (or lost: OutputLost).
    virtual void Page(const PageEvent& event) = 0;
    // A page added to a multi-page output not complete yet.
    virtual void PageAdded(const PageEvent& /*event*/) {}
    // An output of several pages that could not be finished: its pages are lost.
    virtual void OutputLost(const std::string& input, const std::string& output, int pages,
                            const std::string& reason) = 0;
    // An input passed over, unread, because every output it would make exists.
    virtual void InputSkipped(const std::string& /*input*/, const std::vector<std::string>& /*outputs*/) {}
};
