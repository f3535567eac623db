// Writing whitened gray pages: PNG, TIFF (one or many pages), JPEG, or the
// classic tool's 24-bit bitmap. A file is complete or absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class OutputFormat { Png, Tiff, Jpeg, Bmp };

struct WriterOptions {
    int jpegQuality = 90;
};

// A gray page to write: width x height bytes, row y at bytes + y * stride, top row first.
struct GrayImage {
    const std::uint8_t* bytes = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
    double dpiX = 0.0;  // 0: not stated in the output
    double dpiY = 0.0;
};

class PageWriter {
public:
    virtual ~PageWriter() = default;  // an uncommitted file is removed
    // Adds a page; only TIFF takes more than one (a second page for another
    // format is a std::logic_error). Throws std::invalid_argument for a page
    // outside the whitening's limits, PageRefused (formats/PageReader.h) for a
    // page the format cannot hold (a JPEG side above 65,500 pixels).
    virtual void Add(const GrayImage& page) = 0;
    // Finishes the file and gives it its name.
    virtual void Commit() = 0;
};

// Starts the file that becomes `path` once committed (written beside it, as
// the classic tool's outputs are). Errors of the system's calls throw
// std::system_error whose what() ends with the system's reason; a JPEG
// quality outside 1 .. 100 is a std::invalid_argument.
std::unique_ptr<PageWriter> CreatePageWriter(const std::string& path, OutputFormat format,
                                             const WriterOptions& options = {});
