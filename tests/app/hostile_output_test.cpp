// Failures of the output path seen from the whole run: a save that cannot
// create, write or commit its file, a file system that refuses to grow the
// file, and a process ended by a signal in the middle of a save. None of them
// may leave a partial file under the output name or damage an earlier output;
// the line of an error ends with the system's reason.
// POSIX paths, resource limits and signals; not built for Windows.
#if !defined(_WIN32)

#include "app/job_run.h"
#include "app/Entry.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "image/BmpFileWriter.h"
#include "image/CBmp24.h"
#include "support/fuse_mount.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kEarlier = "an earlier output";

enum class Step { None, Create, Write, Commit };

// The standard writer, except that for files whose name contains `target` one
// step misbehaves: it fails with `error`, or (with `signal` set) the process
// gets that signal there. Writes misbehave once `budget` bytes have gone
// through, after part of the data has reached the file. `named` keeps the file
// named from the start, as on file systems without unnamed files.
class FaultyWriter : public BmpFileWriter {
public:
    struct Fault { Step step; std::size_t budget = 0; int error = 0; int signal = 0; bool named = false; };
    FaultyWriter(std::string target, Fault fault) : target_(std::move(target)), fault_(fault) {}

    std::error_code Create(platform::OutputFile& file, const std::string& path) override {
        current_ = path.find(target_) != std::string::npos;
        if (Hits(Step::Create)) return Misbehave();
        return file.Create(path, !(current_ && fault_.named));
    }
    std::error_code Write(platform::OutputFile& file, const void* data, std::size_t size) override {
        if (Hits(Step::Write) && size > fault_.budget) {
            file.Write(data, fault_.budget);
            return Misbehave();
        }
        if (current_) fault_.budget -= std::min(fault_.budget, size);
        return file.Write(data, size);
    }
    std::error_code Commit(platform::OutputFile& file) override {
        return Hits(Step::Commit) ? Misbehave() : file.Commit();
    }

private:
    bool Hits(Step step) const { return current_ && fault_.step == step; }
    std::error_code Misbehave() {
        if (fault_.signal != 0) std::raise(fault_.signal);
        return std::error_code(fault_.error, std::generic_category());
    }

