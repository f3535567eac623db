// Failures of the output path seen from the whole run: a save that cannot
// create, write, close or rename its file, a file system that refuses to grow
// the file, and a process killed in the middle of a save. None of them may leave
// a partial file under the output name or damage an earlier output.
// POSIX paths, resource limits and signals; not built for Windows.
#if !defined(_WIN32)

#include "app/job_run.h"
#include "app/Entry.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "image/BmpFileWriter.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kEarlier = "an earlier output";

enum class Step { Create, Write, Close, Replace };

// The standard writer, except that for files whose name contains `target` one
// step misbehaves: it fails, or (with `kill` set) the process dies there. Writes
// misbehave once `budget` bytes have gone through, after part of the data has
// reached the file.
class FaultyWriter : public BmpFileWriter {
public:
    FaultyWriter(std::string target, Step step, std::size_t budget = 0, bool kill = false)
        : target_(std::move(target)), step_(step), budget_(budget), kill_(kill) {}

    std::FILE* CreateNew(const std::string& path) override {
        current_ = path.find(target_) != std::string::npos;
        if (Hits(Step::Create)) return Misbehave<std::FILE*>(nullptr, EACCES);
        return BmpFileWriter::CreateNew(path);
    }
    bool Write(std::FILE* file, const void* data, std::size_t size) override {
        if (Hits(Step::Write) && size > budget_) {
            BmpFileWriter::Write(file, data, budget_);
            std::fflush(file);
            return Misbehave(false, ENOSPC);
        }
        if (current_) budget_ -= std::min(budget_, size);
        return BmpFileWriter::Write(file, data, size);
    }
    bool Close(std::FILE* file) override {
        const bool closed = BmpFileWriter::Close(file);
        return Hits(Step::Close) ? Misbehave(false, ENOSPC) : closed;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        if (Hits(Step::Replace)) return Misbehave(false, EXDEV);
        return BmpFileWriter::Replace(from, to);
    }

private:
    bool Hits(Step step) const { return current_ && step_ == step; }
    template <class T>
    T Misbehave(T failure, int error) {
        if (kill_) std::raise(SIGKILL);
        errno = error;
        return failure;
    }

    std::string target_;
    Step step_;
    std::size_t budget_;
    bool kill_;
    bool current_ = false;
};

struct LoopRun {
    int status = -1;
    std::string printed;
    std::string errors;
    std::vector<int> pauses;
};

// The argument loop with the real job, the given error stream and no real pauses.
int RunJobs(const std::vector<std::string>& paths, std::ostream& errors, std::vector<int>& pauses) {
    std::ostringstream usage;
    const EntryServices services{ProcessFile, [&](int ms) { pauses.push_back(ms); }, usage, errors, "USAGE\n"};
    std::vector<const char*> argv{"whiten"};
    for (const auto& p : paths) argv.push_back(p.c_str());
    return RunEntry(static_cast<int>(argv.size()), argv.data(), services);
}

LoopRun RunCaptured(const std::vector<std::string>& paths) {
    LoopRun run;
    std::ostringstream errors;
    testing::internal::CaptureStdout();
    run.status = RunJobs(paths, errors, run.pauses);
    run.printed = testing::internal::GetCapturedStdout();
    run.errors = errors.str();
    return run;
}

using testjob::Progress;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

// In a child process: runs the loop on `input` with files limited to `bytes`, a
// refused write failing instead of raising SIGXFSZ; exits with the loop's status.
[[noreturn]] void RunWithFileSizeLimit(const std::string& input, rlim_t bytes) {
    std::freopen("/dev/null", "w", stdout);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::vector<int> pauses;
    std::exit(RunJobs({input}, std::cerr, pauses));
}

// In a child process: runs the job on `input` and dies by SIGKILL at `step` of its save.
[[noreturn]] void RunKilledAt(const std::string& input, Step step, std::size_t budget) {
    std::freopen("/dev/null", "w", stdout);
    FaultyWriter writer("/p.bmp", step, budget, true);
    ScopedBmpFileWriter scoped(writer);
    ProcessFile(input);
    std::exit(0);
}

TEST(HostileOutput, AFailingSaveEndsTheRunWithStatusOneAndKeepsTheEarlierOutput) {
    struct Case { const char* name; Step step; std::size_t budget; };
    const Case cases[] = {
        {"Result refuses new files", Step::Create, 0},
        {"header write fails", Step::Write, 20},
        {"write fails half way through the rows", Step::Write, 54 + 2 * 20 + 7},
        {"close fails (full disk seen at the flush)", Step::Close, 0},
        {"rename fails", Step::Replace, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) WriteFile(dir / name, testbmp::Page(6, 5));
        fs::create_directory(dir / "Result");
        WriteFile(dir / "Result/b.bmp", kEarlier);
        FaultyWriter writer("/b.bmp", c.step, c.budget);
        LoopRun run;
        {
            ScopedBmpFileWriter scoped(writer);
            run = RunCaptured({dir / "a.bmp", dir / "b.bmp", dir / "c.bmp"});
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "CBmp24_::Save : can't write " + (dir / "Result/b.bmp") + "\n");
        EXPECT_EQ(run.printed, Progress(dir / "Result", "a.bmp") + Progress(dir / "Result", "b.bmp"));
        EXPECT_TRUE(run.pauses.empty());
        EXPECT_EQ(Entries(dir / "Result"), (Names{"a.bmp", "b.bmp"}));
        EXPECT_EQ(ReadFile(dir / "Result/b.bmp"), kEarlier);
        EXPECT_EQ(ReadFile(dir / "Result/a.bmp"), testbmp::WhitenedReference(testbmp::Page(6, 5)));
    }
}

