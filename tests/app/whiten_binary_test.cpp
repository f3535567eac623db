// End-to-end runs of the built `whiten` binary in temporary folders: usage bytes
// per locale, a mixed argument list, a stopped run and errors that end a run,
// with paths and lines in the platform's own form. Each run that processes
// files pauses for real, so the runs are few and each checks several things.
// The usage text per console code page and a drive letter are in tests/windows.
#include "app/job_run.h"
#include "app/UsageText.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "support/native_path.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::IsMessageWithReason;
using testsupport::Native;
using testsupport::NativeLines;
using testsupport::ReadFile;
using testsupport::RunWhiten;
using testsupport::TempDir;
using testsupport::WriteFile;

using testjob::Progress;

#if !defined(_WIN32)
TEST(WhitenBinary, UsageTextBytesFollowTheLocale) {
    struct Case { const char* name; std::vector<std::string> env; std::vector<std::string> args; std::string_view text; };
    const Case cases[] = {
        {"C locale, no arguments", {"LANG=C"}, {}, UsageTextCp932()},
        {"no locale set, lone ?", {}, {"?", "a.bmp"}, UsageTextCp932()},
        {"UTF-8 locale, -h", {"LANG=C.UTF-8"}, {"-h", "a.bmp"}, UsageTextUtf8()},
        {"LC_ALL overrides LANG", {"LANG=C.UTF-8", "LC_ALL=C"}, {"-x"}, UsageTextCp932()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
        const auto run = RunWhiten(c.args, dir.Path().string(), c.env);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.out, std::string(c.text));
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(fs::exists(dir / "Result"));
        EXPECT_LT(run.seconds, 5.0);  // no pause after the usage text
    }
}
#endif

