// The first failed write to standard output, kept for the end of the run.
#include "platform/StandardOutput.h"

#include <cerrno>
#include <cstdio>

#include "platform/SystemError.h"

namespace platform {

namespace {

std::error_code firstFailure;

}  // namespace

void NoteStandardOutputError() {
    if (!firstFailure && std::ferror(stdout)) firstFailure = LastCError();
}

std::error_code StandardOutputError() {
    NoteStandardOutputError();
    errno = 0;
    if (std::fflush(stdout) != 0 && !firstFailure) firstFailure = LastCError();
    NoteStandardOutputError();
    return firstFailure;
}

}  // namespace platform