// Anything but a folder under the name Result stops the run: result 1, its line,
// the stop's pause and the closing one, status 0; nothing there is touched.
TEST(HostileOutput, ResultThatIsNoFolderStopsTheRun) {
    struct Case { const char* name; void (*make)(const std::string& result); };
    const Case cases[] = {
        {"plain file", [](const std::string& result) { WriteFile(result, kEarlier); }},
        {"dangling link", [](const std::string& result) { fs::create_symlink("gone", result); }},
        {"link to a file", [](const std::string& result) {
             WriteFile(result + ".txt", kEarlier);
             fs::create_symlink("Result.txt", result);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "pages");
        for (const char* name : {"a.bmp", "pages/b.bmp", "c.bmp"}) WriteFile(dir / name, testbmp::Page(3, 2));
        c.make(dir / "pages/Result");
        const LoopRun run = RunCaptured({dir / "a.bmp", dir / "pages/b.bmp", dir / "c.bmp"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.pauses, (std::vector<int>{5000, 5000}));
        EXPECT_EQ(run.printed, Progress(dir / "Result", "a.bmp") + Progress(dir / "pages/Result", "b.bmp") +
                                   "TargetPath " + (dir / "pages/Result") + " is NOT exist\n");
        EXPECT_EQ(Entries(dir / "Result"), (Names{"a.bmp"}));
        EXPECT_FALSE(fs::is_directory(dir / "pages/Result"));
        if (fs::exists(dir / "pages/Result")) {
            EXPECT_EQ(ReadFile(dir / "pages/Result"), kEarlier);
        }
    }
}

// A file system that refuses to grow a file (here: the process's file size limit,
// as a full disk would) makes the real writer fail part way; the run ends with
// status 1 and the earlier output survives.
TEST(HostileOutput, AFileSizeLimitMidWayThroughTheSaveLeavesNothingBehind) {
    TempDir dir;
    WriteFile(dir / "big.bmp", testbmp::Page(40, 30));  // a 3654-byte output
    fs::create_directory(dir / "Result");
    WriteFile(dir / "Result/big.bmp", kEarlier);
    const std::string input = dir / "big.bmp";
    EXPECT_EXIT(RunWithFileSizeLimit(input, 1000), testing::ExitedWithCode(1),
                "CBmp24_::Save : can't write .*/Result/big.bmp");
    EXPECT_EQ(Entries(dir / "Result"), (Names{"big.bmp"}));
    EXPECT_EQ(ReadFile(dir / "Result/big.bmp"), kEarlier);
}

// A process killed during a save leaves at most its temporary file, never a
// partial file under the output name; the next run writes the output as usual.
TEST(HostileOutput, AProcessKilledDuringASaveLeavesNoPartialOutput) {
    struct Case { const char* name; Step step; std::size_t budget; bool earlier; };
    const Case cases[] = {
        {"killed while creating the file", Step::Create, 0, true},
        {"killed after the headers", Step::Write, 54, true},
        {"killed half way through the rows, no earlier output", Step::Write, 54 + 120 * 10 + 5, false},
        {"killed before the rename", Step::Replace, 0, true},
        {"killed before the rename, no earlier output", Step::Replace, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = dir / "p.bmp";
        WriteFile(input, testbmp::Page(40, 30));
        fs::create_directory(dir / "Result");
        if (c.earlier) WriteFile(dir / "Result/p.bmp", kEarlier);
        EXPECT_EXIT(RunKilledAt(input, c.step, c.budget), testing::KilledBySignal(SIGKILL), "");
        for (const std::string& name : Entries(dir / "Result")) {
            if (name == "p.bmp") {
                EXPECT_TRUE(c.earlier) << "an output appeared";
                EXPECT_EQ(ReadFile(dir / "Result/p.bmp"), kEarlier);
            } else {
                EXPECT_EQ(name.rfind("p.bmp.part-", 0), 0u) << name;
            }
        }
        EXPECT_EQ(fs::exists(dir / "Result/p.bmp"), c.earlier);

        testing::internal::CaptureStdout();
        EXPECT_EQ(ProcessFile(input), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(ReadFile(dir / "Result/p.bmp"), testbmp::WhitenedReference(testbmp::Page(40, 30)));
    }
}

}  // namespace

#endif
