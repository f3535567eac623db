// What the writers share: the page check, the output file whose failures are
// std::system_error naming the path and ending with the system's reason, the
// one-page file's bookkeeping and the clamping of resolutions.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A file of one page (PNG, JPEG, BMP): the page is taken once, checked, and
// encoded into the sink; a second page, or a commit without one, is a
// std::logic_error naming the format.
class SinglePageWriter : public PageWriter {
public:
    SinglePageWriter(const std::string& path, const char* format) : sink_(path), format_(format) {}
    void Add(const GrayImage& page) final;
    void Commit() final;

protected:
    // Throws PageRefused for a page the format cannot hold; such a page is not taken.
    virtual void CheckFormatHolds(const GrayImage&) const {}
    virtual void Encode(const GrayImage& page, OutputSink& sink) = 0;

private:
    OutputSink sink_;
    const char* format_;
    bool added_ = false;
};

// Whether the page's resolution is stated in the output: both sides positive
// (a NaN is not).
bool StatesResolution(const GrayImage& page);
// `value` (a resolution in the format's unit) clamped to the range its field
// holds, then rounded: an out-of-range resolution is never wrapped.
long RoundedWithin(double value, long lowest, long highest);

// ISA-L's level (0 .. 3) and the row filter (the same for every row) for a
// PNG file: the writer's choice, and others for measuring against it.
enum class PngFilter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };
struct PngSettings {
    int level;
    PngFilter filter;
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
