// The fresh headers of a 24-bit bitmap.
#include "image/BmpHeaders.h"

#include <cstring>

#include "image/BmpFields.h"
#include "image/BmpLayout.h"

namespace bmp {

void PutFreshHeaders24(std::uint8_t* headers, std::int32_t width, std::int32_t height) {
    std::memset(headers, 0, kHeadersSize);  // reserved, compression, sizes, resolution, colours: 0
    PutU16(headers + kBfType, kTypeBM);
    PutU32(headers + kBfOffBits, kHeadersSize);
    // Within the size limits this is below 2^32 (at most about 3.2e9; image/BmpLayout.cpp).
    PutU32(headers + kBfSize,
           static_cast<std::uint32_t>(RowBytes24(width) * std::int64_t{height} + std::int64_t{kHeadersSize}));
    std::uint8_t* info = headers + kFileHeaderSize;
    PutU32(info + kBiSize, kInfoHeaderSize);
    PutI32(info + kBiWidth, width);
    PutI32(info + kBiHeight, height);
    PutU16(info + kBiPlanes, 1);
    PutU16(info + kBiBitCount, 24);
}

}  // namespace bmp
