// libtiff over this program's own streams: a file read at offsets, bytes in
// memory, or a growing buffer written in memory; the library's errors and
// warnings go to the stream's own handlers, never to the terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <tiffio.h>

namespace formats {

struct TiffStream {
    std::FILE* file = nullptr;               // read at offsets when set
    const std::uint8_t* data = nullptr;      // else read from memory
    std::vector<std::uint8_t>* out = nullptr;  // else written here, from file offset `base` on
    std::uint64_t base = 0;                    // the bytes before it are final and gone
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    std::string error;  // the first error libtiff reported since it was cleared
    // The first warning since it was cleared that means the page lost data:
    // libtiff went on without a field the page needs (a colour map, strip
    // offsets, sample sizes ...), could not read a field (the file is cut
    // short), or its JPEG decoder met damaged data. Warnings about fields a
    // page does without (unknown tags, text not ended by NUL) are not kept.
    std::string lostData;
    bool outOfMemory = false;  // the written buffer could not grow
};

// TIFFClientOpenExt over `stream` ("r" or "w"); null with stream.error set on
// failure. libtiff allocates no single block above maxAllocation bytes.
TIFF* OpenTiff(TiffStream& stream, const char* mode, std::uint64_t maxAllocation);

// Whether the current directory of `tiff`, read through `stream`, declares a
// palette page in the file itself. libtiff reads a palette page that has no
// ColorMap as gray or RGB samples without a word, which would whiten the
// palette's indices as if they were levels.
bool DeclaresPalette(TIFF* tiff, TiffStream& stream);

}  // namespace formats
