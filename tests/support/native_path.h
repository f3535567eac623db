// Paths and printed text in the form of the platform the tests run on, so that
// one table of cases serves both builds: written with '/' and '\n', they become
// '\' and, in a child's output, CR LF on Windows.
#pragma once

#include <algorithm>
#include <string>

namespace testsupport {

inline std::string Native(std::string path) {
#if defined(_WIN32)
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

// A child's standard output as it reaches a pipe: the C runtime's text mode
// ends each line in CR LF on Windows.
inline std::string NativeLines(const std::string& text) {
#if defined(_WIN32)
    std::string lines;
    for (char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return lines;
#else
    return text;
#endif
}

// Whether `actual` is `message` followed by the system's reason for the failure.
// POSIX reasons are the C library's "C" locale texts and are checked as given;
// on Windows the wording is the system's (or wine's) own, so only that a reason
// follows is checked.
inline bool IsMessageWithReason(const std::string& actual, const std::string& message, const std::string& posixReason) {
#if defined(_WIN32)
    (void)posixReason;
    const std::string start = message + ": ";
    return actual.size() > start.size() && actual.compare(0, start.size(), start) == 0;
#else
    return actual == message + ": " + posixReason;
#endif
}

}  // namespace testsupport
