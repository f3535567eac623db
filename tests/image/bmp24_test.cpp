// CBmp24_: states, Create, IsThisType, Load (32-bit, offsets, top-down) and Save.
#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"

#include "app/test_bmp_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
using Bmp = CBmp24_<0>;

std::uint32_t U32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return v;
}

std::string Bytes(const std::uint8_t* p, std::size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// The picture bytes of a loaded image, row by row without padding.
std::string PixelBytes(const Bmp& image) {
    std::string out;
    for (std::int32_t y = 0; y < image.Height(); ++y) out += Bytes(image.Row(y), 3 * static_cast<std::size_t>(image.Width()));
    return out;
}

// The same for the test pattern: 3 colour bytes per pixel, bottom line first.
std::string PatternBytes(int width, int height) {
    std::string out;
    for (int line = 0; line < height; ++line)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) out += static_cast<char>(testbmp::PatternByte(x, line, c));
    return out;
}

TEST(Bmp24, CreateSizesAndSavedLength) {
    struct Case { const char* name; int width, height, rowBytes; std::uint32_t bfSize; };
    const Case cases[] = {
        {"1x1", 1, 1, 4, 58},
        {"3x2 padded", 3, 2, 12, 78},
        {"4x1 unpadded", 4, 1, 12, 66},
        {"0x5 empty rows", 0, 5, 0, 54},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bmp image(Bmp::empty);
        image.Create(c.width, c.height);
        EXPECT_EQ(image.Width(), c.width);
        EXPECT_EQ(image.Height(), c.height);
        EXPECT_EQ(image.RowBytes(), c.rowBytes);
        const std::string file = dir / "out.bmp";
        image.Save(file);
        const std::string bytes = ReadFile(file);
        EXPECT_EQ(bytes.size(), c.bfSize);
        EXPECT_EQ(U32(bytes, 2), c.bfSize);
        EXPECT_EQ(bytes.substr(54), std::string(c.bfSize - 54, '\0'));
    }
}

TEST(Bmp24, CreateWritesTheFixedHeader) {
    Bmp image(Bmp::empty);
    image.Create(3, 2);
    const std::uint8_t expected[54] = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(image.FileHeader(), 14), Bytes(expected, 14));
    EXPECT_EQ(Bytes(image.InfoHeader(), 40), Bytes(expected + 14, 40));
}

TEST(Bmp24, DefaultAndEmptyStates) {
    Bmp image;
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.RowBytes(), 4);
    EXPECT_EQ(image.Height(), 1);
    ASSERT_NE(image.Pixels(), nullptr);
    Bmp oneByOne(Bmp::empty);
    oneByOne.Create(1, 1);
    EXPECT_EQ(Bytes(image.FileHeader(), 14), Bytes(oneByOne.FileHeader(), 14));
    EXPECT_EQ(Bytes(image.InfoHeader(), 40), Bytes(oneByOne.InfoHeader(), 40));

    Bmp empty(Bmp::empty);
    EXPECT_EQ(empty.Pixels(), nullptr);
    EXPECT_EQ(empty.FileHeader(), nullptr);
    EXPECT_EQ(empty.InfoHeader(), nullptr);
}

