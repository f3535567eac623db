// The path operations the per-file job relies on, each case in its POSIX and its
// Windows form; the Windows-only behaviours (mixed separators when making
// folders, double-byte names) are in tests/windows.
#include "platform/Path.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testsupport::TempDir;

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A case's text on each platform (the same on both unless given); null where
// the case does not exist there.
struct Form {
    const char* posix;
    const char* windows = posix;
    const char* Here() const { return kWindows ? windows : posix; }
};

TEST(Path, ExtensionFolderAndName) {
    struct Case { Form path; const char* extension; Form folder; const char* name; };
    const Case cases[] = {
        {{"/pages/p1.bmp", "D:\\pages\\p1.bmp"}, ".bmp", {"/pages", "D:\\pages"}, "p1.bmp"},
        {{"pages/sub/scan.BMP", "pages\\sub\\scan.BMP"}, ".BMP", {"pages/sub", "pages\\sub"}, "scan.BMP"},
        {{"p1.bmp"}, ".bmp", {"."}, "p1.bmp"},
        {{"./p1.bmp", ".\\p1.bmp"}, ".bmp", {"."}, "p1.bmp"},
        {{"/p1.bmp", "\\p1.bmp"}, ".bmp", {"/", "\\"}, "p1.bmp"},
        {{"//p1.bmp", nullptr}, ".bmp", {"/", nullptr}, "p1.bmp"},
        {{nullptr, "D:\\p1.bmp"}, ".bmp", {nullptr, "D:\\"}, "p1.bmp"},
        {{nullptr, "D:p1.bmp"}, ".bmp", {nullptr, "D:."}, "p1.bmp"},
        {{nullptr, "\\\\server\\share\\p1.bmp"}, ".bmp", {nullptr, "\\\\server\\share"}, "p1.bmp"},
        {{"a//p1.bmp", "a\\\\p1.bmp"}, ".bmp", {"a", "a\\"}, "p1.bmp"},
        {{nullptr, "pages/sub/scan.bmp"}, ".bmp", {nullptr, "pages\\sub"}, "scan.bmp"},
        {{nullptr, "D:/pages\\p1.bmp"}, ".bmp", {nullptr, "D:\\pages"}, "p1.bmp"},
        {{"my scans/page 1.bmp", "my scans\\page 1.bmp"}, ".bmp", {"my scans"}, "page 1.bmp"},
        {{"scan.bmp.bak"}, ".bak", {"."}, "scan.bmp.bak"},
        {{"scan"}, "", {"."}, "scan"},
        {{"dir.bmp/scan", "dir.bmp\\scan"}, "", {"dir.bmp"}, "scan"},
        {{nullptr, "dir.bmp/scan"}, "", {nullptr, "dir.bmp"}, "scan"},
        {{"dir.v2/scan.", "dir.v2\\scan."}, ".", {"dir.v2"}, "scan."},
        {{".bmp"}, ".bmp", {"."}, ".bmp"},
        {{"pages/", nullptr}, "", {"pages", nullptr}, ""},
        {{""}, "", {"."}, ""},
    };
    for (const Case& c : cases) {
        if (c.path.Here() == nullptr) continue;
        SCOPED_TRACE(c.path.Here());
        EXPECT_EQ(platform::PathExtension(c.path.Here()), c.extension);
        EXPECT_EQ(platform::PathFolder(c.path.Here()), c.folder.Here());
        EXPECT_EQ(platform::PathFileName(c.path.Here()), c.name);
    }
}

TEST(Path, JoinAddsOneSeparator) {
    struct Case { Form folder; Form joined; };
    const Case cases[] = {
        {{"/pages", "D:\\pages"}, {"/pages/Result", "D:\\pages\\Result"}},
        {{"."}, {"./Result", ".\\Result"}},
        {{"/", "\\"}, {"/Result", "\\Result"}},
        {{nullptr, "D:\\"}, {nullptr, "D:\\Result"}},
        {{nullptr, "D:."}, {nullptr, "D:.\\Result"}},
        {{nullptr, "a\\"}, {nullptr, "a\\Result"}},
        {{nullptr, "\\\\server\\share"}, {nullptr, "\\\\server\\share\\Result"}},
    };
    for (const Case& c : cases) {
        if (c.folder.Here() == nullptr) continue;
        SCOPED_TRACE(c.folder.Here());
        EXPECT_EQ(platform::PathJoin(c.folder.Here(), "Result"), c.joined.Here());
    }
}

TEST(Path, MakeFoldersAndIsFolder) {
    TempDir dir;
    const std::string root = dir.Path().string();
    const std::string separator = kWindows ? "\\" : "/";
    // Longer than any fixed 260-byte buffer (MAX_PATH) would allow.
    std::string deep = root;
    for (int i = 0; i < 12; ++i) deep += separator + "folder-with-a-fairly-long-name-" + std::to_string(i);
    ASSERT_GT(deep.size(), 300u);
    EXPECT_FALSE(platform::IsFolder(deep));
    EXPECT_FALSE(platform::MakeFolders(deep));  // no error
    EXPECT_TRUE(platform::IsFolder(deep));
    EXPECT_TRUE(platform::IsFolder(deep.substr(0, deep.rfind(separator))));
    EXPECT_FALSE(platform::MakeFolders(deep));  // already there

    const std::string file = root + separator + "file";
    testsupport::WriteFile(file, "x");
    EXPECT_FALSE(platform::IsFolder(file));
    // A file in the way: the system's error says why the folder is not there.
    EXPECT_TRUE(platform::MakeFolders(file + separator + "Result"));
    EXPECT_TRUE(platform::MakeFolders(file));
#if !defined(_WIN32)
    EXPECT_EQ(platform::MakeFolders(file + separator + "Result"), std::errc::not_a_directory);
    EXPECT_EQ(platform::MakeFolders(file), std::errc::not_a_directory);
#endif
    EXPECT_FALSE(platform::IsFolder(root + separator + "missing"));
    EXPECT_FALSE(platform::IsFolder(""));
#if !defined(_WIN32)
    std::filesystem::create_directory_symlink(deep, dir / "link");
    EXPECT_TRUE(platform::IsFolder(dir / "link"));
#endif
}

}  // namespace
