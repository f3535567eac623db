// OutputFile on POSIX systems. On Linux the file is made with O_TMPFILE in the
// target's folder and linked to a temporary name only once complete (through
// /proc/self/fd, which needs no privilege), then renamed over the target:
// linkat cannot replace a file. Folders whose file system has no unnamed files
// get a named temporary file from the start.
#if !defined(_WIN32)

#include "platform/OutputFile.h"
#include "platform/Path.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// Exclusive creation retries this often before giving up on a free name.
constexpr int kNameAttempts = 100;

// An unnamed file can be named later only through /proc (or with a privilege).
bool UnnamedFilesCanBeNamed() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

std::string FolderOf(const std::string& target) {
    const std::string folder = target.substr(0, target.size() - PathFileName(target).size());
    return folder.empty() ? std::string(".") : folder;
}

// The errors by which a file system or kernel says it has no unnamed files.
bool NoUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

}  // namespace

std::error_code OutputFile::Create(const std::string& target, bool allowUnnamed) {
    target_ = target;
#if defined(O_TMPFILE)
    if (allowUnnamed && UnnamedFilesCanBeNamed()) {
        const int fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            unnamed_ = true;
            return Attach(fd);
        }
        if (!NoUnnamedFiles(errno)) return LastCError();
    }
#else
    (void)allowUnnamed;
#endif
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryPathFor(target);
        const InterruptCleanup::Hold hold;
        if (const std::error_code refused = cleanup_.Remember(temporary)) return refused;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary_ = temporary;
            return Attach(fd);
        }
        const std::error_code error = LastCError();
        cleanup_.Forget();
        if (error.value() != EEXIST) return error;
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code OutputFile::Attach(int fd) {
    stream_ = ::fdopen(fd, "wb");
    if (stream_ != nullptr) return {};
    const std::error_code error = LastCError();
    ::close(fd);
    return error;
}

// Links the complete unnamed file to a fresh temporary name.
std::error_code OutputFile::NameUnnamedFile() {
    const int fd = ::fileno(stream_);
    const std::string byNumber = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryPathFor(target_);
        const InterruptCleanup::Hold hold;
        if (const std::error_code refused = cleanup_.Remember(temporary)) return refused;
        int linked = ::linkat(AT_FDCWD, byNumber.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW);
        if (linked != 0 && errno != EEXIST) {
            const int procError = errno;
            // Without /proc the privileged way may still work.
            linked = ::linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH);
            if (linked != 0 && errno != EEXIST) errno = procError;
        }
        if (linked == 0) {
            temporary_ = temporary;
            unnamed_ = false;
            return {};
        }
        const std::error_code error = LastCError();
        cleanup_.Forget();
        if (error.value() != EEXIST) return error;
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code OutputFile::RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return LastCError();
    return {};
}

void OutputFile::Remove(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace platform

#endif
