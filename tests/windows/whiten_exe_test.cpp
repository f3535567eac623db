// End-to-end runs of whiten.exe that only Windows has: the usage text in the
// console's code page, a page on a drive letter and double-byte names; the runs
// both platforms share are in tests/app/whiten_binary_test.cpp. Lines reach a
// pipe through the C runtime's text mode, so each ends in CR LF.
#include "app/UsageText.h"

#include "app/reference_page.h"
#include "app/test_bmp_files.h"
#include "platform/Path.h"
#include "platform/WindowsPath.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"
#include "windows/drive_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunWhiten;
using testsupport::TempDir;
using testsupport::WriteFile;

std::string Line(const std::string& text) { return text + "\r\n"; }

std::string Progress(const std::string& folder, const std::string& name) {
    return Line("strTargetFolder = " + folder + ", strTargetFileName = " + name);
}

// Gives this process a console with the given output code page while it lives,
// for children to inherit; this process's own standard handles are kept.
class ConsoleCodePage {
public:
    explicit ConsoleCodePage(UINT codePage) {
        const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        if (GetConsoleOutputCP() == 0) allocated_ = AllocConsole() != FALSE;
        SetStdHandle(STD_INPUT_HANDLE, in);
        SetStdHandle(STD_OUTPUT_HANDLE, out);
        SetStdHandle(STD_ERROR_HANDLE, err);
        previous_ = GetConsoleOutputCP();
        ok_ = SetConsoleOutputCP(codePage) != FALSE && GetConsoleOutputCP() == codePage;
    }
    ~ConsoleCodePage() {
        if (previous_ != 0) SetConsoleOutputCP(previous_);
        if (allocated_) FreeConsole();
    }
    ConsoleCodePage(const ConsoleCodePage&) = delete;
    ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;

    bool Ok() const { return ok_; }

private:
    bool allocated_ = false;
    bool ok_ = false;
    UINT previous_ = 0;
};

TEST(WhitenExe, UsageTextFollowsTheConsoleCodePage) {
    struct Case { const char* name; UINT codePage; std::vector<std::string> args; std::string_view text; };
    const Case cases[] = {
        {"console in code page 932, no arguments", 932, {}, UsageTextCp932()},
        {"console in UTF-8, -h", CP_UTF8, {"-h", "a.bmp"}, UsageTextUtf8()},
        {"console in code page 437, lone ?", 437, {"?"}, UsageTextCp932()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", testbmp::Page(3, 2));
        const ConsoleCodePage console(c.codePage);
        if (!console.Ok()) GTEST_SKIP() << "no console whose code page can be set";
        const auto run = RunWhiten(c.args, dir.Path().string());
        EXPECT_EQ(run.exitStatus, 0);
        std::string expected(c.text);
        expected.insert(expected.size() - 1, "\r");
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(run.err, "");
        EXPECT_FALSE(fs::exists(dir / "Result"));
    }
}

TEST(WhitenExe, UsageTextWithoutAConsoleIsTheStoredBytes) {
    if (GetConsoleOutputCP() != 0) GTEST_SKIP() << "this process has a console";
    TempDir dir;
    const auto run = RunWhiten({}, dir.Path().string());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, std::string(UsageTextCp932()).insert(141, "\r"));
}

TEST(WhitenExe, PageOnADrive) {
    const testwin::DriveFolder pages("pages");
    if (!pages.Ok()) GTEST_SKIP() << "WHITEN_TEST_DRIVE names no drive set aside for tests";
    TempDir dir;
    WriteFile(pages.Path() + "\\p1.bmp", testbmp::Page(5, 3));
    const auto run = RunWhiten({pages.Path() + "\\p1.bmp"}, dir.Path().string());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Progress(pages.Path() + "\\Result", "p1.bmp"));
    EXPECT_EQ(ReadFile(pages.Path() + "\\Result\\p1.bmp"), testbmp::WhitenedReference(testbmp::Page(5, 3)));
}

// Runs with the ANSI code page 932 only (.ci/windows runs it so under wine):
// 表 is 95 5C and ソ is 83 5C, both ending in the byte of the backslash.
TEST(WhitenExe, Cp932NamesWhoseSecondByteIsABackslash) {
    if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    platform::UseAnsiCodePageForPaths();
    const std::string folder = "\x95\x5C";
    const std::string name = "\x83\x5C.bmp";
    TempDir dir;
    const std::string root = dir.Path().string();
    ASSERT_FALSE(platform::MakeFolders(root + "\\" + folder));
    WriteFile(root + "\\" + folder + "\\" + name, testbmp::Page(3, 2));
    const auto run = RunWhiten({folder + "\\" + name}, root);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, Progress(folder + "\\Result", name));
    EXPECT_EQ(ReadFile(root + "\\" + folder + "\\Result\\" + name), testbmp::WhitenedReference(testbmp::Page(3, 2)));
}

}  // namespace
