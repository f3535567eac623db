// whiten-pages: whitens the paper of scanned pages (JPEG, PNG, TIFF, 24-bit
// BMP) into gray PNG, TIFF, JPEG or BMP files, several pages at once.
#include "library/whiten.h"
#include "pages/Options.h"
#include "pages/PageRun.h"
#include "pages/Progress.h"
#include "platform/LargeBlock.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <unistd.h>

namespace {

constexpr int kUsageStatus = 2;

// Every core busy: one page per core; the run shares the cores among a page's
// own threads.
RunSettings Settings(const PagesOptions& options) {
    RunSettings settings;
    settings.inputs = options.inputs;
    settings.recursive = options.recursive;
    settings.outputFolder = options.outputFolder;
    settings.formatGiven = options.formatGiven;
    settings.format = options.format;
    settings.writer = options.writer;
    const int cores = std::max(1, whiten::DefaultThreads());
    settings.jobs = options.jobs > 0 ? options.jobs : cores;
    settings.threadsPerPage = options.threads;
    return settings;
}

}  // namespace

int main(int argc, char* argv[]) {
    platform::KeepFreedStorageForTheNextPage();
    PagesOptions options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "whiten-pages: %s\nTry 'whiten-pages --help' for more information.\n", error.what());
        return kUsageStatus;
    }
    if (options.help) {
        std::fputs(HelpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("whiten-pages %s\n", WHITEN_PAGES_VERSION);
        return 0;
    }
    // Line by line, so that a log or a pipe sees each page as it is done.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    const ProgressStyle style = options.quiet          ? ProgressStyle::Quiet
                                : isatty(STDERR_FILENO) ? ProgressStyle::Bar
                                                        : ProgressStyle::Lines;
    Progress progress(style, stdout, stderr);
    try {
        const RunTotals totals = RunPages(Settings(options), progress);
        progress.Finished(totals);
        const bool allWhitened = totals.stopReason.empty() && totals.whitened == totals.pages;
        return allWhitened ? 0 : 1;
    } catch (const std::bad_alloc&) {
        std::fputs("whiten-pages: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "whiten-pages: %s\n", error.what());
    }
    return 1;
}
