// Opens through the system's CreateFile, which never waits on a pipe, and
// takes the type and size from the open handle. Long paths take the wide call.
#if defined(_WIN32)

#include "platform/InputFile.h"
#include "platform/SystemError.h"
#include "platform/WindowsPath.h"

#include "platform/WindowsApi.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace platform {

namespace {

HANDLE OpenForReading(const std::string& path, DWORD attributes) {
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (FitsAnsiCalls(path))
        return CreateFileA(path.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, attributes, nullptr);
    return CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, attributes,
                       nullptr);
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, std::uint64_t& size, std::error_code& error) {
    error.clear();
    // Folders open too with the backup flag, so that they are told apart by type.
    const HANDLE handle = OpenForReading(path, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastWindowsError();
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    LARGE_INTEGER length{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(handle, &length)) {
        error = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                    ? std::make_error_code(std::errc::is_a_directory)
                    : NotARegularFile();
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        error = std::make_error_code(std::errc::too_many_files_open);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr) {
        error = std::error_code(errno, std::generic_category());
        _close(fd);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return file;
}

}  // namespace platform

#endif
