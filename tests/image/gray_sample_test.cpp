// The bundled sample page, coloured, through the gray conversion and back, as
// the job did before the whitening existed: a gray 24-bit image of the same
// size and row order, every pixel's three bytes the truncated mean of the input
// pixel.
#include <gtest/gtest.h>

#include "image/CBmp24.h"
#include "image/GrayConversion.h"
#include "support/golden.h"
#include "support/temp_dir.h"

TEST(GrayConversion, SamplePageComesBackGrayWithTruncatedMeans) {
    const std::string sample = testsupport::DataPath("../../samples/page.bmp");
    CBmp24_<0> input;
    ASSERT_TRUE(input.IsThisType(sample));
    input.Load(sample);
    // The page is gray; green and red are moved 85 and 170 above blue (mod 256),
    // so the three bytes of every pixel differ and their sums leave every
    // remainder by 3: a byte read from the wrong place or a wrong divisor shows.
    for (std::int32_t y = 0; y < input.Height(); ++y) {
        for (std::uint8_t* pixel = input.Row(y); pixel < input.Row(y) + 3 * input.Width(); pixel += 3) {
            pixel[1] = static_cast<std::uint8_t>(pixel[0] + 85);
            pixel[2] = static_cast<std::uint8_t>(pixel[0] + 170);
        }
    }
    CArray2D<float> plane;
    BitmapToGray(plane, input);
    CBmp24_<0> output(CBmp24_<0>::empty);
    GrayToBitmap(output, plane);

    testsupport::TempDir dir;
    output.Save(dir / "page.bmp");
    CBmp24_<0> written;
    written.Load(dir / "page.bmp");
    ASSERT_EQ(written.Width(), input.Width());
    ASSERT_EQ(written.Height(), input.Height());
    ASSERT_EQ(written.RowBytes(), input.RowBytes());
    for (std::int32_t y = 0; y < input.Height(); ++y) {
        for (std::int32_t x = 0; x < input.Width(); ++x) {
            const std::uint8_t* in = input.Row(y) + 3 * x;
            const std::uint8_t* out = written.Row(y) + 3 * x;
            const int mean = (in[0] + in[1] + in[2]) / 3;
            ASSERT_EQ(out[0], mean) << x << ", " << y;
            ASSERT_EQ(out[1], mean) << x << ", " << y;
            ASSERT_EQ(out[2], mean) << x << ", " << y;
        }
    }
}
