// The Windows path operations the per-file job relies on: the shell functions'
// answers, the backslash joins, the folder creator beyond MAX_PATH, and
// double-byte names whose second byte is a backslash.
#include "platform/Path.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

using testsupport::TempDir;

TEST(WindowsPath, ExtensionFolderAndName) {
    struct Case { const char* path; const char* extension; const char* folder; const char* name; };
    const Case cases[] = {
        {"D:\\pages\\p1.bmp", ".bmp", "D:\\pages", "p1.bmp"},
        {"pages\\sub\\scan.BMP", ".BMP", "pages\\sub", "scan.BMP"},
        {"p1.bmp", ".bmp", ".", "p1.bmp"},
        {".\\p1.bmp", ".bmp", ".", "p1.bmp"},
        {"\\p1.bmp", ".bmp", "\\", "p1.bmp"},
        {"D:\\p1.bmp", ".bmp", "D:\\", "p1.bmp"},
        {"D:p1.bmp", ".bmp", "D:.", "p1.bmp"},
        {"\\\\server\\share\\p1.bmp", ".bmp", "\\\\server\\share", "p1.bmp"},
        {"a\\\\p1.bmp", ".bmp", "a\\", "p1.bmp"},
        {"pages/sub/scan.bmp", ".bmp", "pages\\sub", "scan.bmp"},
        {"D:/pages\\p1.bmp", ".bmp", "D:\\pages", "p1.bmp"},
        {"my scans\\page 1.bmp", ".bmp", "my scans", "page 1.bmp"},
        {"scan.bmp.bak", ".bak", ".", "scan.bmp.bak"},
        {"scan", "", ".", "scan"},
        {"dir.bmp\\scan", "", "dir.bmp", "scan"},
        {"dir.bmp/scan", "", "dir.bmp", "scan"},
        {"dir.v2\\scan.", ".", "dir.v2", "scan."},
        {".bmp", ".bmp", ".", ".bmp"},
        {"", "", ".", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::PathExtension(c.path), c.extension);
        EXPECT_EQ(platform::PathFolder(c.path), c.folder);
        EXPECT_EQ(platform::PathFileName(c.path), c.name);
    }
}

TEST(WindowsPath, JoinAddsOneBackslash) {
    struct Case { const char* folder; const char* joined; };
    const Case cases[] = {
        {"D:\\pages", "D:\\pages\\Result"},
        {".", ".\\Result"},
        {"\\", "\\Result"},
        {"D:\\", "D:\\Result"},
        {"D:.", "D:.\\Result"},
        {"a\\", "a\\Result"},
        {"\\\\server\\share", "\\\\server\\share\\Result"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(platform::PathJoin(c.folder, "Result"), c.joined);
    }
}

TEST(WindowsPath, MakeFoldersAndIsFolder) {
    TempDir dir;
    const std::string root = dir.Path().string();

    const std::string nested = root + "\\one/two\\three";
    EXPECT_FALSE(platform::IsFolder(nested));
    EXPECT_TRUE(platform::MakeFolders(nested));
    EXPECT_TRUE(std::filesystem::is_directory(root + "\\one\\two\\three"));
    EXPECT_TRUE(platform::MakeFolders(nested + "\\"));  // already there, trailing backslash

    // Beyond MAX_PATH, where the ANSI calls stop.
    std::string deep = root;
    for (int i = 0; i < 12; ++i) deep += "\\folder-with-a-fairly-long-name-" + std::to_string(i);
    ASSERT_GT(deep.size(), 300u);
    EXPECT_FALSE(platform::IsFolder(deep));
    EXPECT_TRUE(platform::MakeFolders(deep));
    EXPECT_TRUE(platform::IsFolder(deep));
    EXPECT_TRUE(platform::IsFolder(deep.substr(0, deep.rfind('\\'))));
    EXPECT_TRUE(platform::MakeFolders(deep));

    const std::string file = root + "\\file";
    testsupport::WriteFile(file, "x");
    EXPECT_FALSE(platform::IsFolder(file));
    EXPECT_FALSE(platform::MakeFolders(file + "\\Result"));
    EXPECT_FALSE(platform::MakeFolders(file));
    EXPECT_FALSE(platform::IsFolder(root + "\\missing"));
    EXPECT_FALSE(platform::IsFolder(""));
}

// In code page 932 the second byte of a double-byte character may be 0x5C, the
// backslash: "\x95\x5C" is one character, not a name ending in a separator.
TEST(WindowsPath, Cp932NamesWhoseSecondByteIsABackslash) {
    if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    const std::string name = "\x95\x5C";
    EXPECT_EQ(platform::PathJoin(name, "Result"), name + "\\Result");
    EXPECT_EQ(platform::PathFolder(name + "\\p1.bmp"), name);
    EXPECT_EQ(platform::PathFileName(name + "\\p1.bmp"), "p1.bmp");
    EXPECT_EQ(platform::PathFileName("a\\" + name + ".bmp"), name + ".bmp");
    EXPECT_EQ(platform::PathExtension("a\\" + name + ".bmp"), ".bmp");

    TempDir dir;
    const std::string folder = dir.Path().string() + "\\" + name + "\\" + name;
    EXPECT_TRUE(platform::MakeFolders(folder));
    EXPECT_TRUE(platform::IsFolder(folder));
    // One folder at each level: nothing was split at a 0x5C byte.
    const auto entries = [](const std::filesystem::path& where) {
        return std::distance(std::filesystem::directory_iterator(where), std::filesystem::directory_iterator());
    };
    EXPECT_EQ(entries(dir.Path()), 1);
    EXPECT_EQ(entries(dir.Path() / L"\u8868"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / L"\u8868" / L"\u8868"));
}

}  // namespace
