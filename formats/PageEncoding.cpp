// The writers' shared parts and CreatePageWriter, which picks the format's writer.
#include "formats/PageEncoding.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "image/PageLimits.h"

namespace formats {

void CheckGrayImage(const GrayImage& page) {
    if (page.bytes == nullptr) throw std::invalid_argument("a gray page without bytes");
    const std::string problem = limits::PageSizeProblem(page.width, page.height);
    if (!problem.empty()) throw std::invalid_argument("a gray page of " + problem);
    if (page.stride < page.width) throw std::invalid_argument("a gray page's stride is shorter than its rows");
}

OutputSink::OutputSink(std::string path) : path_(std::move(path)) {
    if (const std::error_code error = file_.Create(path_)) Fail(error);
}

void OutputSink::Write(const void* data, std::size_t size) {
    if (const std::error_code error = file_.Write(data, size)) Fail(error);
}

void OutputSink::Commit() {
    if (const std::error_code error = file_.Commit()) Fail(error);
}

void OutputSink::Fail(const std::error_code& error) const {
    throw std::system_error(error, "can't write " + path_);
}

void SinglePageWriter::Add(const GrayImage& page) {
    if (added_) throw std::logic_error(std::string("a ") + format_ + " file holds one page");
    CheckGrayImage(page);
    CheckFormatHolds(page);
    added_ = true;
    Encode(page, sink_);
}

void SinglePageWriter::Commit() {
    if (!added_) throw std::logic_error(std::string("a ") + format_ + " file without its page");
    sink_.Commit();
}

bool StatesResolution(const GrayImage& page) { return page.dpiX > 0 && page.dpiY > 0; }

// Clamped before rounding: std::lround of a value beyond long (or of infinity) is undefined.
long RoundedWithin(double value, long lowest, long highest) {
    return std::lround(std::clamp(value, static_cast<double>(lowest), static_cast<double>(highest)));
}

}  // namespace formats

std::unique_ptr<PageWriter> CreatePageWriter(const std::string& path, OutputFormat format,
                                             const WriterOptions& options) {
    switch (format) {
        case OutputFormat::Png: return formats::CreatePngWriter(path);
        case OutputFormat::Tiff: return formats::CreateTiffWriter(path);
        case OutputFormat::Jpeg:
            if (options.jpegQuality < 1 || options.jpegQuality > 100)
                throw std::invalid_argument("JPEG quality is 1 .. 100");
            return formats::CreateJpegWriter(path, options.jpegQuality);
        case OutputFormat::Bmp: return formats::CreateBmpWriter(path);
    }
    throw std::invalid_argument("unknown output format");
}
