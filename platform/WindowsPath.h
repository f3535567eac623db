// Windows only: ANSI paths in the form the wide file functions take beyond
// MAX_PATH, for the few calls that must work on paths of any length.
#pragma once

#if defined(_WIN32)

#include <cstddef>
#include <string>

namespace platform {

// The ANSI file calls refuse paths from this length on, made absolute (MAX_PATH
// less room for an 8.3 name, their limit on folder paths).
constexpr std::size_t kAnsiPathLimit = 248;

// True when the path, made absolute, is short enough for the ANSI file calls.
bool FitsAnsiCalls(const std::string& path);

// The absolute form of an ANSI code page path, spelt "\\?\C:\..." or
// "\\?\UNC\server\share\...", for the wide file calls. Empty when the path
// cannot be resolved.
std::wstring ExtendedPath(const std::string& path);

// Sets the C runtime's character type to the ANSI code page, so that its
// multibyte conversions, and with them the standard library's conversions of
// narrow paths, read path strings as the system does rather than byte for byte
// as in the "C" locale. Call once at start-up.
void UseAnsiCodePageForPaths();

}  // namespace platform

#endif
