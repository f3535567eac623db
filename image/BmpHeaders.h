// The fresh headers of a 24-bit bitmap, as the classic tool writes them before
// its rows: one place for CBmp24_ and whiten-pages' bitmap writer.
#pragma once

#include <cstdint>

namespace bmp {

// Fills the 54 bytes at `headers` (kHeadersSize, image/BmpFields.h) for a
// width x height page within limits::FitsLimits: rows bottom line first,
// padded to 4 bytes, right after the headers; no compression, no colour
// table, the resolution fields 0 ("unknown").
void PutFreshHeaders24(std::uint8_t* headers, std::int32_t width, std::int32_t height);

}  // namespace bmp
