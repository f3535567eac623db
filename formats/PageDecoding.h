// What the readers share: the size check every page passes before its samples
// are allocated, the page storage that grows with the rows decoded, the
// orientation transform, the alpha rule, and the decoders of each format
// behind OpenPageReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/PageReader.h"

namespace formats {

// Refuses a width x height page outside the limits (limits::PageSizeProblem)
// or above maxPixels pixels.
// Readers call it as soon as the header is read, before the library sizes
// its own buffers from it.
void CheckPageSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels);

// CheckPageSize, then makes `page` a width x height page of `channels`
// samples a pixel that holds no rows yet: the size fields are set and
// page.samples is empty. Rows are added as they are decoded (AddRows).
void StartPage(PageImage& page, std::int64_t width, std::int64_t height, int channels, std::int64_t maxPixels);

// Makes page.samples hold the page's first `rows` rows (at least as many as it
// holds) and gives the first row added; the new bytes are zero until written.
// The one place a reader allocates pixels: the storage grows with the rows
// decoded (doubling up to 1 MiB, then the whole page), so that a file whose
// data end or break after a few rows costs those rows, not the page its header
// declares.
std::uint8_t* AddRows(PageImage& page, std::int64_t rows);

// Rotates or mirrors `page` so that it is seen upright, for a TIFF or EXIF
// orientation value 1 .. 8 (1: as stored; 6: the stored page turned a quarter
// clockwise; other values are left as stored). Pages 5 .. 8 change sides.
void ApplyOrientation(PageImage& page, int orientation);

// Alpha is composited on white: a scan's transparent parts are paper where
// nothing was drawn, and a viewer shows them on a white page, while the colour
// bytes under them are often black, which the background estimate would take
// for a shadow. v' = (v * a + 255 * (255 - a) + 127) / 255; opaque pixels
// keep their bytes. Associated (premultiplied) alpha: v' = v + 255 - a.
inline std::uint8_t OnWhite(unsigned v, unsigned a) {
    return static_cast<std::uint8_t>((v * a + 255 * (255 - a) + 127) / 255);
}
inline std::uint8_t PremultipliedOnWhite(unsigned v, unsigned a) {
    const unsigned sum = v + 255 - a;
    return static_cast<std::uint8_t>(sum > 255 ? 255 : sum);
}

// CMYK to RGB for a plain (not inverted) 8-bit CMYK sample set:
// R = (255 - C)(255 - K) / 255, rounded. Adobe's inverted files store 255 - C
// and 255 - K, so they give R = C K / 255 (the caller inverts first).
inline std::uint8_t CmykToRgb(unsigned c, unsigned k) {
    return static_cast<std::uint8_t>(((255 - c) * (255 - k) + 127) / 255);
}

// Where a reader's file is: bytes held in memory, or a path opened again
// whenever a page is read, so that a reader opened long before it is read (to
// count the pages of a run) holds neither the file's bytes nor an open file.
struct FileSource {
    std::string path;                 // read from here when not empty
    std::vector<std::uint8_t> bytes;  // else these
};

// Opens `path` for reading and gives its size. Throws std::system_error with
// the system's reason, or PageRefused for what is not a regular file.
std::FILE* OpenForReading(const std::string& path, std::uint64_t& size);
// The source's bytes: its own, or its file's, read now into `loaded`; errors
// as OpenForReading's.
const std::vector<std::uint8_t>& SourceBytes(const FileSource& source, std::vector<std::uint8_t>& loaded);

std::unique_ptr<PageReader> OpenJpegReader(FileSource source, std::int64_t maxPixels);
std::unique_ptr<PageReader> OpenPngReader(FileSource source, std::int64_t maxPixels);
// `opened`: the source's file, open already, on which the pages are counted;
// the reader does not keep it.
std::unique_ptr<PageReader> OpenTiffReader(FileSource source, std::int64_t maxPixels, std::FILE* opened = nullptr,
                                           std::uint64_t size = 0);
std::unique_ptr<PageReader> OpenBmpReader(const std::string& path);

}  // namespace formats
