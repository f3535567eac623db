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

namespace {

// A file under a write lease (Samba's oplocks, the NFS server's delegations)
// refuses a non-blocking open at once, where a plain open waits until the
// holder has given the lease up. Such a file is opened again, blocking, through
// a handle that names it without opening it (O_PATH), so that what the
// blocking open reaches is the regular file seen, never a pipe put in its place.
int OpenLeasedFile(const std::string& path) {
    const int refusal = errno;
#if defined(O_PATH)
    const int handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (handle < 0) return -1;
    struct stat status {};
    int fd = -1;
    if (::fstat(handle, &status) == 0 && S_ISREG(status.st_mode)) {
        fd = ::open(("/proc/self/fd/" + std::to_string(handle)).c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        // Without /proc the lease's refusal stands.
        if (fd < 0 && errno == ENOENT) errno = refusal;
    } else {
        errno = refusal;
    }
    const int openError = errno;
    ::close(handle);
    errno = openError;
    return fd;
#else
    errno = refusal;
    return -1;
#endif
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, std::uint64_t& size, std::error_code& error) {
    error.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == EWOULDBLOCK) fd = OpenLeasedFile(path);
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
        error = S_ISDIR(status.st_mode) ? std::make_error_code(std::errc::is_a_directory) : NotARegularFile();
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
