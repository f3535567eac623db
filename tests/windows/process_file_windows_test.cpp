// The per-file job with Windows paths: a page on a drive letter, the name checks,
// a bare name, a missing file, a file named Result and a path beyond MAX_PATH.
#include "app/job_run.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "platform/Path.h"
#include "support/temp_dir.h"
#include "windows/drive_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

using testjob::Progress;
using testjob::JobRun;
using testjob::Process;

std::size_t FilesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(WindowsProcessFile, PageOnADriveGoesToResultBesideItAndReplacesEarlierOutput) {
    const testwin::DriveFolder book("book");
    if (!book.Ok()) GTEST_SKIP() << "WHITEN_TEST_DRIVE names no drive set aside for tests";
    const std::string input = book.Path() + "\\p1.bmp";  // D:\book\p1.bmp
    WriteFile(input, testbmp::Page(5, 3));

    const JobRun first = Process(input);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.printed, Progress(book.Path() + "\\Result", "p1.bmp"));
    EXPECT_EQ(ReadFile(book.Path() + "\\Result\\p1.bmp"), testbmp::WhitenedReference(testbmp::Page(5, 3)));

    WriteFile(input, testbmp::Page(2, 2));
    EXPECT_EQ(Process(input).result, 0);
    EXPECT_EQ(ReadFile(book.Path() + "\\Result\\p1.bmp").size(), 54u + 2 * 8);
    EXPECT_EQ(FilesIn(book.Path() + "\\Result"), 1u);
}

TEST(WindowsProcessFile, OnlyBmpNamesInAnyCaseAreTaken) {
    struct Case { const char* name; int result; };
    const Case cases[] = {
        {"scan.BMP", 0}, {"scan.Bmp", 0}, {"scan.bmp", 0},
        {"scan.bmp.bak", 2}, {"scan.png", 2}, {"scan", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = dir.Path().string();
        WriteFile(folder + "\\" + c.name, testbmp::Page(3, 2));
        const JobRun run = Process(folder + "\\" + c.name);
        EXPECT_EQ(run.result, c.result);
        if (c.result == 0) {
            EXPECT_EQ(run.printed, Progress(folder + "\\Result", c.name));
            EXPECT_TRUE(fs::is_regular_file(folder + "\\Result\\" + c.name));
        } else {
            EXPECT_EQ(run.printed, "");
            EXPECT_FALSE(fs::exists(folder + "\\Result"));
        }
    }
}

TEST(WindowsProcessFile, BareNameGoesToResultInTheCurrentFolder) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    WriteFile("p1.bmp", testbmp::Page(3, 2));
    const JobRun run = Process("p1.bmp");
    fs::current_path(previous);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, Progress(".\\Result", "p1.bmp"));
    EXPECT_TRUE(fs::is_regular_file(dir / "Result\\p1.bmp"));
}

TEST(WindowsProcessFile, RefusalsAndTheMissingResultFolder) {
    TempDir dir;
    const std::string folder = dir.Path().string();
    WriteFile(folder + "\\gray8.bmp", testbmp::Page(3, 2, 8));
    const JobRun gray = Process(folder + "\\gray8.bmp");
    EXPECT_EQ(gray.result, 2);
    EXPECT_EQ(gray.printed, Progress(folder + "\\Result", "gray8.bmp") + "File type is NOT Bmp24!\n");

    fs::create_directory(folder + "\\blocked");
    WriteFile(folder + "\\blocked\\Result", "a plain file where the folder should be");
    WriteFile(folder + "\\blocked\\p1.bmp", testbmp::Page(3, 2));
    const JobRun blocked = Process(folder + "\\blocked\\p1.bmp");
    EXPECT_EQ(blocked.result, 1);
    EXPECT_EQ(blocked.printed, Progress(folder + "\\blocked\\Result", "p1.bmp") + "TargetPath " + folder +
                                   "\\blocked\\Result is NOT exist\n");
}

TEST(WindowsProcessFile, MissingFileEndsTheRunWithItsError) {
    TempDir dir;
    const std::string missing = dir.Path().string() + "\\missing.bmp";
    try {
        Process(missing);
        ADD_FAILURE() << "no error for a missing file";
    } catch (const std::string& message) {
        // The system's reason follows; its wording is the system's (or wine's) own.
        const std::string start = "CBmp24_::IsThisType : can't open " + missing + ": ";
        EXPECT_EQ(message.substr(0, start.size()), start);
        EXPECT_GT(message.size(), start.size());
    }
    EXPECT_TRUE(fs::is_directory(dir / "Result"));
}

TEST(WindowsProcessFile, PathsLongerThanMaxPathWork) {
    TempDir dir;
    std::string folder = dir.Path().string();
    for (int i = 0; i < 8; ++i) folder += "\\a-folder-name-of-some-forty-characters-" + std::to_string(i);
    ASSERT_TRUE(platform::MakeFolders(folder));
    const std::string input = folder + "\\p1.bmp";
    ASSERT_GT(input.size(), 300u);
    WriteFile(input, testbmp::Page(3, 2));
    const JobRun run = Process(input);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.printed, Progress(folder + "\\Result", "p1.bmp"));
    EXPECT_EQ(ReadFile(folder + "\\Result\\p1.bmp"), testbmp::WhitenedReference(testbmp::Page(3, 2)));
}

}  // namespace