    std::string target_;
    Fault fault_;
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

// In a child process: runs the loop on `input` with files limited to `bytes`,
// SIGXFSZ ignored or at its default action (which would end the process at the
// refused write), the temporary file named from the start when `named`; exits
// with the loop's status.
[[noreturn]] void RunWithFileSizeLimit(const std::string& input, rlim_t bytes, bool ignoreSignal, bool named) {
    std::freopen("/dev/null", "w", stdout);
    std::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    FaultyWriter writer("/", {Step::None, 0, 0, 0, named});
    ScopedBmpFileWriter scoped(writer);
    std::vector<int> pauses;
    std::exit(RunJobs({input}, std::cerr, pauses));
}

// In a child process: runs the job on `input`, whose save gets `fault.signal`
// at `fault.step`, with the signal's default action as a shell would give it.
[[noreturn]] void RunSignalledAt(const std::string& input, FaultyWriter::Fault fault) {
    std::freopen("/dev/null", "w", stdout);
    std::signal(fault.signal, SIG_DFL);
    const rlimit noCore{0, 0};  // SIGQUIT and SIGABRT would dump one
    setrlimit(RLIMIT_CORE, &noCore);
    FaultyWriter writer("/p.bmp", fault);
    ScopedBmpFileWriter scoped(writer);
    ProcessFile(input);
    std::exit(0);
}

TEST(HostileOutput, AFailingSaveEndsTheRunWithStatusOneAndKeepsTheEarlierOutput) {
    struct Case { const char* name; FaultyWriter::Fault fault; const char* reason; };
    const Case cases[] = {
        {"Result refuses new files", {Step::Create, 0, EACCES}, "Permission denied"},
        {"header write fails", {Step::Write, 20, ENOSPC}, "No space left on device"},
        {"write fails half way through the rows", {Step::Write, 54 + 2 * 20 + 7, EIO}, "Input/output error"},
        {"named file, write fails half way", {Step::Write, 54 + 2 * 20 + 7, ENOSPC, 0, true},
         "No space left on device"},
        {"commit fails", {Step::Commit, 0, ENOSPC}, "No space left on device"},
        {"named file, commit fails", {Step::Commit, 0, EXDEV, 0, true}, "Invalid cross-device link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) WriteFile(dir / name, testbmp::Page(6, 5));
        fs::create_directory(dir / "Result");
        WriteFile(dir / "Result/b.bmp", kEarlier);
        FaultyWriter writer("/b.bmp", c.fault);
        LoopRun run;
        {
            ScopedBmpFileWriter scoped(writer);
            run = RunCaptured({dir / "a.bmp", dir / "b.bmp", dir / "c.bmp"});
        }
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "CBmp24_::Save : can't write " + (dir / "Result/b.bmp") + ": " + c.reason + "\n");
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
    struct Case { const char* name; void (*make)(const std::string& result); const char* reason; };
    const Case cases[] = {
        {"plain file", [](const std::string& result) { WriteFile(result, kEarlier); }, "Not a directory"},
        {"dangling link", [](const std::string& result) { fs::create_symlink("gone", result); },
         "Dangling symbolic link"},
        {"link to a file", [](const std::string& result) {
             WriteFile(result + ".txt", kEarlier);
             fs::create_symlink("Result.txt", result);
         }, "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "pages");
        for (const char* name : {"a.bmp", "pages/b.bmp", "c.bmp"}) WriteFile(dir / name, testbmp::Page(3, 2));
        c.make(dir / "pages/Result");
        testing::internal::CaptureStderr();
        const LoopRun run = RunCaptured({dir / "a.bmp", dir / "pages/b.bmp", dir / "c.bmp"});
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "TargetPath " + (dir / "pages/Result") + " is NOT exist: " + c.reason + "\n");
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
// status 1 and the earlier output survives. The limit's SIGXFSZ, ignored or
// not, never ends the process instead.
TEST(HostileOutput, AFileSizeLimitMidWayThroughTheSaveLeavesNothingBehind) {
    struct Case { const char* name; bool ignoreSignal; bool named; };
    const Case cases[] = {
        {"SIGXFSZ ignored", true, false},
        {"SIGXFSZ at its default action", false, false},
        {"named file, SIGXFSZ ignored", true, true},
        {"named file, SIGXFSZ at its default action", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "big.bmp", testbmp::Page(40, 30));  // a 3654-byte output
        fs::create_directory(dir / "Result");
        WriteFile(dir / "Result/big.bmp", kEarlier);
        const std::string input = dir / "big.bmp";
        EXPECT_EXIT(RunWithFileSizeLimit(input, 1000, c.ignoreSignal, c.named), testing::ExitedWithCode(1),
                    "CBmp24_::Save : can't write .*/Result/big.bmp: File too large\n");
        EXPECT_EQ(Entries(dir / "Result"), (Names{"big.bmp"}));
        EXPECT_EQ(ReadFile(dir / "Result/big.bmp"), kEarlier);
    }
}

// Several processes saving into one Result folder at once, each its own
// outputs and all of them one shared name: every save succeeds, every output
// is one process's complete file, and no temporary file is left.
TEST(HostileOutput, ConcurrentSavesIntoOneFolderLeaveOnlyCompleteOutputs) {
    constexpr int kProcesses = 4;
    constexpr int kSaves = 40;
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary files" : "unnamed files");
        TempDir dir;
        std::vector<pid_t> children;
        for (int p = 0; p < kProcesses; ++p) {
            const pid_t child = fork();
            if (child == 0) {
                FaultyWriter writer("/", {Step::None, 0, 0, 0, named});
                ScopedBmpFileWriter scoped(writer);
                CBmp24_<0> image(CBmp24_<0>::empty);
                image.Create(4, 3);  // 36 pixel bytes, no padding
                std::memset(image.Pixels(), p + 1, 36);
                try {
                    for (int i = 0; i < kSaves; ++i) {
                        image.Save(dir / ("p" + std::to_string(p) + "-" + std::to_string(i) + ".bmp"));
                        image.Save(dir / "shared.bmp");
                    }
                } catch (...) {
                    _exit(1);
                }
                _exit(0);
            }
            children.push_back(child);
        }
        for (const pid_t child : children) {
            int status = -1;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const Names names = Entries(dir.Path().string());
        EXPECT_EQ(names.size(), kProcesses * kSaves + 1u);
        for (const std::string& name : names) {
            const std::string bytes = ReadFile(dir / name);
            ASSERT_EQ(bytes.size(), 90u) << name;
            EXPECT_EQ(bytes.substr(54), std::string(36, bytes[54])) << name;
            EXPECT_NE(bytes[54], 0) << name;
        }
    }
}

// A save ended by a signal whose default action ends the process (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1 and the others) removes its file and the
// process ends by that signal; SIGKILL leaves nothing either, except a named
// temporary file where the file system has no unnamed files. Never a partial
// file under the output name; the next run writes the output as usual.
TEST(HostileOutput, ASaveEndedByASignalLeavesNoPartialOutput) {
    struct Case { const char* name; FaultyWriter::Fault fault; bool earlier; };
    const std::size_t halfWay = 54 + 120 * 10 + 5;
    const Case cases[] = {
        {"SIGKILL while creating the file", {Step::Create, 0, 0, SIGKILL}, true},
        {"SIGKILL after the headers", {Step::Write, 54, 0, SIGKILL}, true},
        {"SIGKILL half way through the rows, no earlier output", {Step::Write, halfWay, 0, SIGKILL}, false},
        {"SIGKILL before the commit", {Step::Commit, 0, 0, SIGKILL}, true},
        {"SIGINT half way through the rows", {Step::Write, halfWay, 0, SIGINT}, true},
        {"SIGTERM before the commit", {Step::Commit, 0, 0, SIGTERM}, false},
        {"SIGHUP half way through the rows", {Step::Write, halfWay, 0, SIGHUP}, true},
        {"named file, SIGINT half way through the rows", {Step::Write, halfWay, 0, SIGINT, true}, true},
        {"named file, SIGTERM before the commit", {Step::Commit, 0, 0, SIGTERM, true}, false},
        {"named file, SIGHUP after the headers", {Step::Write, 54, 0, SIGHUP, true}, true},
        {"named file, SIGKILL half way through the rows", {Step::Write, halfWay, 0, SIGKILL, true}, true},
        {"named file, SIGQUIT half way through the rows", {Step::Write, halfWay, 0, SIGQUIT, true}, true},
        {"named file, SIGUSR1 after the headers", {Step::Write, 54, 0, SIGUSR1, true}, false},
        {"named file, SIGUSR2 before the commit", {Step::Commit, 0, 0, SIGUSR2, true}, true},
        {"named file, SIGALRM half way through the rows", {Step::Write, halfWay, 0, SIGALRM, true}, true},
        {"named file, SIGVTALRM after the headers", {Step::Write, 54, 0, SIGVTALRM, true}, true},
        {"named file, SIGPROF before the commit", {Step::Commit, 0, 0, SIGPROF, true}, false},
        {"named file, SIGXCPU half way through the rows", {Step::Write, halfWay, 0, SIGXCPU, true}, true},
        {"named file, SIGXFSZ sent to the process", {Step::Write, halfWay, 0, SIGXFSZ, true}, true},
        {"named file, SIGPIPE before the commit", {Step::Commit, 0, 0, SIGPIPE, true}, true},
        {"named file, SIGABRT half way through the rows", {Step::Write, halfWay, 0, SIGABRT, true}, true},
        {"named file, a real-time signal after the headers", {Step::Write, 54, 0, SIGRTMIN + 2, true}, true},
        {"SIGUSR1 half way through the rows", {Step::Write, halfWay, 0, SIGUSR1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = dir / "p.bmp";
        WriteFile(input, testbmp::Page(40, 30));
        fs::create_directory(dir / "Result");
        if (c.earlier) WriteFile(dir / "Result/p.bmp", kEarlier);
        EXPECT_EXIT(RunSignalledAt(input, c.fault), testing::KilledBySignal(c.fault.signal), "");
        const bool mayLeaveItsFile = c.fault.signal == SIGKILL && c.fault.named && c.fault.step != Step::Create;
        for (const std::string& name : Entries(dir / "Result")) {
            if (name == "p.bmp") {
                EXPECT_TRUE(c.earlier) << "an output appeared";
                EXPECT_EQ(ReadFile(dir / "Result/p.bmp"), kEarlier);
            } else {
                EXPECT_TRUE(mayLeaveItsFile) << name;
                EXPECT_EQ(name[0], '~') << name;
            }
        }
        EXPECT_EQ(fs::exists(dir / "Result/p.bmp"), c.earlier);

        testing::internal::CaptureStdout();
        EXPECT_EQ(ProcessFile(input), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(ReadFile(dir / "Result/p.bmp"), testbmp::WhitenedReference(testbmp::Page(40, 30)));
    }
}

// An output that names the input's own file: the save would replace the scan.
// The run stops before anything is written, with one line on standard error,
// as for an output that cannot be written; both files stay as they were.
TEST(HostileOutput, AnOutputThatIsTheInputItselfStopsTheRunAndKeepsBoth) {
    struct Case { const char* name; void (*make)(const std::string& folder); };
    const Case cases[] = {
        {"Result is a link to the input's folder", [](const std::string& folder) {
             fs::create_symlink(".", folder + "/Result");
         }},
        {"the input is a link to its own output", [](const std::string& folder) {
             fs::create_directory(folder + "/Result");
             fs::rename(folder + "/p.bmp", folder + "/Result/p.bmp");
             fs::create_symlink("Result/p.bmp", folder + "/p.bmp");
         }},
        {"the output is a hard link of the input", [](const std::string& folder) {
             fs::create_directory(folder + "/Result");
             fs::create_hard_link(folder + "/p.bmp", folder + "/Result/p.bmp");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "pages");
        fs::create_directory(dir / "later");
        WriteFile(dir / "pages/p.bmp", testbmp::Page(6, 5));
        WriteFile(dir / "later/q.bmp", testbmp::Page(6, 5));
        c.make(dir / "pages");
        const LoopRun run = RunCaptured({dir / "pages/p.bmp", dir / "later/q.bmp"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, "ProcessFile : can't write " + (dir / "pages/Result/p.bmp") +
                                  ": it is the input file " + (dir / "pages/p.bmp") + "\n");
        EXPECT_EQ(run.printed, Progress(dir / "pages/Result", "p.bmp"));
        EXPECT_TRUE(run.pauses.empty());
        EXPECT_EQ(ReadFile(dir / "pages/p.bmp"), testbmp::Page(6, 5));
        EXPECT_EQ(ReadFile(dir / "pages/Result/p.bmp"), testbmp::Page(6, 5));
        EXPECT_FALSE(fs::exists(dir / "later/Result"));
    }
}

// The same failures on a real file system without unnamed files (FUSE, where
// the save's temporary file has a name from the start): the file size limit
// gives its error line and status 1, the signals end the process by
// themselves, and nothing is left in Result.
TEST(HostileOutput, OnAFuseMountNothingIsLeftBehind) {
    testsupport::BindfsMount mount;
    if (!mount.Mounted()) GTEST_SKIP() << "needs bindfs and FUSE (apt-get install bindfs fuse3)";
    struct Case { const char* name; int signal; FaultyWriter::Fault fault; };
    const std::size_t halfWay = 54 + 120 * 10 + 5;
    const Case cases[] = {
        {"file size limit, SIGXFSZ at its default action", 0, {}},
        {"SIGTERM half way through the rows", SIGTERM, {Step::Write, halfWay, 0, SIGTERM}},
        {"SIGQUIT half way through the rows", SIGQUIT, {Step::Write, halfWay, 0, SIGQUIT}},
        {"SIGUSR1 before the commit", SIGUSR1, {Step::Commit, 0, 0, SIGUSR1}},
        {"SIGALRM after the headers", SIGALRM, {Step::Write, 54, 0, SIGALRM}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = mount.Folder();
        fs::remove_all(folder + "/Result");
        const std::string input = folder + "/p.bmp";
        WriteFile(input, testbmp::Page(40, 30));
        if (c.signal == 0) {
            EXPECT_EXIT(RunWithFileSizeLimit(input, 1000, false, false), testing::ExitedWithCode(1),
                        "CBmp24_::Save : can't write .*/Result/p.bmp: File too large\n");
        } else {
            EXPECT_EXIT(RunSignalledAt(input, c.fault), testing::KilledBySignal(c.signal), "");
        }
        EXPECT_EQ(Entries(folder + "/Result"), Names{});
    }
}

}  // namespace

#endif
