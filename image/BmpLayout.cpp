// The check of bitmap headers against the file's size, and the pixel layout it gives.
#include "image/BmpLayout.h"

#include <cstdint>
#include <limits>

#include "array/ArraySize.h"
#include "image/BmpFields.h"
#include "image/BmpFileBroken.h"

namespace bmp {

// A page the headers pass fits every block the job makes for it, so that no
// page is refused for its size once loaded. The gray plane is the binding one;
// the stored rows (at most 3 x width + 3 bytes each) give bfSize.
static_assert(limits::kMaxPixels <= arraysize::MaxElements<float>(), "the gray plane holds every pixel");
static_assert(3 * limits::kMaxPixels + 3 * limits::kMaxSide + std::int64_t{kHeadersSize} <=
                  std::int64_t{std::numeric_limits<std::uint32_t>::max()},
              "bfSize fits 32 bits");

PixelLayout CheckLayout(const std::uint8_t* headers, std::uint64_t fileSize) {
    if (fileSize < kHeadersSize) throw BmpFileBroken("file is shorter than its headers");
    const std::uint8_t* info = headers + kFileHeaderSize;

    // 64-bit from here on: a negative biHeight of -2^31 must not be negated in 32 bits.
    const std::int64_t width = GetI32(info + kBiWidth);
    std::int64_t height = GetI32(info + kBiHeight);
    if (width <= 0 || height == 0) throw BmpFileBroken("width or height is not positive");
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (!limits::FitsLimits(width, height)) throw BmpFileBroken("image is too large");

    PixelLayout layout;
    layout.width = static_cast<std::int32_t>(width);
    layout.height = static_cast<std::int32_t>(height);
    layout.topDown = topDown;
    layout.bytesPerPixel = GetU16(info + kBiBitCount) == 32 ? 4 : 3;
    layout.rowBytes = static_cast<std::int32_t>(RowBytes24(width));
    layout.fileRowBytes = layout.bytesPerPixel == 4 ? static_cast<std::uint64_t>(4 * width)
                                                    : static_cast<std::uint64_t>(layout.rowBytes);
    layout.pixelBytes = static_cast<std::uint64_t>(layout.rowBytes) * static_cast<std::uint64_t>(height);

    // Larger headers and colour tables put the rows further on; an offset inside
    // the 54 header bytes cannot be meant and the rows are taken to follow them.
    const std::uint64_t offBits = GetU32(headers + kBfOffBits);
    layout.dataOffset = offBits > kHeadersSize ? offBits : kHeadersSize;
    if (layout.dataOffset > fileSize) throw BmpFileBroken("pixel data offset is beyond the end of the file");
    const std::uint64_t dataBytes = layout.fileRowBytes * static_cast<std::uint64_t>(height);
    if (dataBytes > fileSize - layout.dataOffset) throw BmpFileBroken("pixel data is truncated");
    return layout;
}

}  // namespace bmp
