// The fast flattening against the reference: the same flattened values bit for
// bit and the same background up to the sign of zero, on many page shapes and
// contents, with one, two and many threads; and the golden vectors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/golden.h"
#include "whiten/FlattenBackground.h"
#include "whiten/FlattenBackgroundFast.h"
#include "whiten/Histogram.h"

using testsupport::Hex;
using testsupport::SameFloat;

namespace {

// Pages of whole numbers 0 .. 255 (as bitmaps give them) take the lean path of
// the fast flattening; the other contents check its general path.
enum class Content { Random, Text, Uniform, Zero, Fraction, NegativeZero, Huge, Infinite, NotANumber };

// A page of whole numbers 0 .. 255 as the gray conversion makes them.
CArray2D<float> MakePage(std::int32_t width, std::int32_t height, Content content, unsigned seed) {
    CArray2D<float> page(0, width - 1, 0, height - 1);
    std::mt19937 random(seed);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            float v = 0.0f;
            switch (content) {
                case Content::Random:
                    v = static_cast<float>(random() % 256);
                    break;
                case Content::Uniform:
                    v = 187.0f;
                    break;
                case Content::Zero:
                    v = 0.0f;
                    break;
                case Content::Fraction:
                    v = static_cast<float>(random() % 256) + 0.25f;
                    break;
                case Content::NegativeZero:
                    v = x == 3 && y == 1 ? -0.0f : static_cast<float>(random() % 256);
                    break;
                case Content::Huge:
                    v = x == 5 ? 3.0e38f : static_cast<float>(random() % 256);
                    break;
                case Content::Infinite:
                    v = x == 2 && y == 2 ? std::numeric_limits<float>::infinity() : static_cast<float>(random() % 256);
                    break;
                case Content::NotANumber:
                    v = x == 1 && y == 0 ? std::nanf("") : static_cast<float>(random() % 256);
                    break;
                case Content::Text: {
                    // Paper lit unevenly, with dark strokes in lines of text.
                    const double light = 150.0 + 80.0 * x / std::max(width, 2) + 20.0 * std::sin(y * 0.01);
                    const bool ink = (y / 7) % 3 == 0 && (random() % 5 == 0);
                    v = static_cast<float>(static_cast<int>(ink ? light * 0.2 : light) % 256);
                    break;
                }
            }
            page(x, y) = v;
        }
    }
    return page;
}

bool SameUpToZeroSign(float a, float b) {
    return a == b || SameFloat(a, b);
}

void ExpectSameFlattening(const CArray2D<float>& page, const std::vector<int>& threadCounts, const std::string& name) {
    CArray2D<float> reference(page), referenceBackground;
    FlattenBackground(reference, &referenceBackground);
    for (int threads : threadCounts) {
        CArray2D<float> fast(page), fastBackground;
        std::vector<int> toneBins;
        FastFlattenOptions options;
        options.threads = threads;
        options.background = &fastBackground;
        options.toneBins = &toneBins;
        FlattenBackgroundFast(fast, options);
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
        {"700 x 900 uniform", 700, 900, Content::Uniform},
        {"600 x 530 all zero", 600, 530, Content::Zero},
        {"1100 x 1400 text", 1100, 1400, Content::Text},
        {"fractional values", 70, 50, Content::Fraction},
        {"a negative zero", 70, 50, Content::NegativeZero},
        {"values near the largest float", 70, 50, Content::Huge},
        {"an infinity", 70, 50, Content::Infinite},
        {"a NaN", 70, 50, Content::NotANumber},
    };
    unsigned seed = 1;
    for (const auto& p : pages) {
        const CArray2D<float> page = MakePage(p.width, p.height, p.content, seed++);
        ExpectSameFlattening(page, {1, 2, 7}, p.name);
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
        CArray2D<float> raw;
        std::vector<std::uint8_t> scratch(count);
        FastFlattenOptions options;
        options.threads = 2;
        options.background = &raw;
        options.scratch = scratch;
        FlattenBackgroundFast(plane, options);
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_TRUE(SameUpToZeroSign(background[i], raw.elements()[i])) << "case " << cases << " element " << i;
            ASSERT_TRUE(SameFloat(expected[i], plane.elements()[i])) << "case " << cases << " element " << i;
        }
        ++cases;
    }
    EXPECT_EQ(cases, 15);
}
