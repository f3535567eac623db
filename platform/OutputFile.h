// A new file that takes the place of an earlier one only once it is complete.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/InterruptCleanup.h"

namespace platform {

// The file that is to become `target`: written beside it and given the
// target's name only once complete, replacing an earlier file in one step, so
// that the target is always the earlier file or the whole new one.
//
// Where the system allows (Linux, O_TMPFILE) the file has no name while it is
// written, so that nothing is left behind however the process ends, but for
// the moment between naming it and renaming it over the target. Elsewhere it
// has a temporary name in the target's folder from the start: "~" and base-36
// digits, as long as the target's own name (4 to 12 bytes), so that the
// temporary path fits wherever the target's does, and without an extension,
// so that it is never the name of an output of the tools. A named temporary
// file is removed on failure, by the destructor and on an interrupt (its
// InterruptCleanup entry); only SIGKILL, or a fault of the program itself such
// as SIGSEGV, can leave it. Any number of output files may be under way at
// once, on any threads.
class OutputFile {
public:
    OutputFile() = default;
    // Removes the file unless Commit has given it the target's name.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file, created with the permissions a plain new file gets.
    // `allowUnnamed` false: a named temporary file even where an unnamed one
    // would do.
    std::error_code Create(const std::string& target, bool allowUnnamed = true);
    std::error_code Write(const void* data, std::size_t size);
    // Writes out what is buffered, closes the file and renames it over the target.
    std::error_code Commit();

private:
    std::error_code Attach(int fd);
    std::error_code NameUnnamedFile();
    // Per platform: gives a finished file the target's name, replacing an
    // earlier file in one step; removes a temporary file.
    static std::error_code RenameOver(const std::string& from, const std::string& to);
    static void Remove(const std::string& path);

    InterruptCleanup cleanup_;
    std::string target_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    bool unnamed_ = false;
};

// A fresh candidate for the temporary path of `target`; exclusive creation
// decides whether it is free.
std::string TemporaryPathFor(const std::string& target);

}  // namespace platform
