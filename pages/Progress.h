// How a run shows itself: on a terminal a progress bar on standard error,
// redrawn in place; elsewhere one line per page on standard output (input and
// output, or why it was refused or failed); quiet, only what went wrong, on
// standard error. A summary line ends every run but a quiet one.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "pages/RunEvents.h"

enum class ProgressStyle { Bar, Lines, Quiet };

class Progress : public RunReport {
public:
    // `out` takes the lines of the Lines style, `err` the bar and whatever went wrong.
    Progress(ProgressStyle style, std::FILE* out, std::FILE* err);

    void Started(int pages) override;
    void Page(const PageEvent& event) override;
    void PageAdded(const PageEvent& event) override;
    void OutputLost(const std::string& input, const std::string& output, int pages,
                    const std::string& reason) override;
    // The line that says why the run stopped, then the summary.
    void Finished(const RunTotals& totals);

private:
    void DrawBar();
    void ClearBar();
    void Problem(const std::string& line);
    double Seconds() const;

    ProgressStyle style_;
    std::FILE* out_;
    std::FILE* err_;
    std::chrono::steady_clock::time_point start_;
    int pages_ = 0;
    int done_ = 0;
};
