// The usage text: its 142 code page 932 bytes and their UTF-8 twin.
#include "app/UsageText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iconv.h>
#include <string>

namespace {

// Decodes code page 932 with the C library's converter, independently of the
// program's stored UTF-8 form.
std::string Cp932ToUtf8(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no CP932 converter>";
    std::string in(bytes), out(bytes.size() * 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return "<invalid CP932>";
    out.resize(out.size() - outLeft);
    return out;
}

TEST(UsageText, Cp932BytesAndUtf8FormSayTheSame) {
    const std::string_view cp932 = UsageTextCp932();
    EXPECT_EQ(cp932.size(), 142u);
    EXPECT_EQ(Cp932ToUtf8(cp932), std::string(UsageTextUtf8()));
    EXPECT_EQ(std::string(UsageTextUtf8()),
              "このファイルを、Bmp24 画像のあるフォルダに置き、そのフォルダに Result というフォルダを作成し、"
              "バッチファイルで Bmp ファイルの数だけ呼び出す。\n");
}

TEST(UsageText, EndsWithItsOnlyLineFeed) {
    for (const std::string_view text : {UsageTextCp932(), UsageTextUtf8()}) {
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text.find('\n'), text.size() - 1);
        EXPECT_EQ(text.find('\0'), std::string_view::npos);
    }
}

}  // namespace
