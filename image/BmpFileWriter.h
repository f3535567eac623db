// The file operations through which CBmp24_::Save writes. The program uses the
// standard ones; tests install their own to make creating, writing, closing or
// renaming fail at a chosen point.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class BmpFileWriter {
public:
    virtual ~BmpFileWriter() = default;

    // Creates a file that must not exist yet, for binary writing; nullptr on failure.
    virtual std::FILE* CreateNew(const std::string& path);
    // True when all `size` bytes were accepted.
    virtual bool Write(std::FILE* file, const void* data, std::size_t size);
    // Closes the file in every case; true when everything written reached it.
    virtual bool Close(std::FILE* file);
    // Moves `from` over `to`, replacing an existing `to` in one step.
    virtual bool Replace(const std::string& from, const std::string& to);
    virtual void Remove(const std::string& path);
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
