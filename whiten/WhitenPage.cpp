// The tool's path: the page stage, and the one place where the job reuses memory.
#include "whiten/WhitenPage.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "array/UnclearedStorage.h"
#include "image/GrayConversion.h"

namespace {

// Writes each row's gray levels (GrayLevel, as BitmapToGray makes them) over
// the start of the row's own pixels.
GrayBytes GrayLevelsInPlace(CBmp24_<0>& image, int threads) {
    const std::int32_t width = image.Width();
    ParallelFor(image.Height(), threads, [&](std::int64_t y, int) {
        std::uint8_t* row = image.Row(static_cast<std::int32_t>(y));
        GrayLevelsOfRow(row, 3, width, row);
    });
    return {image.Pixels(), image.RowBytes(), width, image.Height()};
}

}  // namespace

ToneByteMap FlattenForToneBytes(const GrayBytes& gray, CArray2D<float>& plane, int threads) {
    std::vector<int> toneBins;
    FastFlattenOptions flattening;
    flattening.threads = threads;
    flattening.toneBins = &toneBins;
    FlattenBackgroundFast(gray, plane, flattening);
    return ToneByteMap(ToneCurve::FromBinCounts(std::move(toneBins)));
}

void WhitenPage(CBmp24_<0>& image, int threads) {
    UnclearedPlane flattened(image.Width(), image.Height());
    const GrayBytes gray = GrayLevelsInPlace(image, threads);
    const ToneByteMap toneBytes = FlattenForToneBytes(gray, flattened.plane, threads);
    // The gray levels are dead: the tone curve's bytes go straight into the
    // image's own storage (an image of the same size keeps it).
    GrayToBitmap(image, flattened.plane, threads,
                 [&toneBytes](const float* values, std::int32_t count, std::uint8_t* pixels) {
                     toneBytes.WritePixels(values, count, pixels);
                 });
}
