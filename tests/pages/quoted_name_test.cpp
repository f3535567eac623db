// QuotedName against the forms `ls --quoting-style=shell-escape` gives in a
// UTF-8 locale, and each quoted form read back by bash.
#include "pages/QuotedName.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(QuotedName, AsTheShellEscapeStyleShowsNames) {
    struct Case { const char* name; std::string raw; std::string shown; };
    const Case cases[] = {
        {"plain", "scans/p-1_a.b,c+d%e@f:g]h.png", "scans/p-1_a.b,c+d%e@f:g]h.png"},
        {"UTF-8 text", "fran\xc3\xa7" "ais/\xe2\x80\x8bp.png", "fran\xc3\xa7" "ais/\xe2\x80\x8bp.png"},
        {"# and ~ inside, braces beside others", "a#b~c{d}.png", "a#b~c{d}.png"},
        {"# first", "#1.png", "'#1.png'"},
        {"~ first", "~x", "'~x'"},
        {"a lone brace", "{", "'{'"},
        {"empty", "", "''"},
        {"an arrow", "a -> b.png", "'a -> b.png'"},
        {"each shell special", "a!b\"c$d&e(f)g*h;i<j=k>l?m[n\\o^p`q|r", "'a!b\"c$d&e(f)g*h;i<j=k>l?m[n\\o^p`q|r'"},
        {"a newline", "new\nline.png", "'new'$'\\n''line.png'"},
        {"controls in a row, one at the end", "a\t\n\x1b\x7f", "'a'$'\\t\\n\\033\\177'"},
        {"a control first", "\ra", "''$'\\r''a'"},
        {"a single quote alone", "it's.png", "\"it's.png\""},
        {"a single quote and a space", "it's a.png", "\"it's a.png\""},
        {"a single quote and a dollar", "it's $x", "'it'\\''s $x'"},
        {"a single quote and a newline", "a'b\nc", "'a'\\''b'$'\\n''c'"},
        {"invalid UTF-8", "z\x80\xc3", "'z'$'\\200\\303'"},
        {"an overlong form", "\xc0\x80", "''$'\\300\\200'"},
        {"a surrogate", "\xed\xa0\x80", "''$'\\355\\240\\200'"},
        {"a C1 control (CSI)", "a\xc2\x9b" "b", "'a'$'\\302\\233''b'"},
        {"the line separator", "\xe2\x80\xa8", "''$'\\342\\200\\250'"},
        {"a non-character", "a\xef\xbf\xbe", "'a'$'\\357\\277\\276'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string shown = QuotedName(c.raw);
        EXPECT_EQ(shown, c.shown);
        if (std::filesystem::exists("/bin/bash")) {
            const auto back = testsupport::RunProgram("/bin/bash", {"-c", "printf %s " + shown}, ".");
            EXPECT_EQ(back.out, c.raw);
        }
    }
}

}  // namespace
