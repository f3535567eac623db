// Path operations of the per-file job on 8-bit path strings, with the platform's
// own separator. Each platform provides one implementation of this header.
#pragma once

#include <string>
#include <system_error>

namespace platform {

// Extension of the last path component, its "." included; empty when that
// component has no ".".
std::string PathExtension(const std::string& path);

// Folder part: the path without its last component and the separator before it.
// A bare name gives the current folder "."; a name directly under the root gives
// the root itself.
std::string PathFolder(const std::string& path);

// Last path component: everything after the last separator.
std::string PathFileName(const std::string& path);

// folder, separator, name; a folder that already ends in a separator (the root)
// gets no second one.
std::string PathJoin(const std::string& folder, const std::string& name);

// Creates every folder along the path that does not exist yet. No error when the
// path names a folder afterwards; otherwise the system's error of the creation
// that failed, so that the caller can say why.
std::error_code MakeFolders(const std::string& path);

// True exactly when the path names an existing folder (links followed).
bool IsFolder(const std::string& path);

// True when both paths name one existing file (links followed): the same
// device and file number, whatever the names, links and folders between.
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace platform
