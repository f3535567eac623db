// The per-file job given a page on a drive letter; the cases both platforms
// share, in their Windows forms too, are in tests/app/process_file_test.cpp.
#include "app/job_run.h"
#include "app/ProcessFile.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "support/temp_dir.h"
#include "windows/drive_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

using testjob::Progress;
using testjob::JobRun;
using testjob::Process;

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
    EXPECT_EQ(std::distance(fs::directory_iterator(book.Path() + "\\Result"), {}), 1);
}

}  // namespace
