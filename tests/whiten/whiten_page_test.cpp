// The page stage against the reference pipeline on pages of many shapes, and
// its memory: whitening a page holds one float plane and little else at a
// time; the loaded image's own storage holds the gray levels and the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "image/CBmp24.h"
#include "support/allocation_watch.h"
#include "reference/Reference.h"
#include "whiten/WhitenPage.h"

namespace {

void CopyPixels(const CBmp24_<0>& from, CBmp24_<0>& to) {
    to.Create(from.Width(), from.Height());
    for (std::int32_t y = 0; y < from.Height(); ++y) std::copy_n(from.Row(y), from.RowBytes(), to.Row(y));
}

}  // namespace

// Every pixel and padding byte as the reference pipeline writes it. The page
// stage works on rows in blocks of pixels and on columns in blocks of lanes,
// so the shapes end inside, at and past a block each way, and run from single
// pixels to thin strips.
TEST(WhitenPage, WritesTheReferencePipelinesBytes) {
    const struct {
        std::int32_t width, height;
    } shapes[] = {{1, 1}, {1, 300}, {300, 1}, {2, 3}, {63, 65}, {64, 64}, {65, 17}, {130, 7}, {2480, 5}, {5, 2480},
                  {700, 500}};
    std::mt19937 random(23);
    for (const auto& shape : shapes) {
        // Paper lit unevenly with dark strokes; the three colour bytes differ.
        CBmp24_<0> page(CBmp24_<0>::empty);
        page.Create(shape.width, shape.height);
        for (std::int32_t y = 0; y < shape.height; ++y)
            for (std::int32_t x = 0; x < shape.width; ++x) {
                const int light = 140 + 90 * x / std::max(shape.width, 2) + static_cast<int>(random() % 9);
                const int level = random() % 11 == 0 ? light / 4 : light;
                for (int c = 0; c < 3; ++c) page.Row(y)[3 * x + c] = static_cast<std::uint8_t>(level + 7 * c - 7);
            }
        CBmp24_<0> reference(CBmp24_<0>::empty);
        CopyPixels(page, reference);
        WhitenPageReference(reference, 1);
        for (int threads : {1, 2, 7}) {
            SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height) + ", " +
                         std::to_string(threads) + " threads");
            CBmp24_<0> image(CBmp24_<0>::empty);
            CopyPixels(page, image);
            WhitenPage(image, threads);
            ASSERT_EQ(image.Width(), reference.Width());
            ASSERT_EQ(image.Height(), reference.Height());
            int rowsDiffering = 0;
            for (std::int32_t y = 0; y < shape.height; ++y)
                rowsDiffering += !std::equal(image.Row(y), image.Row(y) + image.RowBytes(), reference.Row(y));
            EXPECT_EQ(rowsDiffering, 0);
        }
    }
}

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
