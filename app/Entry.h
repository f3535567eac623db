// The program's entry and argument loop, with everything it touches outside
// itself passed in, so that tests can run it without real pauses or files.
#pragma once

#include <exception>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

struct EntryServices {
    // The per-file job: 0 done, 1 output folder missing (stops the run), 2 refused.
    std::function<int(const std::string&)> processFile;
    std::function<void(int milliseconds)> sleep;
    std::ostream& usageOut;     // gets the usage text
    std::ostream& errorOut;     // gets the one line of an error that ends the run
    std::string_view usageText;
};

// The pause before the process ends (once after the loop, once more on a stop).
constexpr int kClosingPauseMs = 5000;

// argv[0] is the program's name and is not used. Returns the exit status: 0 after
// the usage text, a normal end or a stop on result 1; 1 when an error escapes a
// job (reported on errorOut, no pause, later arguments not processed).
int RunEntry(int argc, const char* const argv[], const EntryServices& services);

// Writes one line for an error that ended the run and gives the exit status 1:
// the message of a std::string or std::exception, "out of memory" for
// std::bad_alloc, "unknown error" for anything else.
int ReportEscapedError(std::exception_ptr error, std::ostream& errorOut) noexcept;
