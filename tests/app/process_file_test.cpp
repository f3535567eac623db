// The per-file job in process: name checks, the Result folder, printed lines,
// result codes, refusals of broken files and the errors that end a run, with
// the paths in the platform's own form. A page on a drive letter is in
// tests/windows.
#include "app/job_run.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "platform/Path.h"
#include "support/native_path.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#if !defined(_WIN32)
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::IsMessageWithReason;
using testsupport::Native;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

using testjob::Progress;
using testjob::JobRun;
using testjob::Process;

TEST(ProcessFile, OnlyBmpNamesInAnyCaseAreTaken) {
    struct Case { const char* name; int result; };
    const Case cases[] = {
        {"scan.BMP", 0}, {"scan.Bmp", 0}, {"scan.bmp", 0},
        {"scan.bmp.bak", 2}, {"scan.png", 2}, {"scan", 2}, {"dir.bmp/scan", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "dir.bmp");
        const std::string path = Native(dir / c.name);
        WriteFile(path, testbmp::Page(3, 2));
        const JobRun run = Process(path);
        EXPECT_EQ(run.result, c.result);
        const std::string folder = fs::path(path).parent_path().string();
        if (c.result == 0) {
            EXPECT_EQ(run.printed, Progress(Native(folder + "/Result"), c.name));
            EXPECT_TRUE(fs::is_regular_file(folder + "/Result/" + c.name));
        } else {
            EXPECT_EQ(run.printed, "");
            EXPECT_FALSE(fs::exists(folder + "/Result"));
        }
    }
}

TEST(ProcessFile, WritesThePageIntoResultBesideItAndReplacesEarlierOutput) {
    TempDir dir;
    const std::string input = dir / "pages/p1.bmp";
    fs::create_directory(dir / "pages");
    WriteFile(input, testbmp::Page(5, 3));
    const JobRun first = Process(input);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.printed, Progress(Native(dir / "pages/Result"), "p1.bmp"));
    const std::string output = dir / "pages/Result/p1.bmp";
    EXPECT_EQ(ReadFile(output), testbmp::WhitenedReference(testbmp::Page(5, 3)));

    WriteFile(input, testbmp::Page(2, 2));
    EXPECT_EQ(Process(input).result, 0);
    EXPECT_EQ(ReadFile(output).size(), 54u + 2 * 8);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "pages/Result"), fs::directory_iterator()), 1);
}

TEST(ProcessFile, BareNameGoesToResultInTheCurrentFolder) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    WriteFile("p1.bmp", testbmp::Page(3, 2));
    const JobRun run = Process("p1.bmp");
    fs::current_path(previous);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, Progress(Native("./Result"), "p1.bmp"));
    EXPECT_TRUE(fs::is_regular_file(dir / "Result/p1.bmp"));
}

TEST(ProcessFile, PathsLongerThan260BytesWork) {
    TempDir dir;
    std::string folder = dir.Path().string();
    for (int i = 0; i < 8; ++i) folder += Native("/a-folder-name-of-some-forty-characters-") + std::to_string(i);
    ASSERT_FALSE(platform::MakeFolders(folder));
    const std::string input = folder + Native("/p1.bmp");
    ASSERT_GT(input.size(), 300u);
    WriteFile(input, testbmp::Page(3, 2));
    const JobRun run = Process(input);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, Progress(folder + Native("/Result"), "p1.bmp"));
    EXPECT_EQ(ReadFile(folder + Native("/Result/p1.bmp")), testbmp::WhitenedReference(testbmp::Page(3, 2)));
}

