// What the readers share: the size check every page passes before its samples
// are allocated, the orientation transform, the alpha rule, and the decoders
// of each format behind OpenPageReader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/PageReader.h"

namespace formats {

// Refuses a width x height page outside 1 .. kMaxSide a side or above
// maxPixels pixels ("100000 x 100000 pixels: beyond the largest page ...").
// Readers call it as soon as the header is read, before the library sizes
// its own buffers from it.
void CheckPageSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels);

// CheckPageSize, then sizes page.samples for the page (width * height *
// channels bytes, computed in 64 bits) and sets the size fields. The one place
// a reader allocates pixels.
void AllocatePage(PageImage& page, std::int64_t width, std::int64_t height, int channels,
                  std::int64_t maxPixels);

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

std::unique_ptr<PageReader> OpenJpegReader(std::vector<std::uint8_t> bytes, std::int64_t maxPixels);
std::unique_ptr<PageReader> OpenPngReader(std::vector<std::uint8_t> bytes, std::int64_t maxPixels);
// Takes over `file` (closed with the reader) or `bytes` when `file` is null.
std::unique_ptr<PageReader> OpenTiffReader(std::FILE* file, std::uint64_t size, std::vector<std::uint8_t> bytes,
                                           std::int64_t maxPixels);
std::unique_ptr<PageReader> OpenBmpReader(const std::string& path);

}  // namespace formats