TEST(Bmp24, CreateRefusesSizesBeyondTheLimits) {
    struct Case { const char* name; int width, height; };
    const Case cases[] = {
        {"negative width", -1, 1},
        {"negative height", 1, -1},
        {"wider than 2^20", (1 << 20) + 1, 1},
        {"2^30 pixels", 1 << 15, 1 << 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bmp image(Bmp::empty);
        try {
            image.Create(c.width, c.height);
            ADD_FAILURE() << "no error";
        } catch (const std::string& message) {
            EXPECT_EQ(message, "CBmp24_::Create : image size error!");
        }
    }
}

TEST(Bmp24, IsThisTypeLooksAtTheBitCountOnly) {
    struct Case { const char* name; std::uint16_t bitCount; bool expected; };
    const Case cases[] = {{"1-bit", 1, false}, {"8-bit", 8, false}, {"16-bit", 16, false},
                          {"24-bit", 24, true}, {"32-bit", 32, false}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / "in.bmp";
        WriteFile(file, testbmp::Page(3, 2, c.bitCount));
        Bmp image(Bmp::empty);
        image.Create(7, 5);
        EXPECT_EQ(image.IsThisType(file), c.expected);
        EXPECT_EQ(image.Width(), 7);  // the pixels are only read by Load
        EXPECT_EQ(image.RowBytes(), 24);
        EXPECT_EQ(image.Height(), 5);
        EXPECT_EQ(image.InfoHeader()[14], c.bitCount);
    }
    // A 24-bit header on something that is no bitmap at all still counts.
    const std::string text = dir / "notes.bmp";
    WriteFile(text, std::string(28, 'x') + std::string("\x18\x00", 2) + std::string(30, 'y'));
    Bmp image;
    EXPECT_TRUE(image.IsThisType(text));
}

// The message, the path, and the system's reason after ": ". Windows words a
// missing file its own way (and wine another), so there only its presence counts.
TEST(Bmp24, OpenFailuresCarryThePathAndTheReason) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.bmp");
    struct Case { std::string path; std::string reason; };
    const Case cases[] = {
#if defined(_WIN32)
        {dir / "missing.bmp", ""},
#else
        {dir / "missing.bmp", "No such file or directory"},
#endif
        {dir / "folder.bmp", "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Bmp image;
        const auto expectMessage = [&c](const std::string& message, const std::string& start) {
            const std::string prefix = start + c.path + ": ";
            EXPECT_EQ(message.substr(0, prefix.size()), prefix);
            EXPECT_GT(message.size(), prefix.size());
            if (!c.reason.empty()) {
                EXPECT_EQ(message, prefix + c.reason);
            }
        };
        try {
            image.IsThisType(c.path);
            ADD_FAILURE() << "IsThisType gave no error";
        } catch (const std::string& message) {
            expectMessage(message, "CBmp24_::IsThisType : can't open ");
        }
        try {
            image.Load(c.path);
            ADD_FAILURE() << "Load gave no error";
        } catch (const std::string& message) {
            expectMessage(message, "CBmp24_::Load : can't open ");
        }
        EXPECT_EQ(image.Pixels(), nullptr);
        EXPECT_EQ(image.FileHeader()[10], 54);
    }
}

TEST(Bmp24, LoadDropsTheFourthByteOf32BitPixels) {
    TempDir dir;
    const std::string file = dir / "in.bmp";
    std::string page = testbmp::Page(3, 2, 32);
    WriteFile(file, page);
    Bmp image;
    image.Load(file);
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.RowBytes(), 12);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(PixelBytes(image), PatternBytes(3, 2));
    EXPECT_EQ(image.InfoHeader()[14], 24);
    EXPECT_EQ(U32(Bytes(image.FileHeader(), 14), 2), page.size());  // bfSize as in the file
}

TEST(Bmp24, SavedImageLoadsBackInRowOrder) {
    TempDir dir;
    const std::string in = dir / "in.bmp";
    WriteFile(in, testbmp::Page(5, 3));
    Bmp image;
    image.Load(in);
    EXPECT_EQ(PixelBytes(image), PatternBytes(5, 3));

    const std::string out = dir / "out.bmp";
    image.Save(out);
    const std::string saved = ReadFile(out);
    ASSERT_EQ(saved.size(), 54u + 3 * 16);
    EXPECT_EQ(saved.substr(54, 16), testbmp::Row(5, 0, 3));  // row 0 comes first in the file
    EXPECT_EQ(U32(saved, 38), 0u);                            // resolution cleared
    EXPECT_EQ(U32(saved, 42), 0u);

    Bmp again;
    again.Load(out);
    EXPECT_EQ(again.Width(), 5);
    EXPECT_EQ(again.Height(), 3);
    EXPECT_EQ(PixelBytes(again), PatternBytes(5, 3));
}

TEST(Bmp24, SaveWritesPaddingAsZero) {
    TempDir dir;
    const std::string in = dir / "in.bmp";
    const std::string rows = testbmp::Rows(1, 2, 3, false, '\x7f');
    WriteFile(in, testbmp::Headers(1, 2, 24) + rows);
    Bmp image;
    image.Load(in);
    image.Save(dir / "out.bmp");
    EXPECT_EQ(ReadFile(dir / "out.bmp").substr(54), testbmp::Rows(1, 2, 3));
}

