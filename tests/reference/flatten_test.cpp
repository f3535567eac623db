// Background flattening: padded sizes, window half-size, the plane arithmetic,
// the pages whose result is known in closed form, and the golden vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "support/golden.h"
#include "reference/FlattenBackground.h"
#include "whiten/FlatteningSizes.h"
#include "reference/PlaneArithmetic.h"

using testsupport::GoldenReader;
using testsupport::Hex;
using testsupport::SameFloat;

namespace {

CArray2D<float> PageOf(std::int32_t width, std::int32_t height, const std::vector<float>& values) {
    CArray2D<float> plane(0, width - 1, 0, height - 1);
    std::copy(values.begin(), values.end(), plane.elements());
    return plane;
}

}  // namespace

TEST(FlattenBackground, PaddedSizesAndWindowHalfSizes) {
    const struct {
        std::int32_t extent, padded;
    } sizes[] = {{1, 1}, {2, 2}, {3, 4}, {1023, 1024}, {1024, 1024}, {1025, 2048}, {2480, 4096}};
    for (const auto& s : sizes) EXPECT_EQ(PaddedSize(s.extent), s.padded) << s.extent;

    const struct {
        std::int32_t m, n, half;
    } windows[] = {{256, 256, 0},    {512, 2, 1},    {2, 1024, 2},   {2048, 1024, 5},
                   {4096, 4096, 10}, {8192, 16, 20}, {32768, 1, 81}, {1, 65536, 163}};
    for (const auto& w : windows) EXPECT_EQ(WindowHalfSize(w.m, w.n), w.half) << w.m << " x " << w.n;
}

TEST(PlaneArithmetic, MaxAbsDivideByMultiplyBy) {
    EXPECT_EQ(MaxAbs(PageOf(2, 1, {-3.0f, 2.0f})), 3.0f);
    EXPECT_EQ(MaxAbs(PageOf(1, 1, {0.0f})), 0.0f);
    EXPECT_EQ(MaxAbs(PageOf(3, 1, {1.0f, std::nanf(""), -2.0f})), 2.0f);
    EXPECT_TRUE(std::isnan(MaxAbs(PageOf(2, 1, {std::nanf(""), 5.0f}))));

    CArray2D<float> plane = PageOf(3, 1, {6.0f, 5.0f, 4.0f});
    DivideBy(plane, PageOf(3, 1, {2.0f, 0.0f, -8.0f}));
    EXPECT_EQ(plane(0, 0), 3.0f);
    EXPECT_EQ(plane(1, 0), 0.0f);
    EXPECT_EQ(plane(2, 0), -0.5f);

    // The divisor covers only x 0..1: the element beyond it comes out 0.
    CArray2D<float> wide = PageOf(3, 1, {6.0f, 5.0f, 4.0f});
    DivideBy(wide, PageOf(2, 1, {2.0f, 5.0f}));
    EXPECT_EQ(wide(2, 0), 0.0f);

    CArray2D<std::complex<float>> window(0, 1, 0, 0);
    window(0, 0) = {2.0f, 0.0f};
    window(1, 0) = {2.0f, 0.0f};
    CArray2D<std::complex<float>> spectrum(0, 0, 0, 0);
    spectrum(0, 0) = {3.0f, 4.0f};
    MultiplyBy(window, spectrum);
    EXPECT_EQ(window(0, 0), std::complex<float>(6.0f, 8.0f));
    EXPECT_EQ(window(1, 0), std::complex<float>(0.0f, 0.0f));
}

TEST(FlattenBackground, PagesWithKnownResults) {
    const struct {
        const char* name;
        std::int32_t width, height;
        float value;
    } pages[] = {
        {"uniform, window of 1 point", 200, 120, 173.0f},
        {"uniform, window of 3 x 3", 600, 40, 201.0f},
        {"one pixel", 1, 1, 99.0f},
        {"all zero", 37, 21, 0.0f},
    };
    for (const auto& p : pages) {
        CArray2D<float> plane =
            PageOf(p.width, p.height, std::vector<float>(static_cast<std::size_t>(p.width) * p.height, p.value));
        FlattenBackground(plane);
        EXPECT_EQ(plane.Width(), p.width) << p.name;
        EXPECT_EQ(plane.Height(), p.height) << p.name;
        EXPECT_EQ(plane.xFirst(), -(p.width / 2)) << p.name;
        EXPECT_EQ(plane.yFirst(), -(p.height / 2)) << p.name;
        for (std::int32_t i = 0; i < plane.elementCount(); ++i) {
            ASSERT_TRUE(SameFloat(p.value, plane.elements()[i])) << p.name << " element " << i;
        }
    }
    CArray2D<float> empty(0, -1, 0, 4);
    EXPECT_THROW(FlattenBackground(empty), std::string);
}

TEST(FlattenBackground, ReproducesGoldenVectorsBitForBit) {
    GoldenReader in(testsupport::DataPath("golden/flatten.txt"));
    int caseIndex = 0;
    while (!in.AtEnd()) {
        in.Expect("flatten");
        const auto w = static_cast<std::int32_t>(in.Int());
        const auto h = static_cast<std::int32_t>(in.Int());
        const auto m = static_cast<std::int32_t>(in.Int());
        const auto n = static_cast<std::int32_t>(in.Int());
        const auto b = static_cast<std::int32_t>(in.Int());
        const float largest = in.Float();
        const auto count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        in.Expect("input");
        CArray2D<float> plane = PageOf(w, h, in.Floats(count));
        in.Expect("background");
        const std::vector<float> background = in.Floats(count);
        in.Expect("output");
        const std::vector<float> expected = in.Floats(count);

        SCOPED_TRACE("case " + std::to_string(caseIndex) + " (" + std::to_string(w) + " x " + std::to_string(h) + ")");
        EXPECT_EQ(PaddedSize(w), m);
        EXPECT_EQ(PaddedSize(h), n);
        EXPECT_EQ(WindowHalfSize(m, n), b);
        CArray2D<float> raw;
        FlattenBackground(plane, &raw);
        EXPECT_TRUE(SameFloat(largest, MaxAbs(raw))) << Hex(MaxAbs(raw));
        int mismatches = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const bool backgroundOk = SameFloat(background[i], raw.elements()[i]);
            const bool outputOk = SameFloat(expected[i], plane.elements()[i]);
            if ((!backgroundOk || !outputOk) && mismatches++ < 5)
                ADD_FAILURE() << "element " << i << ": background " << Hex(background[i]) << " / "
                              << Hex(raw.elements()[i]) << ", output " << Hex(expected[i]) << " / "
                              << Hex(plane.elements()[i]);
        }
        EXPECT_EQ(mismatches, 0);
        ++caseIndex;
    }
    EXPECT_EQ(caseIndex, 15);
}
