// Conversion between 24-bit images and gray planes: means, bounds, byte
// conversion of plane values, padding, row order, and a round trip through a file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "array/CArray2D.h"
#include "image/CBmp24.h"
#include "image/GrayConversion.h"
#include "support/counting_plane.h"
#include "support/temp_dir.h"

namespace {

using Image = CBmp24_<0>;
using Plane = CArray2D<float>;

using testsupport::CountingPlane;

void SetPixel(Image& image, std::int32_t x, std::int32_t y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    std::uint8_t* pixel = image.Row(y) + 3 * x;
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
}

void PutLe(std::string& bytes, std::size_t offset, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A bottom-up 24-bit file with a 54-byte header; `rows` are the stored rows
// without padding, row 0 first.
std::string BitmapFile(std::int32_t width, const std::vector<std::vector<std::uint8_t>>& rows,
                       std::uint8_t paddingByte) {
    const std::int32_t rowBytes = (3 * width + 3) / 4 * 4;
    const auto height = static_cast<std::int32_t>(rows.size());
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLe(bytes, 2, static_cast<std::uint32_t>(54 + rowBytes * height), 4);
    PutLe(bytes, 10, 54, 4);
    PutLe(bytes, 14, 40, 4);
    PutLe(bytes, 18, static_cast<std::uint32_t>(width), 4);
    PutLe(bytes, 22, static_cast<std::uint32_t>(height), 4);
    PutLe(bytes, 26, 1, 2);
    PutLe(bytes, 28, 24, 2);
    for (const auto& row : rows) {
        bytes.append(row.begin(), row.end());
        bytes.append(static_cast<std::size_t>(rowBytes - 3 * width), static_cast<char>(paddingByte));
    }
    return bytes;
}

TEST(BitmapToGray, TruncatedMeans) {
    struct Case {
        std::uint8_t blue, green, red;
        float gray;
    };
    const Case cases[] = {
        {0, 0, 2, 0.0f}, {1, 1, 2, 1.0f}, {255, 255, 254, 254.0f}, {255, 255, 255, 255.0f},
        {0, 0, 0, 0.0f}, {2, 0, 0, 0.0f}, {0, 200, 100, 100.0f},   {10, 20, 31, 20.0f},
    };
    Image image(Image::empty);
    image.Create(static_cast<std::int32_t>(std::size(cases)), 1);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        SetPixel(image, static_cast<std::int32_t>(i), 0, cases[i].blue, cases[i].green, cases[i].red);
    Plane plane;
    EXPECT_EQ(&BitmapToGray(plane, image), &plane);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(plane.Get(static_cast<std::int32_t>(i), 0), c.gray)
            << "B " << +c.blue << ", G " << +c.green << ", R " << +c.red;
    }
}

TEST(BitmapToGray, RowsInFileOrderPastThePadding) {
    // 3 pixels per row: 9 bytes of pixels and 3 of padding in each 12-byte row.
    Image image(Image::empty);
    image.Create(3, 2);
    for (std::int32_t y = 0; y < 2; ++y)
        for (std::int32_t x = 0; x < 3; ++x) {
            const auto v = static_cast<std::uint8_t>(10 * (3 * y + x));
            SetPixel(image, x, y, v, v, v);
        }
    Plane plane;
    BitmapToGray(plane, image);
    ASSERT_EQ(plane.elementCount(), 6);
    const std::vector<float> values(plane.elements(), plane.elements() + 6);
    EXPECT_EQ(values, (std::vector<float>{0, 10, 20, 30, 40, 50}));
    EXPECT_EQ(plane.Get(0, 1), 30.0f);  // row 1 of the file is y = 1
}

TEST(BitmapToGray, BoundsRelabelledOrResized) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;  // the plane before
        std::int32_t width, height;                 // the image
        bool relabelled;
    };
    const Case cases[] = {
        {"same extents, other bounds", -2, 1, 5, 7, 4, 3, true},
        {"default plane, 1 x 1 image", 0, 0, 0, 0, 1, 1, true},
        {"same count, transposed", 0, 2, 0, 3, 4, 3, false},
        {"other size", 0, 9, 0, 9, 4, 3, false},
        {"empty image", 0, 3, 0, 2, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingPlane plane(c.xFirst, c.xLast, c.yFirst, c.yLast);
        const float* storage = plane.elements();
        plane.resizeCalls = 0;
        Image image(Image::empty);
        image.Create(c.width, c.height);
        BitmapToGray(plane, image);
        EXPECT_EQ(plane.xFirst(), 0);
        EXPECT_EQ(plane.xLast(), c.width - 1);
        EXPECT_EQ(plane.yFirst(), 0);
        EXPECT_EQ(plane.yLast(), c.height - 1);
        EXPECT_EQ(plane.resizeCalls, c.relabelled ? 0 : 1);
        if (c.relabelled) {
            EXPECT_EQ(plane.elements(), storage);
            EXPECT_EQ(plane.origin(), 0);  // element (0, 0) is the first element
        }
    }
}

