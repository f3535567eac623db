// The Windows-only path behaviours: folders made through either separator, and
// double-byte names whose second byte is a backslash.
#include "platform/Path.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace {

using testsupport::TempDir;

// Forward slashes and a trailing backslash when making folders; the cases both
// platforms share are in tests/platform/path_test.cpp.
TEST(WindowsPath, MakeFoldersTakesEitherSeparator) {
    TempDir dir;
    const std::string root = dir.Path().string();
    const std::string nested = root + "\\one/two\\three";
    EXPECT_FALSE(platform::IsFolder(nested));
    EXPECT_FALSE(platform::MakeFolders(nested));
    EXPECT_TRUE(std::filesystem::is_directory(root + "\\one\\two\\three"));
    EXPECT_FALSE(platform::MakeFolders(nested + "\\"));  // already there, trailing backslash
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
    EXPECT_FALSE(platform::MakeFolders(folder));
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
