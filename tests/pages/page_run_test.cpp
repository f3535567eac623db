// RunPages stopped from outside (the Python module's Ctrl-C) in the middle of
// a book: the outputs complete by then stay, an unfinished one never does.
#include "pages/PageRun.h"
#include "pages/page_files.h"
#include "platform/ParallelFor.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::TempDir;
using testsupport::WriteFile;

// Asks the run to stop once page `stopAfter` is whitened; the next page's
// whitening then throws StopRequested. The run is on this thread (one job).
class StopAfter : public RunReport {
public:
    StopAfter(std::atomic<bool>& stop, int stopAfter) : stop_(stop), stopAfter_(stopAfter) {}
    void Started(int) override {}
    void Page(const PageEvent& event) override { Whitened(event); }
    void PageAdded(const PageEvent& event) override { Whitened(event); }
    void OutputLost(const std::string&, const std::string&, int, const std::string&) override {}

private:
    void Whitened(const PageEvent& event) {
        if (event.result == PageResult::Whitened && event.page == stopAfter_) stop_ = true;
    }
    std::atomic<bool>& stop_;
    int stopAfter_;
};

TEST(PageRun, StoppedInABookLeavesNoUnfinishedOutput) {
    struct Case { const char* name; OutputFormat format; int stopAfter; std::set<std::string> left; int notDone; };
    const Case cases[] = {
        {"one TIFF, its last page stopped", OutputFormat::Tiff, 1, {}, 2},
        {"one TIFF, a middle page stopped", OutputFormat::Tiff, 0, {}, 2},
        {"a file a page: those written stay", OutputFormat::Bmp, 1, {"book-0001.bmp", "book-0002.bmp"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "book.tif", pagetest::MultiPageTiff({Golden("text_257x129.bmp"), Golden("random_33x17.bmp"),
                                                             Golden("synth_600x800.bmp")}));
        RunSettings settings;
        settings.inputs = {dir / "book.tif"};
        settings.outputFolder = dir / "out";
        settings.formatGiven = true;
        settings.format = c.format;
        std::atomic<bool> stop{false};
        StopAfter report(stop, c.stopAfter);
        tStopRequest = &stop;
        const RunTotals totals = RunPages(settings, report);
        tStopRequest = nullptr;
        EXPECT_EQ(totals.stopReason, "interrupted");
        EXPECT_EQ(totals.failed, 1);  // the page stopped
        EXPECT_EQ(totals.notDone, c.notDone);
        EXPECT_EQ(totals.whitened, static_cast<int>(c.left.size()));
        std::set<std::string> left;
        if (fs::exists(dir / "out"))
            for (const auto& entry : fs::directory_iterator(dir / "out")) left.insert(entry.path().filename().string());
        EXPECT_EQ(left, c.left);
    }
}

}  // namespace
