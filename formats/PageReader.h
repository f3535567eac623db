// Reading the pages of an image file: JPEG, PNG, TIFF (every page of a
// multi-page file) or the 24-bit bitmap the classic tool reads.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/PageImage.h"
#include "library/whiten.h"

// A page that cannot be whitened: a broken or truncated file, a picture beyond
// the size limits, a kind of picture that is refused. what() is the one-line
// reason shown to the user. The run goes on with the next page or file.
class PageRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A reader belongs to one thread at a time; different readers may decode at
// once on different threads (the libraries' messages go to each reader's own
// handlers, and no reader keeps global state).
class PageReader {
public:
    virtual ~PageReader() = default;
    // The number of pages in the file (1 but for multi-page TIFF).
    virtual int PageCount() const = 0;
    // Decodes page `index` (0-based, in file order) into `page`. Sizes are
    // checked against the whitening's limits before any pixel is allocated.
    // Throws PageRefused for that page alone; std::bad_alloc for storage.
    virtual void Read(int index, PageImage& page) = 0;
};

// Opens `path` and picks the reader by the file's first bytes, not its name.
// Throws PageRefused for a file that is no page of a known kind, and
// std::system_error (the system's reason) when the file cannot be opened or read.
std::unique_ptr<PageReader> OpenPageReader(const std::string& path);

// The same for a file held in memory (JPEG, PNG or TIFF; a bitmap is read from
// a path only), for fuzzing and tests. `maxPixels` lowers the pixel limit, so
// that a fuzzer's pages stay small.
std::unique_ptr<PageReader> OpenPageReaderFromMemory(std::vector<std::uint8_t> bytes,
                                                     std::int64_t maxPixels = whiten::kMaxPixels);
