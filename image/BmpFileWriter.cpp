// The standard writer (the platform's output file as it stands) and the switch
// by which tests put their own in its place.
#include "image/BmpFileWriter.h"

namespace {

BmpFileWriter standardWriter;
BmpFileWriter* currentWriter = &standardWriter;

}  // namespace

std::error_code BmpFileWriter::Create(platform::OutputFile& file, const std::string& path) {
    return file.Create(path);
}

std::error_code BmpFileWriter::Write(platform::OutputFile& file, const void* data, std::size_t size) {
    return file.Write(data, size);
}

std::error_code BmpFileWriter::Commit(platform::OutputFile& file) { return file.Commit(); }

BmpFileWriter& CurrentBmpFileWriter() { return *currentWriter; }

ScopedBmpFileWriter::ScopedBmpFileWriter(BmpFileWriter& writer) : previous_(currentWriter) {
    currentWriter = &writer;
}

ScopedBmpFileWriter::~ScopedBmpFileWriter() { currentWriter = previous_; }
