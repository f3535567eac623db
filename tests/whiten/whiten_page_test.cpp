// The page stage's memory: whitening a page holds one float plane and little
// else at a time; the loaded image's own storage holds the gray levels and the
// output.
#include <gtest/gtest.h>

#include <cstdint>

#include "image/CBmp24.h"
#include "support/allocation_watch.h"
#include "whiten/WhitenPage.h"

TEST(WhitenPage, HoldsOneFloatPlaneAndLittleElseOnAnA4Page) {
    const std::int32_t width = 2480, height = 3508;  // 300 dpi
    CBmp24_<0> image(CBmp24_<0>::empty);
    image.Create(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < 3 * width; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(150 + (x * y) % 90);
    const std::uint8_t* pixels = image.Pixels();
    const auto pagePixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t bytes = testsupport::PeakBytesHeldBy([&] { WhitenPage(image, 2); });
    // The plane, 4 bytes a pixel, and the flattening's working sets; a byte copy
    // of the page (1 byte a pixel) or a new output image would not fit.
    EXPECT_GE(bytes, 4 * pagePixels);
    EXPECT_LT(bytes, 4 * pagePixels + pagePixels / 2) << bytes - 4 * pagePixels;
    EXPECT_EQ(image.Pixels(), pixels);
}
