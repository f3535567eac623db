// The few EXIF tags a page needs from a JPEG's APP1 segment: orientation and resolution.
#pragma once

#include <cstddef>
#include <cstdint>

namespace formats {

struct ExifTags {
    bool found = false;   // the segment is an EXIF one ("Exif\0\0"), whether or not its tags can be read
    int orientation = 1;  // 1 .. 8 as the tag states; 1 when absent or out of range
    double dpiX = 0.0;    // 0 when absent, zero or in no unit
    double dpiY = 0.0;
};

// `data`: an APP1 segment's contents ("Exif\0\0" and a TIFF structure). Reads
// IFD0 only; every offset is checked against `size`, and a segment that is no
// EXIF or is broken gives the defaults (found tells the two apart).
ExifTags ReadExifTags(const std::uint8_t* data, std::size_t size);

}  // namespace formats
