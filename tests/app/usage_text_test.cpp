// The usage text: its 142 code page 932 bytes and their UTF-8 twin.
#include "app/UsageText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

#if defined(_WIN32)
// Decodes code page 932 with the system's converter, independently of the
// program's stored UTF-8 form.
std::string Cp932ToUtf8(std::string_view bytes) {
    const int length = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (wide == 0) return "<invalid CP932>";
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), length, utf16.data(), wide);
    std::string out(static_cast<std::size_t>(wide) * 3, '\0');
    out.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}
#else
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
#endif

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
