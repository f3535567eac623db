// Non-blocking open, then the type from fstat: opening a named pipe for
// reading would otherwise wait for a writer for ever.
#if !defined(_WIN32)

#include "platform/InputFile.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* OpenRegularFile(const std::string& path, std::uint64_t& size, std::error_code& error) {
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = LastCError();
        return nullptr;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = LastCError();
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        if (S_ISDIR(status.st_mode)) error = std::make_error_code(std::errc::is_a_directory);
        ::close(fd);
        return nullptr;
    }
    // Reads of a regular file never wait anyway; the flag goes so that the
    // stream sees an ordinary file.
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = nullptr;
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || (file = ::fdopen(fd, "rb")) == nullptr) {
        error = LastCError();
        ::close(fd);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

}  // namespace platform

#endif
