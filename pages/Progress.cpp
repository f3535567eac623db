// The bar is one line ended by "\r" and erase-to-end-of-line, sized to the
// terminal; a line about a failed page is written over it and the bar is
// drawn again below.
#include "pages/Progress.h"

#include "pages/PageLines.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

std::string Clock(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

const char* Plural(int count) { return count == 1 ? "" : "s"; }

}  // namespace

Progress::Progress(ProgressStyle style, std::FILE* out, std::FILE* err)
    : style_(style), out_(out), err_(err), start_(std::chrono::steady_clock::now()) {}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Started(int pages) {
    pages_ = pages;
    start_ = std::chrono::steady_clock::now();
    if (style_ == ProgressStyle::Bar) DrawBar();
}

void Progress::PageAdded(const PageEvent&) {
    ++done_;
    if (style_ == ProgressStyle::Bar) DrawBar();
}

void Progress::Page(const PageEvent& event) {
    if (!event.added) ++done_;  // a page added to a multi-page output counted then
    if (event.result == PageResult::Whitened) {
        if (style_ == ProgressStyle::Lines) std::fprintf(out_, "%s\n", WhitenedLine(event).c_str());
    } else {
        const std::string line = ProblemLine(event);
        if (style_ == ProgressStyle::Lines) {
            std::fprintf(out_, "%s\n", line.c_str());
        } else {
            Problem(line);
        }
    }
    if (style_ == ProgressStyle::Bar) DrawBar();
}

void Progress::OutputLost(const std::string& input, const std::string& output, int pages,
                          const std::string& reason) {
    const std::string line = LostLine(input, output, pages, reason);
    if (style_ == ProgressStyle::Lines) {
        std::fprintf(out_, "%s\n", line.c_str());
    } else {
        Problem(line);
    }
    if (style_ == ProgressStyle::Bar) DrawBar();
}

void Progress::Finished(const RunTotals& totals) {
    ClearBar();
    if (!totals.stopReason.empty()) std::fprintf(err_, "whiten-pages: stopped: %s\n", totals.stopReason.c_str());
    if (style_ == ProgressStyle::Quiet) return;
    const double seconds = Seconds();
    std::string line = "whiten-pages: " + std::to_string(totals.whitened) + " page" + Plural(totals.whitened) +
                       " whitened, " + std::to_string(totals.refused) + " refused, " +
                       std::to_string(totals.failed) + " failed";
    if (totals.notDone > 0) line += ", " + std::to_string(totals.notDone) + " not done";
    char time[64];
    std::snprintf(time, sizeof time, " in %.1f s", seconds);
    line += time;
    if (totals.whitened > 0 && seconds > 0) {
        std::snprintf(time, sizeof time, " (%.2f s a page)", seconds / totals.whitened);
        line += time;
    }
    std::fprintf(style_ == ProgressStyle::Bar ? err_ : out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void Progress::Problem(const std::string& line) {
    ClearBar();
    std::fprintf(err_, "%s\n", line.c_str());
}

void Progress::ClearBar() {
    if (style_ == ProgressStyle::Bar) std::fputs("\r\033[K", err_);
}

// The bar with its whole tail where that fits, so the line is never as wide
// as the terminal (its last column would wrap the line); narrower, the bar
// with the counts alone, and narrower still the counts alone, cut to fit.
void Progress::DrawBar() {
    constexpr int kShortestBar = 10;
    const double seconds = Seconds();
    const double rate = seconds > 0 && done_ > 0 ? done_ / seconds : 0;
    char tail[96];
    if (rate > 0 && done_ < pages_) {
        std::snprintf(tail, sizeof tail, " %d/%d pages, %.2f pages/s, %s left", done_, pages_, rate,
                      Clock((pages_ - done_) / rate).c_str());
    } else {
        std::snprintf(tail, sizeof tail, " %d/%d pages, %s", done_, pages_, Clock(seconds).c_str());
    }
    const std::string counts = " " + std::to_string(done_) + "/" + std::to_string(pages_) + " pages";
    const int room = TerminalColumns(err_) - 1;
    std::string text = tail;
    int width = room - static_cast<int>(text.size()) - 2;
    if (width < kShortestBar) {
        text = counts;
        width = room - static_cast<int>(text.size()) - 2;
    }
    std::string line;
    if (width >= kShortestBar) {
        const int filled = pages_ > 0 ? static_cast<int>(static_cast<long long>(width) * done_ / pages_) : width;
        line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(width - filled), '.') + "]" + text;
    } else {
        line = counts.substr(1, static_cast<std::size_t>(std::max(1, room)));
    }
    std::fputs(("\r" + line + "\033[K").c_str(), err_);
    std::fflush(err_);
}
