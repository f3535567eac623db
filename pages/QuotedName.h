// File names as printed lines show them: quoted for the shell where a name
// would otherwise be ambiguous, break its line or drive the terminal.
#pragma once

#include <string>

// The name as it is when every byte is plain (letters, digits, UTF-8 text,
// "%+,-./:@]_", and "#", "~" after the first byte, "{", "}" beside others).
// Otherwise in single quotes, a quote inside as '\'' , the bytes that are no
// printable character (controls, invalid UTF-8, C1 controls, the line and
// paragraph separators, non-characters) as $'\n' or $'\ooo' between quoted
// parts; a name whose only trouble is a single quote in double quotes: the
// way coreutils' shell-escape quoting shows names ('a -> b.png',
// 'new'$'\n''line.png', "it's.png"). Pasted into bash, ksh or zsh, either
// form gives the name back.
std::string QuotedName(const std::string& name);
