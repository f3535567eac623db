// Windows path operations on 8-bit paths in the process's ANSI code page, through
// the shell's path functions. '\' is the separator; '/' is taken as one too.
#if defined(_WIN32)

#include "platform/Path.h"
#include "platform/WindowsPath.h"

#include "platform/WindowsApi.h"
#include <shlwapi.h>

#include <clocale>
#include <string>
#include <vector>

// dbghelp's directory creator; the import library has it, the headers do not.
extern "C" __declspec(dllimport) BOOL WINAPI MakeSureDirectoryPathExists(PCSTR dirPath);

namespace platform {

namespace {

// A private NUL-terminated copy, sized to the path, for the shell functions to scan
// or cut in place. '/' becomes '\', which the shell functions alone recognise;
// the byte '/' is never the second byte of a double-byte character, so this
// cannot split one.
std::vector<char> ShellBuffer(const std::string& path) {
    std::vector<char> buffer(path.size() + 1, '\0');
    for (std::size_t i = 0; i < path.size(); ++i) buffer[i] = path[i] == '/' ? '\\' : path[i];
    return buffer;
}

// True when the last character (not merely the last byte: in code pages such as
// 932 a double-byte character may end in 0x5C) is a separator.
bool EndsWithSeparator(const std::string& path) {
    if (path.empty()) return false;
    const char* begin = path.c_str();
    const char* last = CharPrevA(begin, begin + path.size());
    return last == begin + path.size() - 1 && (*last == '\\' || *last == '/');
}

// "D:", the current folder of a drive.
bool IsDriveOnly(const std::string& folder) {
    return folder.size() == 2 && folder[1] == ':' && IsCharAlphaA(folder[0]);
}

bool IsSingleByteOnly(const std::string& path) {
    for (const char c : path)
        if (IsDBCSLeadByte(static_cast<BYTE>(c))) return false;
    return true;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, result.data(), wide);
    return result;
}

bool IsFolderWide(const std::string& path) {
    const std::wstring full = ExtendedPath(path);
    if (full.empty()) return false;
    const DWORD attributes = GetFileAttributesW(full.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates each folder along the absolute path, shortest first; failures on the
// parts that exist or cannot be folders (the drive, the server) are expected.
// The error of the last creation that failed for another reason than an
// existing folder; 0 when none did.
DWORD MakeFoldersWide(const std::string& path) {
    const std::wstring full = ExtendedPath(path);
    if (full.empty()) return ERROR_INVALID_NAME;
    DWORD failure = 0;
    auto create = [&failure](const std::wstring& folder) {
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            failure = GetLastError();
    };
    for (std::size_t at = full.find(L'\\', 4); at != std::wstring::npos; at = full.find(L'\\', at + 1))
        create(full.substr(0, at));
    create(full);
    return failure;
}

// The volume and file number of an existing file or folder, opened without
// access rights so that no sharing mode stands in the way.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& information) {
    const std::wstring full = ExtendedPath(path);
    if (full.empty()) return false;
    const HANDLE handle = CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(handle, &information) != FALSE;
    CloseHandle(handle);
    return known;
}

}  // namespace

std::wstring ExtendedPath(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (wide.empty()) return std::wstring();
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    if (full.empty()) return std::wstring();
    full.resize(GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    if (full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

void UseAnsiCodePageForPaths() {
    const std::string codePage = "." + std::to_string(GetACP());
    std::setlocale(LC_CTYPE, codePage.c_str());
}

bool FitsAnsiCalls(const std::string& path) {
    if (path.size() >= kAnsiPathLimit) return false;
    const std::wstring full = ExtendedPath(path);
    return !full.empty() && full.size() - 4 < kAnsiPathLimit;  // without "\\?\"
}

std::string PathExtension(const std::string& path) {
    std::vector<char> buffer = ShellBuffer(path);
    return PathFindExtensionA(buffer.data());
}

std::string PathFolder(const std::string& path) {
    std::vector<char> buffer = ShellBuffer(path);
    PathRemoveFileSpecA(buffer.data());
    const std::string folder = buffer.data();
    if (folder.empty()) return ".";             // a bare name: the current folder
    if (IsDriveOnly(folder)) return folder + ".";  // "D:p1.bmp": the drive's current folder
    return folder;
}

std::string PathFileName(const std::string& path) {
    std::vector<char> buffer = ShellBuffer(path);
    return PathFindFileNameA(buffer.data());
}

std::string PathJoin(const std::string& folder, const std::string& name) {
    if (EndsWithSeparator(folder)) return folder + name;
    return folder + '\\' + name;
}

std::error_code MakeFolders(const std::string& path) {
    // The trailing separator makes the last component a folder to create too.
    // dbghelp's creator is given only paths it handles everywhere: within the
    // ANSI length limit and free of double-byte characters, whose second byte
    // may be 0x5C.
    DWORD failure = 0;
    if (FitsAnsiCalls(path) && IsSingleByteOnly(path)) {
        std::string folder = ShellBuffer(path).data();  // it splits at '\' only
        if (!EndsWithSeparator(folder)) folder += '\\';
        if (!MakeSureDirectoryPathExists(folder.c_str())) failure = GetLastError();
    } else {
        failure = MakeFoldersWide(path);
    }
    if (IsFolder(path)) return std::error_code();
    return std::error_code(failure != 0 ? static_cast<int>(failure) : ERROR_DIRECTORY, std::system_category());
}

bool IsFolder(const std::string& path) {
    if (path.empty()) return false;
    if (FitsAnsiCalls(path)) return PathIsDirectoryA(path.c_str()) != FALSE;
    return IsFolderWide(path);
}

bool IsSameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return FileIdentity(first, a) && FileIdentity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace platform

#endif
