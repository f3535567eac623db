// The whiten command: whitens the paper of scanned 24-bit bitmap pages.
#include "app/Entry.h"
#include "app/ProcessFile.h"
#include "app/UsageText.h"
#include "platform/Console.h"
#include "platform/LargeBlock.h"
#include "platform/Sleep.h"
#include "platform/StandardOutput.h"
#include "platform/SystemError.h"
#if defined(_WIN32)
#include "platform/WindowsPath.h"
#endif

#include <cstdio>
#include <exception>
#include <iostream>

int main(int argc, char* argv[]) {
    try {
        // Line by line, so that progress shows while the run pauses or works on
        // later pages, also when the output goes to a pipe or a log file. The
        // Windows C runtime takes _IOLBF for full buffering; unbuffered, it still
        // writes each printf in one piece.
#if defined(_WIN32)
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        platform::UseAnsiCodePageForPaths();
#else
        std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
#endif
        platform::ReuseFreedBlocks();
        platform::OneHeapForAllThreads();
        const EntryServices services{
            ProcessFile,
            platform::SleepMilliseconds,
            std::cout,
            std::cerr,
            platform::ConsoleExpectsUtf8() ? UsageTextUtf8() : UsageTextCp932(),
        };
        int status = RunEntry(argc, argv, services);
        // Lines that did not reach standard output (a full disk, /dev/full) make
        // the run fail at its end, after its pauses, as for the standard tools.
        if (const std::error_code error = platform::StandardOutputError()) {
            std::cerr << platform::WithReason("whiten: write error", error) << '\n';
            status = 1;
        }
        return status;
    } catch (...) {
        return ReportEscapedError(std::current_exception(), std::cerr);
    }
}