TEST(GrayToBitmap, ByteOfEachValue) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        float value;
        std::uint8_t byte;
    };
    const Case cases[] = {
        {"254.99", 254.99f, 254},
        {"0.7", 0.7f, 0},
        {"255", 255.0f, 255},
        {"256 wraps", 256.0f, 0},
        {"-1 wraps", -1.0f, 255},
        {"-0.7 truncates to 0", -0.7f, 0},
        {"-0", -0.0f, 0},
        {"-255", -255.0f, 1},
        {"511.9", 511.9f, 255},
        {"NaN", nan, 0},
        {"+inf", inf, 0},
        {"-inf", -inf, 0},
        {"3.0e9", 3.0e9f, 0},
        {"-3.0e9", -3.0e9f, 0},
        {"2^31 is out of range", 2147483648.0f, 0},
        {"largest float below 2^31", 2147483520.0f, 0x80},
        {"-2^31 is in range", -2147483648.0f, 0},
        {"-2^31 + 128", -2147483520.0f, 0x80},
        {"1e-30", 1e-30f, 0},
    };
    Plane plane(0, static_cast<std::int32_t>(std::size(cases)) - 1, 0, 0);
    for (std::size_t i = 0; i < std::size(cases); ++i) plane.Set(static_cast<std::int32_t>(i), 0, cases[i].value);
    Image image;
    EXPECT_EQ(&GrayToBitmap(image, plane), &image);
    ASSERT_EQ(image.Width(), static_cast<std::int32_t>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::uint8_t* pixel = image.Row(0) + 3 * i;
        EXPECT_EQ(pixel[0], cases[i].byte);
        EXPECT_EQ(pixel[1], cases[i].byte);
        EXPECT_EQ(pixel[2], cases[i].byte);
    }
}

TEST(GrayToBitmap, NewImageOfThePlaneExtents) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;
        std::int32_t rowBytes;
    };
    const Case cases[] = {
        {"centred 3 x 2, 3 padding bytes", -1, 1, -1, 0, 12},
        {"4 x 3 from 0, no padding", 0, 3, 0, 2, 12},
        {"1 x 1", 7, 7, -7, -7, 4},
        {"5 x 1", -2, 2, 0, 0, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Plane plane(c.xFirst, c.xLast, c.yFirst, c.yLast);
        for (std::int32_t i = 0; i < plane.elementCount(); ++i) plane.elements()[i] = static_cast<float>(i + 1);
        Image image(Image::empty);
        image.Create(9, 9);  // replaced entirely
        image.Row(0)[0] = 0xEE;
        GrayToBitmap(image, plane);
        const std::int32_t width = plane.Width();
        ASSERT_EQ(image.Width(), width);
        ASSERT_EQ(image.Height(), plane.Height());
        ASSERT_EQ(image.RowBytes(), c.rowBytes);
        for (std::int32_t i = 0; i < image.Height(); ++i) {
            const std::uint8_t* row = image.Row(i);
            for (std::int32_t j = 0; j < width; ++j) {
                const auto expected = static_cast<std::uint8_t>(i * width + j + 1);
                EXPECT_EQ(row[3 * j], expected) << "row " << i << ", pixel " << j;
                EXPECT_EQ(row[3 * j + 1], expected);
                EXPECT_EQ(row[3 * j + 2], expected);
            }
            for (std::int32_t k = 3 * width; k < c.rowBytes; ++k) EXPECT_EQ(row[k], 0) << "padding byte " << k;
        }
    }

    const Plane empty(0, -1, 0, 4);
    Image image;
    GrayToBitmap(image, empty);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_EQ(image.RowBytes(), 0);
}

// An image of the plane's size keeps its pixel block, which is not cleared
// first: every pixel comes from the row writer and every padding byte is 0.
TEST(GrayToBitmap, RowWriterOnAReusedBlock) {
    Plane plane(0, 4, 0, 2);  // 5 x 3: 15 pixel bytes and 1 padding byte a row
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) plane.elements()[i] = static_cast<float>(i);
    Image image(Image::empty);
    image.Create(5, 3);
    const std::uint8_t* block = image.Pixels();
    std::memset(image.Pixels(), 0xEE, static_cast<std::size_t>(image.RowBytes()) * 3);
    GrayToBitmap(image, plane, 2, [](const float* values, std::int32_t count, std::uint8_t* pixels) {
        for (std::int32_t j = 0; j < count; ++j)
            for (int k = 0; k < 3; ++k) pixels[3 * j + k] = static_cast<std::uint8_t>(100 + values[j]);
    });
    ASSERT_EQ(image.Pixels(), block);
    ASSERT_EQ(image.RowBytes(), 16);
    for (std::int32_t i = 0; i < 3; ++i) {
        const std::uint8_t* row = image.Row(i);
        for (std::int32_t j = 0; j < 15; ++j) EXPECT_EQ(row[j], 100 + i * 5 + j / 3) << "row " << i << ", byte " << j;
        EXPECT_EQ(row[15], 0) << "padding of row " << i;
    }
}

TEST(GrayConversion, LoadGrayBitmapRoundTrip) {
    // 3 x 2 page with colour pixels and non-zero padding in the file.
    const std::vector<std::vector<std::uint8_t>> rows = {
        {0, 0, 2, 1, 1, 2, 255, 255, 254},
        {10, 20, 30, 200, 100, 0, 7, 8, 9},
    };
    const std::vector<std::vector<std::uint8_t>> grayRows = {
        {0, 0, 0, 1, 1, 1, 254, 254, 254},
        {20, 20, 20, 100, 100, 100, 8, 8, 8},
    };
    testsupport::TempDir folder;
    testsupport::WriteFile(folder / "page.bmp", BitmapFile(3, rows, 0xAB));

    Image input;
    input.Load(folder / "page.bmp");
    Plane plane;
    BitmapToGray(plane, input);
    Image output(Image::empty);
    GrayToBitmap(output, plane);
    EXPECT_EQ(output.Width(), input.Width());
    EXPECT_EQ(output.Height(), input.Height());
    EXPECT_EQ(output.RowBytes(), input.RowBytes());
    output.Save(folder / "gray.bmp");
    EXPECT_EQ(testsupport::ReadFile(folder / "gray.bmp"), BitmapFile(3, grayRows, 0));
}

}  // namespace
