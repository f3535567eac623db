// Reading the pages of an image file: JPEG, PNG, TIFF (every page of a
// multi-page file) or the 24-bit bitmap the classic tool reads.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/PageImage.h"
#include "image/PageLimits.h"

// A page that cannot be whitened: a broken or truncated file, a picture beyond
// the size limits, a kind of picture that is refused. what() is the one-line
// reason shown to the user. The run goes on with the next page or file.
class PageRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that is no page at all by its first bytes (empty, or of no kind the
// readers know), so that a folder's other files can be passed over quietly.
class NotAPageFile : public PageRefused {
public:
    using PageRefused::PageRefused;
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

// What pages become (PageImage: 1 channel for gray, 3 for colour):
//   16-bit samples keep their high byte (v >> 8); palettes are expanded to
//   their colours; 2- and 4-bit gray PNG is scaled to 8 bits; alpha (and a
//   PNG's transparent colour) is composited on white, v' = (v a + 255 (255 -
//   a) + 127) / 255, so opaque pixels keep their bytes; CMYK (JPEG, TIFF)
//   becomes RGB as R = (255 - C)(255 - K) / 255, Adobe's inverted JPEG
//   samples inverted first; a JPEG's EXIF orientation and a TIFF's
//   Orientation tag turn the page upright. Refused, each with its line:
//   1-bit pages ("1-bit page: nothing to whiten"), other bit depths, signed
//   or floating-point samples, separate colour planes, YCbCr TIFF that is not
//   JPEG-compressed, bitmaps of other than 24 bits, a truncated or damaged
//   file: a JPEG whose data end early is refused, not padded with gray, and
//   so is a page the library read only in part (libjpeg's corrupt-data
//   warnings, a PNG's unreadable transparency, a TIFF field the page needs
//   that libtiff dropped).
//   Resolution: JFIF density, else EXIF X/YResolution; PNG pHYs; TIFF
//   X/YResolution with ResolutionUnit; a bitmap's pixels per metre.

// Opens `path` and picks the reader by the file's first bytes, not its name;
// a TIFF file's pages are counted on that same opening. The reader holds no
// open file and none of its bytes: the file is opened again when a page is
// read (a TIFF file once for all its pages). Throws NotAPageFile for a file
// that is no page of a known kind, and std::system_error (the system's
// reason) when the file cannot be opened or read.
std::unique_ptr<PageReader> OpenPageReader(const std::string& path);

// The same for a file held in memory (JPEG, PNG or TIFF; a bitmap is read from
// a path only), for fuzzing and tests. `maxPixels` lowers the pixel limit, so
// that a fuzzer's pages stay small.
std::unique_ptr<PageReader> OpenPageReaderFromMemory(std::vector<std::uint8_t> bytes,
                                                     std::int64_t maxPixels = limits::kMaxPixels);
