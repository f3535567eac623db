// The interrupt cleanup of output files with named temporary files (as on
// file systems without unnamed files): an interrupt removes every temporary
// file of the process, however many are under way on however many threads,
// and keeps every committed file.
#if !defined(_WIN32)

#include "platform/OutputFile.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::unique_ptr<platform::OutputFile> Started(const std::string& target) {
    auto file = std::make_unique<platform::OutputFile>();
    if (file->Create(target, false) || file->Write("part", 4)) std::_Exit(3);
    return file;
}

void Committed(const std::string& target) {
    if (Started(target)->Commit()) std::_Exit(4);
}

// Files left open, others committed or dropped in between (each of which once
// made the cleanup forget the open ones), then the interrupt.
[[noreturn]] void OpenCommitAndInterrupt(const std::string& folder, int open, int committed, int dropped,
                                         int signal) {
    std::signal(signal, SIG_DFL);
    std::vector<std::unique_ptr<platform::OutputFile>> files;
    for (int i = 0; i < open; ++i) files.push_back(Started(folder + "/open" + std::to_string(i) + ".png"));
    for (int i = 0; i < committed; ++i) Committed(folder + "/done" + std::to_string(i) + ".png");
    for (int i = 0; i < dropped; ++i) Started(folder + "/dropped" + std::to_string(i) + ".png");
    std::raise(signal);
    std::_Exit(0);
}

// Threads making and committing files without a pause, another interrupting them.
[[noreturn]] void InterruptBusyThreads(const std::string& folder, int threads) {
    std::signal(SIGTERM, SIG_DFL);
    std::atomic<int> made{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0;; ++i) {
                // Once the interrupt has begun, files are refused (EINTR) and the thread goes on.
                platform::OutputFile file;
                if (file.Create(folder + "/t" + std::to_string(t) + "-" + std::to_string(i % 50) + ".png", false) ||
                    file.Write("part", 4) || (i % 3 != 0 && file.Commit()))
                    continue;
                ++made;
            }
        });
    }
    while (made < 200) std::this_thread::yield();
    std::thread([] { ::kill(::getpid(), SIGTERM); }).join();
    for (;;) std::this_thread::yield();
}

std::vector<std::string> TemporaryFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '~') names.push_back(name);
    }
    return names;
}

TEST(InterruptCleanup, AnInterruptRemovesEveryTemporaryFileOfTheProcess) {
    struct Case { const char* name; int open, committed, dropped, signal, threads; };
    const Case cases[] = {
        {"one file open", 1, 0, 0, SIGINT, 0},
        {"an open file, another committed meanwhile", 1, 1, 0, SIGTERM, 0},
        {"an open file, another dropped meanwhile", 1, 0, 1, SIGINT, 0},
        {"three open, three committed and three dropped", 3, 3, 3, SIGHUP, 0},
        {"four threads making and committing files", 0, 0, 0, SIGTERM, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = dir.Path().string();
        if (c.threads > 0) {
            EXPECT_EXIT(InterruptBusyThreads(folder, c.threads), testing::KilledBySignal(c.signal), "");
        } else {
            EXPECT_EXIT(OpenCommitAndInterrupt(folder, c.open, c.committed, c.dropped, c.signal),
                        testing::KilledBySignal(c.signal), "");
            for (int i = 0; i < c.committed; ++i) EXPECT_TRUE(fs::exists(dir / ("done" + std::to_string(i) + ".png")));
        }
        EXPECT_EQ(TemporaryFiles(folder), std::vector<std::string>{});
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(fs::file_size(entry.path()), 4u) << entry.path();  // committed files are whole
    }
}

}  // namespace

#endif
