// The file operations through which CBmp24_::Save writes. The program uses the
// platform's output file as it stands; tests install their own to make
// creating, writing or committing fail, or the process end, at a chosen point.
#pragma once

#include <cstddef>
#include <string>
#include <system_error>

#include "platform/OutputFile.h"

class BmpFileWriter {
public:
    virtual ~BmpFileWriter() = default;

    // Each gives the system's error, or none on success.
    virtual std::error_code Create(platform::OutputFile& file, const std::string& path);
    virtual std::error_code Write(platform::OutputFile& file, const void* data, std::size_t size);
    virtual std::error_code Commit(platform::OutputFile& file);
};

// The writer Save uses now.
BmpFileWriter& CurrentBmpFileWriter();

// Makes `writer` the current one for the lifetime of this object, then restores
// the previous one. For tests; not thread-safe.
class ScopedBmpFileWriter {
public:
    explicit ScopedBmpFileWriter(BmpFileWriter& writer);
    ~ScopedBmpFileWriter();
    ScopedBmpFileWriter(const ScopedBmpFileWriter&) = delete;
    ScopedBmpFileWriter& operator=(const ScopedBmpFileWriter&) = delete;

private:
    BmpFileWriter* previous_;
};
