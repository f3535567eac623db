// A page writer whose start, commit and end take turns with every other
// writer of the process.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "formats/PageWriter.h"

// The interrupt cleanup behind every output file keeps process-wide state
// (the signal handlers, the one path an interrupt removes, the signal mask
// hold), made for one file at a time. So writers are started, committed and
// dropped one at a time, while their pages are encoded side by side.
class SerialWriter {
public:
    SerialWriter(std::mutex& lock, const std::string& path, OutputFormat format, const WriterOptions& options)
        : lock_(lock) {
        const std::lock_guard<std::mutex> guard(lock_);
        writer_ = CreatePageWriter(path, format, options);
    }
    ~SerialWriter() {
        const std::lock_guard<std::mutex> guard(lock_);
        writer_.reset();
    }
    SerialWriter(const SerialWriter&) = delete;
    SerialWriter& operator=(const SerialWriter&) = delete;

    void Add(const GrayImage& page) { writer_->Add(page); }
    void Commit() {
        const std::lock_guard<std::mutex> guard(lock_);
        writer_->Commit();
    }

private:
    std::mutex& lock_;
    std::unique_ptr<PageWriter> writer_;
};
