// The gray plane of a bitmap and back: the gray level of each pixel, and the
// byte of each plane value written three times into a 24-bit image.
#include "image/GrayConversion.h"

#include <cstdint>
#include <cstring>

#include "platform/ParallelFor.h"
#include "platform/VectorClones.h"

namespace {

constexpr std::int32_t kBlock = 64;  // pixels whose gray levels are formed at a time

// The levels of kBlock pixels of Step bytes, in vector lanes.
template <int Step>
WHITEN_VECTOR_CLONES void BlockLevels(const std::uint8_t* __restrict pixels, std::uint8_t* __restrict levels) {
    for (std::int32_t k = 0; k < kBlock; ++k) levels[k] = GrayLevel(pixels + Step * k);
}

// A row's levels a block at a time (through a copy, so that `levels` may be
// `pixels`), the rest pixel by pixel.
template <int Step>
void RowLevels(const std::uint8_t* pixels, std::int32_t count, std::uint8_t* levels) {
    std::int32_t first = 0;
    for (; first + kBlock <= count; first += kBlock) {
        std::uint8_t block[kBlock];
        BlockLevels<Step>(pixels + Step * static_cast<std::size_t>(first), block);
        std::memcpy(levels + first, block, kBlock);
    }
    for (; first < count; ++first) levels[first] = GrayLevel(pixels + Step * static_cast<std::size_t>(first));
}

// The low byte of the value truncated toward zero to a signed 32-bit integer.
// NaN, and values whose truncation lies outside the 32-bit range, stand for
// -2^31, whose low byte is 0. The range is tested first, in double, so no
// conversion is ever undefined.
inline std::uint8_t GrayByte(float value) {
    const double v = static_cast<double>(value);
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;  // also false for NaN
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) & 0xFFu);
}

}  // namespace

void GrayLevelsOfRow(const std::uint8_t* pixels, int step, std::int32_t count, std::uint8_t* levels) {
    if (step == 4) {
        RowLevels<4>(pixels, count, levels);
    } else {
        RowLevels<3>(pixels, count, levels);
    }
}

CArray2D<float>& BitmapToGray(CArray2D<float>& plane, const CBmp24_<0>& image, int threads) {
    const std::int32_t width = image.Width();
    const std::int32_t height = image.Height();
    plane.MatchBounds(0, width - 1, 0, height - 1);
    if (width == 0) return plane;
    ParallelFor(height, threads, [&](std::int64_t row, int) {
        const auto y = static_cast<std::int32_t>(row);
        const std::uint8_t* pixel = image.Row(y);
        float* gray = plane.Row(y);
        for (std::int32_t x = 0; x < width; ++x, pixel += 3) gray[x] = static_cast<float>(GrayLevel(pixel));
    });
    return plane;
}

CBmp24_<0>& GrayToBitmap(CBmp24_<0>& image, const CArray2D<float>& plane, int threads) {
    return GrayToBitmap(image, plane, threads, [](const float* values, std::int32_t count, std::uint8_t* pixels) {
        for (std::int32_t j = 0; j < count; ++j, pixels += 3) {
            const std::uint8_t byte = GrayByte(values[j]);
            pixels[0] = byte;
            pixels[1] = byte;
            pixels[2] = byte;
        }
    });
}

CBmp24_<0>& GrayToBitmap(CBmp24_<0>& image, const CArray2D<float>& plane, int threads, const GrayRowWriter& writeRow) {
    const std::int32_t width = plane.Width();
    const std::int32_t height = plane.Height();
    // Fresh headers; an image of the plane's size keeps its pixel storage (the
    // job makes the output in the input image's place). Every byte, padding
    // too, is written below.
    image.CreateForOverwrite(width, height);
    if (width == 0) return image;
    const std::size_t pixelBytes = 3 * static_cast<std::size_t>(width);
    const std::size_t padding = static_cast<std::size_t>(image.RowBytes()) - pixelBytes;
    ParallelFor(height, threads, [&](std::int64_t row, int) {
        const auto i = static_cast<std::int32_t>(row);
        std::uint8_t* pixels = image.Row(i);
        writeRow(plane.Row(plane.yFirst() + i), width, pixels);
        std::memset(pixels + pixelBytes, 0, padding);
    });
    return image;
}