TEST(ProcessFile, RefusedFilesGiveTheirLineAndResultTwo) {
    struct Case { const char* name; std::string bytes; const char* line; };
    const Case cases[] = {
        {"8-bit", testbmp::Page(3, 2, 8), "File type is NOT Bmp24!\n"},
        {"32-bit", testbmp::Page(3, 2, 32), "File type is NOT Bmp24!\n"},
        {"empty file", "", "File is broken: file is shorter than its headers\n"},
        {"truncated rows", testbmp::Page(3, 2).substr(0, 70), "File is broken: pixel data is truncated\n"},
        {"width 0", testbmp::Headers(0, 2, 24) + std::string(24, '\0'), "File is broken: width or height is not positive\n"},
        {"huge header, tiny file", testbmp::Headers(1 << 20, (1 << 10) - 1, 24) + std::string(24, '\0'),
         "File is broken: pixel data is truncated\n"},
        {"offset past the end", testbmp::Headers(3, 2, 24, 5000) + std::string(24, '\0'),
         "File is broken: pixel data offset is beyond the end of the file\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "in.bmp", c.bytes);
        const JobRun run = Process(dir / "in.bmp");
        EXPECT_EQ(run.result, 2);
        EXPECT_EQ(run.printed, Progress(dir / "Result", "in.bmp") + c.line);
        EXPECT_TRUE(fs::is_directory(dir / "Result"));
        EXPECT_TRUE(fs::is_empty(dir / "Result"));
    }
}

TEST(ProcessFile, UnusualLayoutsComeOutAsTheirPlainTwin) {
    TempDir dir;
    WriteFile(dir / "plain.bmp", testbmp::Page(5, 4));
    WriteFile(dir / "down.bmp", testbmp::Headers(5, -4, 24) + testbmp::Rows(5, 4, 3, true));
    WriteFile(dir / "v5.bmp", testbmp::Headers(5, 4, 24, 138, 124) + std::string(84, '\x55') + testbmp::Rows(5, 4, 3));
    for (const char* name : {"plain.bmp", "down.bmp", "v5.bmp"}) EXPECT_EQ(Process(dir / name).result, 0) << name;
    const std::string plain = ReadFile(dir / "Result/plain.bmp");
    EXPECT_EQ(ReadFile(dir / "Result/down.bmp"), plain);
    EXPECT_EQ(ReadFile(dir / "Result/v5.bmp"), plain);
}

TEST(ProcessFile, MissingResultFolderGivesResultOne) {
    TempDir dir;
    WriteFile(dir / "Result", "a plain file where the folder should be");
    WriteFile(dir / "p1.bmp", testbmp::Page(3, 2));
    const JobRun run = Process(dir / "p1.bmp");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.printed, Progress(dir / "Result", "p1.bmp") + "TargetPath " + (dir / "Result") + " is NOT exist\n");
}

TEST(ProcessFile, ErrorsThatEndTheRunAreThrown) {
    TempDir dir;
    const std::string missing = dir / "missing.bmp";
    try {
        Process(missing);
        ADD_FAILURE() << "no error for a missing file";
    } catch (const std::string& message) {
        EXPECT_TRUE(IsMessageWithReason(message, "CBmp24_::IsThisType : can't open " + missing,
                                        "No such file or directory"))
            << message;
    }
    EXPECT_TRUE(fs::is_directory(dir / "Result"));

    // An output name taken by a non-empty folder cannot be replaced.
    WriteFile(dir / "p1.bmp", testbmp::Page(3, 2));
    fs::create_directories(dir / "Result/p1.bmp/keep");
    try {
        Process(dir / "p1.bmp");
        ADD_FAILURE() << "no error for an unwritable output";
    } catch (const std::string& message) {
        EXPECT_TRUE(IsMessageWithReason(message, "CBmp24_::Save : can't write " + Native(dir / "Result/p1.bmp"),
                                        "Is a directory"))
            << message;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Result"), fs::directory_iterator()), 1);
}

#if !defined(_WIN32)
// The superuser is not bound by permissions: its folder is made read-only by
// a read-only bind mount over it, in a mount namespace of a child process.
// The child's exit status: 0 refused with nothing left, 1 not refused, 125 no namespace.
int ProcessUnderReadOnlyMount(const std::string& page, const std::string& folder) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            _exit(125);
        try {
            Process(page);
        } catch (const std::string&) {
            _exit(0);
        }
        _exit(1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProcessFile, ReadOnlyResultFolderLeavesNothingBehind) {
    TempDir dir;
    WriteFile(dir / "p1.bmp", testbmp::Page(3, 2));
    fs::create_directory(dir / "Result");
    fs::permissions(dir / "Result", fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() == 0) {
        const int status = ProcessUnderReadOnlyMount(dir / "p1.bmp", dir / "Result");
        if (status == 125) GTEST_SKIP() << "needs a mount namespace (root or CAP_SYS_ADMIN) for a read-only folder";
        EXPECT_EQ(status, 0) << "the save into a read-only folder was not refused";
    } else {
        EXPECT_THROW(Process(dir / "p1.bmp"), std::string);
    }
    EXPECT_TRUE(fs::is_empty(dir / "Result"));
}
#endif

}  // namespace
