// Opening a page file for reading without ever waiting on it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

namespace platform {

// Opens `path` for binary reading when it is a regular file (links followed)
// and gives its size. The type and the size are taken from the open file
// itself, and the open does not wait for a named pipe's writer, so a pipe,
// device or folder is refused however the file is swapped between the steps.
// A file under a write lease is opened once its holder gives the lease up, as
// a plain open waits for it. On failure: nullptr, with `error` set to the
// system's error, EISDIR for a folder, or NotARegularFile() for a pipe or device.
std::FILE* OpenRegularFile(const std::string& path, std::uint64_t& size, std::error_code& error);

}  // namespace platform
