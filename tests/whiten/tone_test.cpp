// Histogram and tone curve: bin rules, clearing and peak choice, the curve's
// values, and the golden vectors bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "support/golden.h"
#include "whiten/Histogram.h"
#include "reference/Reference.h"

using testsupport::GoldenReader;
using testsupport::Hex;
using testsupport::SameFloat;

namespace {

CArray2D<float> RowOf(const std::vector<float>& values) {
    CArray2D<float> plane(0, static_cast<std::int32_t>(values.size()) - 1, 0, 0);
    std::copy(values.begin(), values.end(), plane.elements());
    return plane;
}

// A plane whose values fill bins with the given counts (value bin - 256 + 0.5).
CArray2D<float> PlaneWithCounts(const std::vector<std::pair<int, int>>& binCounts) {
    std::vector<float> values;
    for (auto [bin, count] : binCounts)
        values.insert(values.end(), static_cast<std::size_t>(count), static_cast<float>(bin - 256) + 0.5f);
    return RowOf(values);
}

int BinOf(float v) {
    // Three fuller bins first, so that v's own bin is never cleared.
    std::vector<float> values(30, -100.5f);
    values.insert(values.end(), 30, -50.5f);
    values.insert(values.end(), 30, -20.5f);
    values.push_back(v);
    const std::vector<int> counts = Histogram(RowOf(values), -256.0f, 1.0f);
    for (int i = 0; i < kHistogramBins; ++i)
        if (counts[static_cast<std::size_t>(i)] == 1) return i;
    return -1;
}

}  // namespace

TEST(Histogram, ValuesLandInTheirBins) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        float value;
        int bin;
    } cases[] = {
        {"far below", -300.0f, 0},
        {"below -255", -256.5f, 0},
        {"just below -255", -255.5f, 0},
        {"-255", -255.0f, 1},
        {"zero", 0.0f, 256},
        {"0.99", 0.99f, 256},
        {"one", 1.0f, 257},
        {"254.9", 254.9f, 510},
        {"255", 255.0f, 511},
        {"300", 300.0f, 511},
        {"1e30", 1.0e30f, 511},
        {"+inf", inf, 511},
        {"-inf", -inf, 0},
        {"NaN", std::nanf(""), 0},
        {"-0", -0.0f, 256},
        {"largest float", std::numeric_limits<float>::max(), 511},
    };
    for (const auto& c : cases) EXPECT_EQ(BinOf(c.value), c.bin) << c.name;
}

// A long run's bins are worked out a block at a time; the counts must be
// those of the values counted one at a time, for runs of any length.
TEST(Histogram, LongRunsCountAsSingleValues) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-300.0f, 300.0f);
    std::vector<float> values(20003);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = i % 5 == 0 ? spread(random) : 200.5f;  // mostly one bin, as the paper of a page
    values[17] = std::nanf("");
    values[18] = -std::numeric_limits<float>::infinity();
    for (const float width : {1.0f, 0.5f}) {
        for (const std::size_t length : {std::size_t{4095}, std::size_t{4096}, std::size_t{4099}, values.size()}) {
            SCOPED_TRACE("width " + std::to_string(width) + ", " + std::to_string(length) + " values");
            std::vector<int> one(kHistogramBins, 0), run(kHistogramBins, 3);
            for (std::size_t i = 0; i < length; ++i) CountIntoBins(&values[i], 1, -256.0f, width, one);
            CountIntoBins(values.data(), static_cast<std::int64_t>(length), -256.0f, width, run);
            for (int& count : run) count -= 3;  // counts are added to what was there
            EXPECT_EQ(run, one);
        }
    }
}

TEST(Histogram, ClearsTheThreeFullestBinsLowerIndexFirst) {
    std::vector<int> cleared;
    const auto counts =
        Histogram(PlaneWithCounts({{10, 5}, {20, 7}, {30, 5}, {40, 5}, {50, 2}}), -256.0f, 1.0f, &cleared);
    EXPECT_EQ(cleared, (std::vector<int>{20, 10, 30}));
    EXPECT_EQ(counts[40], 5);
    EXPECT_EQ(counts[50], 2);
    EXPECT_EQ(counts[10] + counts[20] + counts[30], 0);
}

TEST(ToneCurve, PeakIsTheLowestBinOfTheHighestRemainingCount) {
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> bins;
        int paperLevel;
    } cases[] = {
        {"fullest three cleared", {{511, 5000}, {256, 3000}, {456, 2500}, {455, 2400}, {300, 100}}, 199},
        {"tie goes to the lower bin", {{1, 900}, {2, 900}, {3, 900}, {420, 50}, {300, 50}}, 44},
        {"everything cleared", {{100, 10}, {200, 10}, {300, 10}}, -256},
    };
    for (const auto& c : cases) {
        const auto counts = Histogram(PlaneWithCounts(c.bins), -256.0f, 1.0f);
        EXPECT_EQ(ToneCurve::FromHistogram(counts).paperLevel, c.paperLevel) << c.name;
    }
}

