// The usage text: one Japanese line telling the user to put the program beside the
// 24-bit bitmaps, make a folder named Result there, and call the program from a
// batch file once per bitmap file.
#pragma once

#include <string_view>

// The text as code page 932 (Shift_JIS) bytes: 142 bytes, line feed included.
std::string_view UsageTextCp932();

// The same text in UTF-8, for consoles that expect UTF-8.
std::string_view UsageTextUtf8();
