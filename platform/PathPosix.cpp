// POSIX path operations: '/' is the only separator. No length limit of our own;
// the operating system's limits on a single path still apply.
#if !defined(_WIN32)

#include "platform/Path.h"
#include "platform/SystemError.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace platform {

namespace {

constexpr char kSeparator = '/';

std::string::size_type LastComponentStart(const std::string& path) {
    const auto slash = path.rfind(kSeparator);
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string PathExtension(const std::string& path) {
    const auto start = LastComponentStart(path);
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < start) return std::string();
    return path.substr(dot);
}

std::string PathFolder(const std::string& path) {
    const auto start = LastComponentStart(path);
    if (start == 0) return ".";
    // Drop the separator before the name and any doubled ones before it ("a//b").
    auto end = start - 1;
    while (end > 0 && path[end - 1] == kSeparator) --end;
    if (end == 0) return std::string(1, kSeparator);
    return path.substr(0, end);
}

std::string PathFileName(const std::string& path) {
    return path.substr(LastComponentStart(path));
}

std::string PathJoin(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == kSeparator) return folder + name;
    return folder + kSeparator + name;
}

namespace {

// True when the path or a folder above it is a symbolic link to nothing, which
// no folder can be made under (the system says only "File exists").
bool HasDanglingLink(const std::string& path) {
    std::error_code ignored;
    for (std::filesystem::path part(path); !part.empty(); part = part.parent_path()) {
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(part, ignored)) &&
            !std::filesystem::exists(part, ignored))
            return true;
        if (part == part.parent_path()) break;
    }
    return false;
}

}  // namespace

std::error_code MakeFolders(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (IsFolder(path)) return std::error_code();
    if (HasDanglingLink(path)) return DanglingSymbolicLink();
    return error ? error : std::make_error_code(std::errc::not_a_directory);
}

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat a {}, b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace platform

#endif
