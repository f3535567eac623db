#include "image/BmpFileWriter.h"

#include <cstdio>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/WindowsPath.h"
#endif

namespace {

BmpFileWriter standardWriter;
BmpFileWriter* currentWriter = &standardWriter;

}  // namespace

std::FILE* BmpFileWriter::CreateNew(const std::string& path) {
#if defined(_WIN32)
    // The Windows C runtime does not know fopen's "x"; the exclusive open does
    // the same and sets errno to EEXIST alike. Long paths take the wide call.
    constexpr int kFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
    const int fd = platform::FitsAnsiCalls(path)
                       ? _open(path.c_str(), kFlags, _S_IREAD | _S_IWRITE)
                       : _wopen(platform::ExtendedPath(path).c_str(), kFlags, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
    return file;
#else
    return std::fopen(path.c_str(), "wbx");  // "x": fail rather than reuse an existing file
#endif
}

bool BmpFileWriter::Write(std::FILE* file, const void* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

bool BmpFileWriter::Close(std::FILE* file) {
    const bool clean = std::fflush(file) == 0 && std::ferror(file) == 0;
    return std::fclose(file) == 0 && clean;
}

bool BmpFileWriter::Replace(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    // rename refuses an existing target there; this replaces it in one step.
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (platform::FitsAnsiCalls(from) && platform::FitsAnsiCalls(to))
        return MoveFileExA(from.c_str(), to.c_str(), kFlags) != 0;
    return MoveFileExW(platform::ExtendedPath(from).c_str(), platform::ExtendedPath(to).c_str(), kFlags) != 0;
#else
    // POSIX rename replaces the target atomically.
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void BmpFileWriter::Remove(const std::string& path) {
#if defined(_WIN32)
    if (!platform::FitsAnsiCalls(path)) {
        DeleteFileW(platform::ExtendedPath(path).c_str());
        return;
    }
#endif
    std::remove(path.c_str());
}

BmpFileWriter& CurrentBmpFileWriter() { return *currentWriter; }

ScopedBmpFileWriter::ScopedBmpFileWriter(BmpFileWriter& writer) : previous_(currentWriter) {
    currentWriter = &writer;
}

ScopedBmpFileWriter::~ScopedBmpFileWriter() { currentWriter = previous_; }