TEST(ToneCurve, MapsKnownLevels) {
    const struct {
        int paperLevel;
        float v;
        double expected;
        double tolerance;
    } cases[] = {
        {200, 0.0f, 17.5991, 1e-4},    {200, 60.0f, 54.5713, 1e-4},  {200, 120.0f, 127.5, 1e-5},
        {200, 180.0f, 200.4287, 1e-4}, {200, 200.0f, 216.75, 1e-4},  {200, 255.0f, 242.0388, 1e-4},
        {200, 400.0f, 254.4127, 1e-4}, {-256, 255.0f, 0.2513, 1e-4}, {-256, 0.0f, 17.5991, 1e-4},
        {1, 30.0f, 255.0, 0.0},        {1, 0.0f, 17.5991, 1e-4},     {0, 5.0f, 255.0, 0.0},
        {0, -5.0f, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        const ToneCurve curve = ToneCurve::ForPaperLevel(c.paperLevel);
        EXPECT_NEAR(curve.Apply(c.v), c.expected, c.tolerance) << "P " << c.paperLevel << " v " << c.v;
    }
    const ToneCurve p200 = ToneCurve::ForPaperLevel(200);
    EXPECT_EQ(p200.midpoint, 120.00000762939453f);
    EXPECT_EQ(p200.steepness, 0.02168251760303974f);
    EXPECT_TRUE(std::isnan(ToneCurve::ForPaperLevel(0).Apply(0.0f)));
    EXPECT_TRUE(std::isnan(p200.Apply(std::nanf(""))));
}

TEST(ToneMap, ReproducesGoldenVectorsBitForBit) {
    GoldenReader in(testsupport::DataPath("golden/tone.txt"));
    int caseIndex = 0;
    while (!in.AtEnd()) {
        in.Expect("tone");
        const auto count = static_cast<std::size_t>(in.Int());
        in.Expect("input");
        CArray2D<float> plane = RowOf(in.Floats(count));
        in.Expect("counts");
        std::vector<int> counts(kHistogramBins);
        for (auto& c : counts) c = static_cast<int>(in.Int());
        in.Expect("cleared");
        std::vector<int> clearedBins(3);
        for (auto& b : clearedBins) b = static_cast<int>(in.Int());
        in.Expect("ptk");
        const int p = static_cast<int>(in.Int());
        const float t = in.Float();
        const float k = in.Float();
        in.Expect("output");
        const std::vector<float> expected = in.Floats(count);

        SCOPED_TRACE("case " + std::to_string(caseIndex));
        // Counts made beforehand (as the flattening makes them) give the same curve.
        std::vector<int> raw(kHistogramBins, 0);
        CountIntoBins(plane.elements(), plane.elementCount(), kToneBinsOrigin, kToneBinWidth, raw);
        const ToneCurve fromBins = ToneCurve::FromBinCounts(raw);
        std::vector<int> cleared;
        EXPECT_EQ(Histogram(plane, -256.0f, 1.0f, &cleared), counts);
        EXPECT_EQ(cleared, clearedBins);
        const ToneCurve curve = ToneMap(plane, 2);
        EXPECT_EQ(fromBins.paperLevel, curve.paperLevel);
        EXPECT_TRUE(SameFloat(fromBins.midpoint, curve.midpoint) && SameFloat(fromBins.steepness, curve.steepness));
        EXPECT_EQ(curve.paperLevel, p);
        EXPECT_TRUE(SameFloat(t, curve.midpoint)) << Hex(curve.midpoint);
        EXPECT_TRUE(SameFloat(k, curve.steepness)) << Hex(curve.steepness);
        int mismatches = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (!SameFloat(expected[i], plane.elements()[i]) && mismatches++ < 5)
                ADD_FAILURE() << "element " << i << ": expected " << Hex(expected[i]) << ", got "
                              << Hex(plane.elements()[i]);
        }
        EXPECT_EQ(mismatches, 0);
        ++caseIndex;
    }
    EXPECT_EQ(caseIndex, 12);
}

// The batch form of the curve against the one-value form, bit for bit, over
// random values, the special values and several paper levels.
TEST(ToneCurve, ApplyToneCurveMatchesApply) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> spread(-400.0f, 700.0f);
    std::vector<float> values(5000);
    for (auto& v : values) v = spread(random);
    const float inf = std::numeric_limits<float>::infinity();
    values.insert(values.end(), {0.0f, -0.0f, inf, -inf, std::nanf(""), 1e-40f, -1e-40f, 3e38f, -3e38f, 255.0f});
    for (int paperLevel : {-256, -50, 0, 1, 149, 200, 255}) {
        const ToneCurve curve = ToneCurve::ForPaperLevel(paperLevel);
        std::vector<float> batch(values);
        ApplyToneCurve(curve, batch.data(), static_cast<std::int64_t>(batch.size()));
        for (std::size_t i = 0; i < values.size(); ++i)
            ASSERT_TRUE(SameFloat(curve.Apply(values[i]), batch[i])) << "P " << paperLevel << " v " << values[i];
    }
}
