// The POSIX path operations the per-file job relies on; the Windows ones are
// tested in tests/windows.
#if !defined(_WIN32)

#include "platform/Path.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testsupport::TempDir;

TEST(Path, ExtensionFolderAndName) {
    struct Case { const char* path; const char* extension; const char* folder; const char* name; };
    const Case cases[] = {
        {"/pages/p1.bmp", ".bmp", "/pages", "p1.bmp"},
        {"pages/sub/scan.BMP", ".BMP", "pages/sub", "scan.BMP"},
        {"p1.bmp", ".bmp", ".", "p1.bmp"},
        {"./p1.bmp", ".bmp", ".", "p1.bmp"},
        {"/p1.bmp", ".bmp", "/", "p1.bmp"},
        {"//p1.bmp", ".bmp", "/", "p1.bmp"},
        {"a//p1.bmp", ".bmp", "a", "p1.bmp"},
        {"scan.bmp.bak", ".bak", ".", "scan.bmp.bak"},
        {"scan", "", ".", "scan"},
        {"dir.bmp/scan", "", "dir.bmp", "scan"},
        {"dir.v2/scan.", ".", "dir.v2", "scan."},
        {".bmp", ".bmp", ".", ".bmp"},
        {"pages/", "", "pages", ""},
        {"", "", ".", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::PathExtension(c.path), c.extension);
        EXPECT_EQ(platform::PathFolder(c.path), c.folder);
        EXPECT_EQ(platform::PathFileName(c.path), c.name);
    }
}

TEST(Path, JoinAddsOneSeparator) {
    EXPECT_EQ(platform::PathJoin("/pages", "Result"), "/pages/Result");
    EXPECT_EQ(platform::PathJoin(".", "Result"), "./Result");
    EXPECT_EQ(platform::PathJoin("/", "Result"), "/Result");
}

TEST(Path, MakeFoldersAndIsFolder) {
    TempDir dir;
    // Longer than any fixed 260-byte buffer would allow.
    std::string deep = dir.Path().string();
    for (int i = 0; i < 12; ++i) deep += "/folder-with-a-fairly-long-name-" + std::to_string(i);
    ASSERT_GT(deep.size(), 300u);
    EXPECT_FALSE(platform::IsFolder(deep));
    EXPECT_TRUE(platform::MakeFolders(deep));
    EXPECT_TRUE(platform::IsFolder(deep));
    EXPECT_TRUE(platform::MakeFolders(deep));  // already there

    const std::string file = dir / "file";
    testsupport::WriteFile(file, "x");
    EXPECT_FALSE(platform::IsFolder(file));
    EXPECT_FALSE(platform::MakeFolders(file + "/Result"));
    EXPECT_FALSE(platform::MakeFolders(file));
    EXPECT_FALSE(platform::IsFolder(dir / "missing"));

    std::filesystem::create_directory_symlink(deep, dir / "link");
    EXPECT_TRUE(platform::IsFolder(dir / "link"));
}

}  // namespace

#endif