#if !defined(_WIN32)
// Runs the binary in `workDir` with standard output on /dev/full, or on a pipe
// whose reader has gone, SIGPIPE at its default action; gives the wait status
// and standard error.
std::pair<int, std::string> RunWithBrokenOutput(const std::vector<std::string>& args, const std::string& workDir,
                                                bool closedPipe) {
    TempDir errDir;
    const std::string errPath = errDir / "err";
    int out[2] = {-1, -1};
    if (closedPipe) {
        EXPECT_EQ(pipe(out), 0);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int full = closedPipe ? out[1] : open("/dev/full", O_WRONLY);
        if (closedPipe) close(out[0]);
        if (err < 0 || full < 0 || dup2(full, 1) < 0 || dup2(err, 2) < 0 || chdir(workDir.c_str()) != 0) _exit(126);
        signal(SIGPIPE, SIG_DFL);
        std::vector<char*> argv{const_cast<char*>(WHITEN_BINARY)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(WHITEN_BINARY, argv.data());
        _exit(127);
    }
    if (closedPipe) {
        close(out[0]);
        close(out[1]);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return {status, ReadFile(errPath)};
}

// Lines that cannot be written make the run fail at its end, with one line on
// standard error, as the standard tools do; the pages are still whitened. A
// closed pipe ends the run by SIGPIPE at the first line, without a word.
TEST(WhitenBinary, StandardOutputThatCannotBeWritten) {
    struct Case { const char* name; std::vector<std::string> args; bool closedPipe; int signal; std::string err; };
    const std::string full = "whiten: write error: No space left on device\n";
    const Case cases[] = {
        {"usage text into /dev/full", {}, false, 0, full},
        {"progress lines into /dev/full", {"a.bmp", "b.bmp"}, false, 0, full},
        {"closed pipe", {"a.bmp", "b.bmp"}, true, SIGPIPE, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
        WriteFile(dir / "b.bmp", testbmp::Page(4, 3));
        const auto [status, err] = RunWithBrokenOutput(c.args, dir.Path().string(), c.closedPipe);
        EXPECT_EQ(err, c.err);
        if (c.signal != 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
            EXPECT_FALSE(fs::exists(dir / "Result/a.bmp"));
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
            EXPECT_EQ(fs::exists(dir / "Result/b.bmp"), !c.args.empty());
        }
    }
}
#endif

TEST(WhitenBinary, MixedArgumentsRunInOrderAndPauseOnce) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
    WriteFile(dir / "notes.txt", "not a page");
    WriteFile(dir / "gray8.bmp", testbmp::Page(3, 2, 8));
    WriteFile(dir / "sub/b.BMP", testbmp::Page(4, 3));
    WriteFile(dir / "broken.bmp", testbmp::Page(3, 2).substr(0, 60));
    WriteFile(dir / "c.bmp", testbmp::Page(1, 1));
    const auto run = RunWhiten(
        {"a.bmp", "notes.txt", "gray8.bmp", Native("sub/b.BMP"), "broken.bmp", "-later", Native("./c.bmp")},
        dir.Path().string(), {"LANG=C"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    const std::string here = Native("./Result");
    EXPECT_EQ(run.out, NativeLines(Progress(here, "a.bmp") + Progress(here, "gray8.bmp") +
                                   "File type is NOT Bmp24!\n" + Progress(Native("sub/Result"), "b.BMP") +
                                   Progress(here, "broken.bmp") + "File is broken: pixel data is truncated\n" +
                                   Progress(here, "c.bmp")));
    EXPECT_EQ(ReadFile(dir / "Result/a.bmp"), testbmp::WhitenedReference(testbmp::Page(3, 2)));
    EXPECT_EQ(ReadFile(dir / "sub/Result/b.BMP"), testbmp::WhitenedReference(testbmp::Page(4, 3)));
    EXPECT_EQ(ReadFile(dir / "Result/c.bmp").size(), 58u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Result"), fs::directory_iterator()), 2);
    EXPECT_GE(run.seconds, 5.0);  // one closing pause
    EXPECT_LT(run.seconds, 10.0);
}

TEST(WhitenBinary, MissingResultFolderStopsTheRunAndPausesTwice) {
    TempDir dir;
    fs::create_directory(dir / "blocked");
    WriteFile(dir / "blocked/Result", "a file, not a folder");
    WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
    WriteFile(dir / "blocked/x.bmp", testbmp::Page(3, 2));
    WriteFile(dir / "c.bmp", testbmp::Page(3, 2));
    const auto run = RunWhiten({"a.bmp", Native("blocked/x.bmp"), "c.bmp"}, dir.Path().string(), {"LANG=C"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, NativeLines(Progress(Native("./Result"), "a.bmp") + Progress(Native("blocked/Result"), "x.bmp") +
                                   "TargetPath " + Native("blocked/Result") + " is NOT exist\n"));
    const std::string lineEnd = NativeLines("\n");
    ASSERT_GE(run.err.size(), lineEnd.size());
    EXPECT_TRUE(IsMessageWithReason(run.err.substr(0, run.err.size() - lineEnd.size()),
                                    "TargetPath " + Native("blocked/Result") + " is NOT exist", "Not a directory"))
        << run.err;
    EXPECT_TRUE(fs::exists(dir / "Result/a.bmp"));
    EXPECT_FALSE(fs::exists(dir / "Result/c.bmp"));
    EXPECT_GE(run.seconds, 10.0);  // the stop's pause and the closing one
}

TEST(WhitenBinary, ErrorsEndTheRunWithOneLineAndStatusOne) {
    struct Case { const char* name; std::string failing; std::string message; std::string posixReason; };
    const Case cases[] = {
        {"input missing", "missing.bmp", "CBmp24_::IsThisType : can't open missing.bmp", "No such file or directory"},
        {"output cannot be written", "b.bmp", "CBmp24_::Save : can't write " + Native("./Result/b.bmp"), "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
        WriteFile(dir / "b.bmp", testbmp::Page(3, 2));
        WriteFile(dir / "c.bmp", testbmp::Page(3, 2));
        fs::create_directories(dir / "Result/b.bmp/in-the-way");  // a folder where b's output should go
        const auto run = RunWhiten({"a.bmp", c.failing, "c.bmp"}, dir.Path().string(), {"LANG=C"});
        EXPECT_EQ(run.exitStatus, 1);
        const std::string lineEnd = NativeLines("\n");
        ASSERT_GE(run.err.size(), lineEnd.size());
        EXPECT_EQ(run.err.substr(run.err.size() - lineEnd.size()), lineEnd);
        EXPECT_TRUE(IsMessageWithReason(run.err.substr(0, run.err.size() - lineEnd.size()), c.message, c.posixReason))
            << run.err;
        EXPECT_EQ(run.out, NativeLines(Progress(Native("./Result"), "a.bmp") + Progress(Native("./Result"), c.failing)));
        EXPECT_TRUE(fs::exists(dir / "Result/a.bmp"));
        EXPECT_FALSE(fs::exists(dir / "Result/c.bmp"));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Result"), fs::directory_iterator()), 2);
        EXPECT_LT(run.seconds, 5.0);  // no closing pause
    }
}

}  // namespace
