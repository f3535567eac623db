// Hamming frequency windows: exact single-precision weights for small ranges,
// and the golden window vectors bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fft/CFftWindow1D.h"
#include "reference/CFftWindow2D.h"
#include "support/golden.h"

namespace {

using testsupport::FloatBits;
using testsupport::Hex;

constexpr float kEnd = 0.07999999821186066f;     // 0.08 in single precision
constexpr float kMid = 0.5400000214576721f;      // 0.54
constexpr float kEdge = 0.2828426957130432f;     // sqrt(float 0.08), rounded to single precision

std::vector<float> Weights(const CFftWindow1D<float>& window) {
    return std::vector<float>(window.elements(), window.elements() + window.elementCount());
}

std::vector<float> Weights(const CFftWindow2D<float>& window) {
    return std::vector<float>(window.elements(), window.elements() + window.elementCount());
}

void ExpectSameBits(const std::vector<float>& expected, const std::vector<float>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(FloatBits(expected[i]), FloatBits(actual[i]))
            << "weight " << i << ": expected " << Hex(expected[i]) << ", got " << Hex(actual[i]);
}

TEST(Window1D, ExactWeights) {
    struct Case {
        const char* name;
        std::int32_t first, last;
        std::vector<float> weights;
    };
    const Case cases[] = {
        {"0..4", 0, 4, {kEnd, kMid, 1.0f, kMid, kEnd}},
        {"-3..3", -3, 3, {kEnd, 0.31f, 0.77f, 1.0f, 0.77f, 0.31f, kEnd}},
        {"asymmetric 2..5", 2, 5, {kEnd, 0.77f, 0.77f, kEnd}},
        {"two indices", -8, -7, {kEnd, kEnd}},
        {"single index", 7, 7, {1.0f}},
        {"empty", 3, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFftWindow1D<float> window;
        window.Build(c.first, c.last);
        EXPECT_EQ(window.xFirst(), c.first);
        EXPECT_EQ(window.xLast(), c.last);
        ExpectSameBits(c.weights, Weights(window));
    }
}

TEST(Window1D, RebuildOverwritesKeptStorage) {
    CFftWindow1D<float> window;
    window.Build(0, 4);
    window.Build(10, 14);  // same count: storage kept, weights rebuilt
    ExpectSameBits({kEnd, kMid, 1.0f, kMid, kEnd}, Weights(window));
    window.Build(0, 0);
    ExpectSameBits({1.0f}, Weights(window));
}

TEST(Window2D, ExactWeights) {
    CFftWindow2D<float> square(-1, 1, -1, 1);
    ExpectSameBits({kEnd, kEdge, kEnd, kEdge, 1.0f, kEdge, kEnd, kEdge, kEnd}, Weights(square));
    EXPECT_EQ(square.Get(0, 0), 1.0f);
    EXPECT_EQ(square.Get(2, 0), 0.0f);

    for (const std::int32_t h : {1, 2, 10, 257}) {
        SCOPED_TRACE(h);
        const CFftWindow2D<float> window(-h, h, -h, h);
        EXPECT_EQ(window.Get(0, 0), 1.0f);
        for (const auto& [x, y] : {std::pair{-h, -h}, std::pair{h, -h}, std::pair{-h, h}, std::pair{h, h}})
            EXPECT_EQ(FloatBits(window.Get(x, y)), FloatBits(kEnd));
        for (const auto& [x, y] : {std::pair{0, -h}, std::pair{0, h}, std::pair{-h, 0}, std::pair{h, 0}})
            EXPECT_EQ(FloatBits(window.Get(x, y)), FloatBits(kEdge));
    }

    const CFftWindow2D<float> single(0, 0, 0, 0);
    EXPECT_EQ(single.elementCount(), 1);
    EXPECT_EQ(single.Get(0, 0), 1.0f);
}

TEST(Window2D, RectangularFirstRow) {
    // Along y = yFirst the weight is sqrt(float(0.08 * wx(x))).
    const CFftWindow2D<float> window(0, 4, 2, 4);
    CFftWindow1D<float> wx;
    wx.Build(0, 4);
    for (std::int32_t x = 0; x <= 4; ++x) {
        const float product = static_cast<float>(static_cast<double>(kEnd) * static_cast<double>(wx[x]));
        const float expected = static_cast<float>(std::sqrt(static_cast<double>(product)));
        EXPECT_EQ(FloatBits(window.Get(x, 2)), FloatBits(expected)) << "x " << x;
    }
    EXPECT_EQ(window.Get(2, 3), 1.0f);
    EXPECT_EQ(FloatBits(window.Get(0, 3)), FloatBits(kEdge));
}

TEST(Window2D, RebuildOverwritesKeptStorage) {
    CFftWindow2D<float> window(0, 2, 0, 2);
    window.Fill(7.0f);
    window.Build(-4, 4, 0, 0);  // same count: storage kept
    EXPECT_EQ(window.xFirst(), -4);
    EXPECT_EQ(window.Get(0, 0), 1.0f);  // the y axis is a single index: weight 1
    EXPECT_EQ(FloatBits(window.Get(-4, 0)), FloatBits(kEdge));
}

TEST(WindowGolden, MatchesBitForBit) {
    testsupport::GoldenReader golden(testsupport::DataPath("golden/window.txt"));
    int oneDimensional = 0;
    int twoDimensional = 0;
    while (!golden.AtEnd()) {
        const std::string kind = golden.Word();
        if (kind == "window1d") {
            const auto first = static_cast<std::int32_t>(golden.Int());
            const auto last = static_cast<std::int32_t>(golden.Int());
            SCOPED_TRACE("window1d " + std::to_string(first) + " " + std::to_string(last));
            const std::vector<float> expected = golden.Floats(static_cast<std::size_t>(last - first + 1));
            CFftWindow1D<float> window;
            window.Build(first, last);
            ExpectSameBits(expected, Weights(window));
            ++oneDimensional;
        } else {
            ASSERT_EQ(kind, "window2d");
            const auto xFirst = static_cast<std::int32_t>(golden.Int());
            const auto xLast = static_cast<std::int32_t>(golden.Int());
            const auto yFirst = static_cast<std::int32_t>(golden.Int());
            const auto yLast = static_cast<std::int32_t>(golden.Int());
            SCOPED_TRACE("window2d " + std::to_string(xFirst) + " " + std::to_string(xLast) + " " +
                         std::to_string(yFirst) + " " + std::to_string(yLast));
            const std::vector<float> expected =
                golden.Floats(static_cast<std::size_t>((yLast - yFirst + 1) * (xLast - xFirst + 1)));
            const CFftWindow2D<float> window(xFirst, xLast, yFirst, yLast);
            ExpectSameBits(expected, Weights(window));
            ++twoDimensional;
        }
    }
    EXPECT_EQ(oneDimensional, 6);
    EXPECT_EQ(twoDimensional, 5);
}

}  // namespace
