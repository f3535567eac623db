// What the writers share: the page check and the output file whose failures
// are std::system_error naming the path and ending with the system's reason.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <system_error>

#include "formats/PageWriter.h"
#include "platform/OutputFile.h"

namespace formats {

// Throws std::invalid_argument for a null page, a page outside the limits
// (limits::PageSizeProblem) or a stride shorter than a row.
void CheckGrayImage(const GrayImage& page);

// The file a writer fills; complete or absent (platform::OutputFile).
class OutputSink {
public:
    explicit OutputSink(std::string path);  // creates it
    // For the libraries' write callbacks, which must not throw.
    std::error_code TryWrite(const void* data, std::size_t size) noexcept { return file_.Write(data, size); }
    void Write(const void* data, std::size_t size);
    void Commit();
    [[noreturn]] void Fail(const std::error_code& error) const;

private:
    std::string path_;
    platform::OutputFile file_;
};

// zlib's level and strategy and libpng's row filters (PNG_FILTER_* bits) for
// a PNG file; the writer's choice, and others for measuring against it.
struct PngSettings {
    int level;
    int strategy;
    int filters;
};
PngSettings ChosenPngSettings();
std::unique_ptr<PageWriter> CreatePngWriter(const std::string& path, const PngSettings& settings = ChosenPngSettings());
// libtiff's compression (COMPRESSION_*), its predictor and rows a strip.
struct TiffSettings {
    int compression;
    int predictor;
    int rowsPerStrip;
    int zipLevel;
};
TiffSettings ChosenTiffSettings();
std::unique_ptr<PageWriter> CreateTiffWriter(const std::string& path, const TiffSettings& settings = ChosenTiffSettings());
std::unique_ptr<PageWriter> CreateJpegWriter(const std::string& path, int quality);
std::unique_ptr<PageWriter> CreateBmpWriter(const std::string& path);

}  // namespace formats
