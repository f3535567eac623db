// Pages whose rows do not follow a plain 54-byte header (larger information
// headers, colour tables) load with headers that describe what memory holds, so
// that saving such a page gives a plain file that loads back the same.
#include "image/CBmp24.h"

#include "app/test_bmp_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testbmp::Headers;
using testbmp::Rows;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

std::uint32_t U32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return v;
}

TEST(HostileLayout, PagesWithRowsBeyondTheHeadersSaveAsPlainFiles) {
    struct Case { const char* name; std::string bytes; };
    const Case cases[] = {
        {"124-byte information header", Headers(5, 4, 24, 138, 124) + std::string(84, '\x55') + Rows(5, 4, 3)},
        {"108-byte header, 32-bit", Headers(5, 4, 32, 122, 108) + std::string(68, '\x55') + Rows(5, 4, 4)},
        {"colour table", Headers(5, 4, 24, 54 + 1024) + std::string(1024, '\x33') + Rows(5, 4, 3)},
        {"124-byte header, top-down", Headers(5, -4, 24, 138, 124) + std::string(84, '\x55') + Rows(5, 4, 3, true)},
    };
    const std::string plainRows = Rows(5, 4, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "in.bmp", c.bytes);
        CBmp24_<0> image;
        image.Load(dir / "in.bmp");
        image.Save(dir / "out.bmp");
        const std::string saved = ReadFile(dir / "out.bmp");
        ASSERT_EQ(saved.size(), 54u + plainRows.size());
        EXPECT_EQ(U32(saved, 10), 54u);  // bfOffBits
        EXPECT_EQ(U32(saved, 14), 40u);  // biSize
        EXPECT_EQ(U32(saved, 22), 4u);   // biHeight
        EXPECT_EQ(saved.substr(54), plainRows);

        CBmp24_<0> again;
        again.Load(dir / "out.bmp");
        again.Save(dir / "again.bmp");
        EXPECT_EQ(ReadFile(dir / "again.bmp"), saved);
    }
}

}  // namespace
