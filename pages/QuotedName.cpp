// Shell-escape quoting of names, byte by byte: plain bytes as they are, the
// rest quoted, the bytes of no printable character escaped.
#include "pages/QuotedName.h"

#include <cstdint>
#include <cstring>

namespace {

// Special to the shell anywhere in a word.
constexpr const char* kShellSpecial = " !\"$&'()*;<=>?[\\^`|";
// Special inside double quotes too (! for bash's history).
constexpr const char* kSpecialInDoubleQuotes = "$`\\\"!";

unsigned Byte(const std::string& text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// The bytes of the printable character at `at` (1 for plain ASCII), or 0
// when the bytes there are none: a control, invalid UTF-8 (overlong, a
// surrogate, beyond U+10FFFF, cut short), a C1 control, U+2028, U+2029 or a
// non-character.
std::size_t PrintableLength(const std::string& text, std::size_t at) {
    const unsigned lead = Byte(text, at);
    if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
    std::size_t length = 0;
    std::uint32_t code = 0, least = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, code = lead & 0x1f, least = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, code = lead & 0x0f, least = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((Byte(text, at + i) & 0xc0) != 0x80) return 0;
        code = code << 6 | (Byte(text, at + i) & 0x3f);
    }
    const bool unprintable = code < 0xa0 || code == 0x2028 || code == 0x2029 || (code >= 0xd800 && code <= 0xdfff) ||
                             (code >= 0xfdd0 && code <= 0xfdef) || (code & 0xfffe) == 0xfffe;
    return code < least || code > 0x10ffff || unprintable ? 0 : length;
}

bool AllPrintable(const std::string& name) {
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = PrintableLength(name, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool NeedsQuotes(const std::string& name) {
    if (name.empty() || name[0] == '#' || name[0] == '~' || name == "{" || name == "}") return true;
    return name.find_first_of(kShellSpecial) != std::string::npos || !AllPrintable(name);
}

// \n and its kin by letter, any other byte in three octal digits.
void AppendEscaped(std::string& out, unsigned byte) {
    static const char kLetters[] = "abtnvfr";  // bytes 7 to 13
    out += '\\';
    if (byte >= 7 && byte <= 13) {
        out += kLetters[byte - 7];
        return;
    }
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + (byte >> 3 & 7));
    out += static_cast<char>('0' + (byte & 7));
}

// '...' with '\'' for a quote, and $'...' around the escaped bytes.
std::string SingleQuoted(const std::string& name) {
    std::string out = "'";
    bool escaping = false;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = PrintableLength(name, at);
        if (length == 0) {
            if (!escaping) out += "'$'";
            escaping = true;
            AppendEscaped(out, Byte(name, at++));
            continue;
        }
        if (escaping) out += "''";
        escaping = false;
        if (name[at] == '\'') {
            out += "'\\''";
        } else {
            out.append(name, at, length);
        }
        at += length;
    }
    return out + "'";
}

}  // namespace

std::string QuotedName(const std::string& name) {
    if (!NeedsQuotes(name)) return name;
    if (name.find('\'') != std::string::npos && name.find_first_of(kSpecialInDoubleQuotes) == std::string::npos &&
        AllPrintable(name))
        return "\"" + name + "\"";
    return SingleQuoted(name);
}