TEST(Bmp24, PixelRowsStartAtBfOffBitsWhenItLiesBeyondTheHeaders) {
    struct Case { const char* name; std::uint32_t offBits; std::uint32_t biSize; std::size_t gap; };
    const Case cases[] = {
        {"124-byte info header", 138, 124, 84},
        {"colour table", 54 + 1024, 40, 1024},
        {"offset 54", 54, 40, 0},
        {"offset 0 reads from 54", 0, 40, 0},
        {"offset inside the headers reads from 54", 20, 40, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / "in.bmp";
        WriteFile(file, testbmp::Headers(3, 2, 24, c.offBits, c.biSize) + std::string(c.gap, '\xAA') +
                            testbmp::Rows(3, 2, 3));
        Bmp image;
        image.Load(file);
        EXPECT_EQ(PixelBytes(image), PatternBytes(3, 2));
    }
}

TEST(Bmp24, TopDownPageLoadsLikeItsBottomUpTwin) {
    struct Case { const char* name; std::uint16_t bitCount; int width, height; };
    const Case cases[] = {{"24-bit", 24, 5, 4}, {"32-bit", 32, 3, 3}, {"one row", 24, 2, 1}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int bytesPerPixel = c.bitCount == 32 ? 4 : 3;
        WriteFile(dir / "up.bmp", testbmp::Headers(c.width, c.height, c.bitCount) +
                                      testbmp::Rows(c.width, c.height, bytesPerPixel));
        WriteFile(dir / "down.bmp", testbmp::Headers(c.width, -c.height, c.bitCount) +
                                        testbmp::Rows(c.width, c.height, bytesPerPixel, true));
        Bmp up, down;
        up.Load(dir / "up.bmp");
        down.Load(dir / "down.bmp");
        EXPECT_EQ(down.Height(), c.height);
        EXPECT_EQ(PixelBytes(down), PixelBytes(up));
        EXPECT_EQ(Bytes(down.InfoHeader(), 40), Bytes(up.InfoHeader(), 40));
        up.Save(dir / "up.out.bmp");
        down.Save(dir / "down.out.bmp");
        EXPECT_EQ(ReadFile(dir / "down.out.bmp"), ReadFile(dir / "up.out.bmp"));
    }
}

TEST(Bmp24, BrokenFilesAreRefusedWithTheirReason) {
    const std::string rows3x2 = testbmp::Rows(3, 2, 3);
    struct Case { const char* name; std::string bytes; const char* reason; };
    const Case cases[] = {
        {"empty file", "", "file is shorter than its headers"},
        {"53 bytes", testbmp::Headers(3, 2, 24).substr(0, 53), "file is shorter than its headers"},
        {"no pixel data", testbmp::Headers(3, 2, 24), "pixel data is truncated"},
        {"last row short by one byte", testbmp::Headers(3, 2, 24) + rows3x2.substr(0, 23), "pixel data is truncated"},
        {"32-bit rows short", testbmp::Headers(4, 2, 32) + rows3x2, "pixel data is truncated"},
        {"top-down short by one row", testbmp::Headers(3, -3, 24) + rows3x2, "pixel data is truncated"},
        {"width 0", testbmp::Headers(0, 2, 24) + rows3x2, "width or height is not positive"},
        {"negative width", testbmp::Headers(-3, 2, 24) + rows3x2, "width or height is not positive"},
        {"height 0", testbmp::Headers(3, 0, 24) + rows3x2, "width or height is not positive"},
        {"height -2^31", testbmp::Headers(3, INT_MIN, 24) + rows3x2, "image is too large"},
        {"width 2^31-1", testbmp::Headers(INT_MAX, 1, 24) + rows3x2, "image is too large"},
        {"height 2^31-1", testbmp::Headers(1, INT_MAX, 24) + rows3x2, "image is too large"},
        {"width 2^20+1", testbmp::Headers((1 << 20) + 1, 1, 24) + rows3x2, "image is too large"},
        {"2^30 pixels", testbmp::Headers(1 << 15, 1 << 15, 24) + rows3x2, "image is too large"},
        {"width x 3 beyond 32 bits", testbmp::Headers(0x60000000, 1, 24) + rows3x2, "image is too large"},
        {"largest side, tiny file", testbmp::Headers(1 << 20, 1, 24) + rows3x2, "pixel data is truncated"},
        {"offset beyond the end", testbmp::Headers(3, 2, 24, 1000) + rows3x2,
         "pixel data offset is beyond the end of the file"},
        {"offset leaves too little", testbmp::Headers(3, 2, 24, 60) + rows3x2, "pixel data is truncated"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / "in.bmp";
        WriteFile(file, c.bytes);
        Bmp image;
        try {
            image.Load(file);
            ADD_FAILURE() << "no error";
        } catch (const BmpFileBroken& broken) {
            EXPECT_STREQ(broken.what(), c.reason);
        }
        EXPECT_EQ(image.Pixels(), nullptr);
        EXPECT_EQ(image.Width(), 1);
        if (c.bytes.size() < 54) {
            EXPECT_THROW(image.IsThisType(file), BmpFileBroken);
        }
    }
}

}  // namespace
