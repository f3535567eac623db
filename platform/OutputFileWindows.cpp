// OutputFile on Windows: always a named temporary file, opened so that the
// interrupt handler may delete it while it is still open, and moved over the
// target by MoveFileEx, which replaces an existing file in one step.
#if defined(_WIN32)

#include "platform/OutputFile.h"
#include "platform/SystemError.h"
#include "platform/WindowsPath.h"

#include "platform/WindowsApi.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

constexpr int kNameAttempts = 100;

HANDLE CreateExclusive(const std::string& path) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
    if (FitsAnsiCalls(path))
        return CreateFileA(path.c_str(), GENERIC_WRITE, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE, kShare, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Replace(const std::string& from, const std::string& to) {
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (FitsAnsiCalls(from) && FitsAnsiCalls(to)) return MoveFileExA(from.c_str(), to.c_str(), kFlags) != 0;
    return MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(), kFlags) != 0;
}

void Delete(const std::string& path) {
    if (FitsAnsiCalls(path)) DeleteFileA(path.c_str());
    else DeleteFileW(ExtendedPath(path).c_str());
}

}  // namespace

std::error_code OutputFile::Create(const std::string& target, bool) {
    target_ = target;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string temporary = TemporaryPathFor(target);
        const InterruptCleanup::Hold hold;
        if (const std::error_code refused = cleanup_.Remember(temporary)) return refused;
        const HANDLE handle = CreateExclusive(temporary);
        if (handle == INVALID_HANDLE_VALUE) {
            const std::error_code error = LastWindowsError();
            cleanup_.Forget();
            if (error.value() == ERROR_FILE_EXISTS) continue;
            return error;
        }
        temporary_ = temporary;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            return std::make_error_code(std::errc::too_many_files_open);
        }
        return Attach(fd);
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code OutputFile::Attach(int fd) {
    stream_ = _fdopen(fd, "wb");
    if (stream_ != nullptr) return {};
    const std::error_code error = LastCError();
    _close(fd);
    return error;
}

// Files are never unnamed here.
std::error_code OutputFile::NameUnnamedFile() { return {}; }

std::error_code OutputFile::RenameOver(const std::string& from, const std::string& to) {
    if (!Replace(from, to)) return LastWindowsError();
    return {};
}

void OutputFile::Remove(const std::string& path) { Delete(path); }

}  // namespace platform

#endif
