// The fast flattening (the tool's path) against the reference: the same
// flattened values bit for bit and the same background up to the sign of zero,
// on byte pages of many shapes and contents, with one, two and many threads;
// and the golden vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/golden.h"
#include "reference/FlattenBackground.h"
#include "whiten/FlattenBackgroundFast.h"
#include "whiten/Histogram.h"

using testsupport::Hex;
using testsupport::SameFloat;

namespace {

enum class Content { Random, Text, Uniform, Zero };

// A page of whole numbers 0 .. 255, as the tool holds it: one byte a pixel.
std::vector<std::uint8_t> MakePage(std::int32_t width, std::int32_t height, Content content, unsigned seed) {
    std::vector<std::uint8_t> page;
    std::mt19937 random(seed);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            int v = 0;
            switch (content) {
                case Content::Random:
                    v = static_cast<int>(random() % 256);
                    break;
                case Content::Uniform:
                    v = 187;
                    break;
                case Content::Zero:
                    break;
                case Content::Text: {
                    // Paper lit unevenly, with dark strokes in lines of text.
                    const double light = 150.0 + 80.0 * x / std::max(width, 2) + 20.0 * std::sin(y * 0.01);
                    const bool ink = (y / 7) % 3 == 0 && (random() % 5 == 0);
                    v = static_cast<int>(ink ? light * 0.2 : light) % 256;
                    break;
                }
            }
            page.push_back(static_cast<std::uint8_t>(v));
        }
    }
    return page;
}

// The page as the gray float plane the reference flattens.
CArray2D<float> PlaneOf(const std::vector<std::uint8_t>& page, std::int32_t width, std::int32_t height) {
    CArray2D<float> plane(0, width - 1, 0, height - 1);
    std::copy(page.begin(), page.end(), plane.elements());
    return plane;
}

bool SameUpToZeroSign(float a, float b) {
    return a == b || SameFloat(a, b);
}

void ExpectSameFlattening(const std::vector<std::uint8_t>& page, std::int32_t width, std::int32_t height,
                          const std::vector<int>& threadCounts, const std::string& name) {
    CArray2D<float> reference = PlaneOf(page, width, height), referenceBackground;
    FlattenBackground(reference, &referenceBackground);
    for (int threads : threadCounts) {
        CArray2D<float> fast(3, 2 + width, -1, height - 2), fastBackground;  // any bounds, any values
        std::vector<int> toneBins;
        FastFlattenOptions options;
        options.threads = threads;
        options.background = &fastBackground;
        options.toneBins = &toneBins;
        FlattenBackgroundFast({page.data(), width, width, height}, fast, options);
        std::vector<int> counted(kHistogramBins, 0);
        CountIntoBins(reference.elements(), reference.elementCount(), kToneBinsOrigin, kToneBinWidth, counted);
        EXPECT_EQ(toneBins, counted) << name << " threads " << threads;
        ASSERT_EQ(fast.xFirst(), reference.xFirst()) << name;
        ASSERT_EQ(fast.yFirst(), reference.yFirst()) << name;
        ASSERT_EQ(fast.elementCount(), reference.elementCount()) << name;
        ASSERT_EQ(fastBackground.elementCount(), referenceBackground.elementCount()) << name;
        int mismatches = 0;
        for (std::int32_t i = 0; i < reference.elementCount(); ++i) {
            const float want = reference.elements()[i], got = fast.elements()[i];
            const float wantBg = referenceBackground.elements()[i], gotBg = fastBackground.elements()[i];
            if ((!SameFloat(want, got) || !SameUpToZeroSign(wantBg, gotBg)) && mismatches++ < 3) {
                ADD_FAILURE() << name << " threads " << threads << " element " << i << ": output " << Hex(want) << " / "
                              << Hex(got) << ", background " << Hex(wantBg) << " / " << Hex(gotBg);
            }
        }
        EXPECT_EQ(mismatches, 0) << name << " threads " << threads;
    }
}

}  // namespace

TEST(FlattenBackgroundFast, MatchesTheReferenceOnManyPages) {
    const struct {
        const char* name;
        std::int32_t width, height;
        Content content;
    } pages[] = {
        {"1 x 1", 1, 1, Content::Random},
        {"1 x 300 column", 1, 300, Content::Text},
        {"300 x 1 row", 300, 1, Content::Text},
        {"1 x 1500 column, window past the width", 1, 1500, Content::Random},
        {"3 x 2", 3, 2, Content::Random},
        {"64 x 64 power of two", 64, 64, Content::Random},
        {"65 x 63 around a power of two", 65, 63, Content::Random},
        {"255 x 257, window of one point", 255, 257, Content::Text},
        {"512 x 300, B = 1", 512, 300, Content::Text},
        {"513 x 511, B = 2", 513, 511, Content::Text},
        {"1025 x 2, window taller than the page", 1025, 2, Content::Random},
        {"8200 x 20, window wider than the padded height", 8200, 20, Content::Text},
        {"20 x 8200", 20, 8200, Content::Text},
        {"1 x 40000 column: blocks of one lane", 1, 40000, Content::Text},
        {"40000 x 3 row: blocks of one lane", 40000, 3, Content::Random},
        {"700 x 900 uniform", 700, 900, Content::Uniform},
        {"600 x 530 all zero", 600, 530, Content::Zero},
        {"1100 x 1400 text", 1100, 1400, Content::Text},
    };
    unsigned seed = 1;
    for (const auto& p : pages) {
        ExpectSameFlattening(MakePage(p.width, p.height, p.content, seed++), p.width, p.height, {1, 2, 7}, p.name);
    }
}

TEST(FlattenBackgroundFast, ReproducesGoldenVectorsBitForBit) {
    testsupport::GoldenReader in(testsupport::DataPath("golden/flatten.txt"));
    int cases = 0;
    while (!in.AtEnd()) {
        in.Expect("flatten");
        const auto w = static_cast<std::int32_t>(in.Int());
        const auto h = static_cast<std::int32_t>(in.Int());
        for (int i = 0; i < 4; ++i) in.Word();  // M, N, B, m
        const auto count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        in.Expect("input");
        CArray2D<float> plane(0, w - 1, 0, h - 1);
        const auto input = in.Floats(count);
        std::copy(input.begin(), input.end(), plane.elements());
        in.Expect("background");
        const auto background = in.Floats(count);
        in.Expect("output");
        const auto expected = in.Floats(count);
        std::vector<std::uint8_t> page;
        for (float v : input) {
            ASSERT_TRUE(v >= 0.0f && v <= 255.0f && v == std::floor(v)) << "case " << cases << ": not a byte page";
            page.push_back(static_cast<std::uint8_t>(v));
        }
        CArray2D<float> raw;
        FastFlattenOptions options;
        options.threads = 2;
        options.background = &raw;
        FlattenBackgroundFast({page.data(), w, w, h}, plane, options);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_TRUE(SameUpToZeroSign(background[i], raw.elements()[i])) << "case " << cases << " element " << i;
            ASSERT_TRUE(SameFloat(expected[i], plane.elements()[i])) << "case " << cases << " element " << i;
        }
        ++cases;
    }
    EXPECT_EQ(cases, 15);
}
