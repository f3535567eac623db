// The tone curve's bytes from its step table: the property the table rests on
// (exp rounded to float never falls as its argument rises), checked over every
// float where it is not settled by the argument's size alone, and the table's
// bytes against the curve evaluated directly.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/ParallelFor.h"
#include "whiten/ToneBytes.h"

namespace {

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Floats other than NaN in numeric order as unsigned keys (-0 just before +0).
std::uint32_t KeyOf(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

float FloatOf(std::uint32_t key) {
    return std::bit_cast<float>((key & 0x80000000u) != 0 ? key & 0x7FFFFFFFu : ~key);
}

// The curve's exponential as the curve rounds it.
float ExpToFloat(float e) {
    return static_cast<float>(std::exp(static_cast<double>(e)));
}

}  // namespace

// Below -104 the exponential is under half the least float and rounds to 0;
// above 89 it is beyond the largest float and rounds to +inf; within 2^-26 of
// 0 it is within a quarter of a float step of 1 and rounds to 1; those ranges
// are sampled. Between them the check is exhaustive: every float in order,
// each result at least the one before. The ends of each range are checked to
// join up.
TEST(ToneBytes, ExponentialRoundedToFloatNeverFalls) {
    const float tiny = std::ldexp(1.0f, -26);
    struct Range {
        const char* name;
        float first, last;  // inclusive, first <= last
        float value;        // what every float of a settled range gives; NaN: check order only
        std::uint32_t stride;
    };
    const Range ranges[] = {
        {"below -104", -kInf, -104.0f, 0.0f, 4093},
        {"-104 .. -2^-26", -104.0f, -tiny, kNaN, 1},
        {"within 2^-26 of 0", std::nextafter(-tiny, 0.0f), std::nextafter(tiny, 0.0f), 1.0f, 4093},
        {"2^-26 .. 89", tiny, 89.0f, kNaN, 1},
        {"above 89", 89.0f, kInf, kInf, 4093},
    };
    float previousLast = 0.0f;
    for (const Range& range : ranges) {
        SCOPED_TRACE(range.name);
        const std::uint32_t firstKey = KeyOf(range.first), lastKey = KeyOf(range.last);
        // Chunks checked in parallel; each keeps its first and last result so
        // that the seams can be checked afterwards.
        constexpr std::uint32_t kChunk = 1u << 22;
        const std::int64_t chunks = (static_cast<std::int64_t>(lastKey) - firstKey) / kChunk + 1;
        std::vector<float> chunkFirst(static_cast<std::size_t>(chunks)), chunkLast(static_cast<std::size_t>(chunks));
        std::vector<std::uint32_t> fallsAt(static_cast<std::size_t>(chunks), 0);
        ParallelFor(chunks, DefaultThreadCount(), [&](std::int64_t chunk, int) {
            const std::uint32_t from = firstKey + static_cast<std::uint32_t>(chunk) * kChunk;
            const std::uint32_t to = static_cast<std::uint32_t>(
                std::min<std::int64_t>(lastKey, static_cast<std::int64_t>(from) + kChunk - 1));
            float last = ExpToFloat(FloatOf(from));
            chunkFirst[static_cast<std::size_t>(chunk)] = last;
            for (std::uint64_t key = from; key <= to; key += range.stride) {
                const float x = ExpToFloat(FloatOf(static_cast<std::uint32_t>(key)));
                const bool wrong = range.value == range.value ? x != range.value : x < last;
                if (wrong && fallsAt[static_cast<std::size_t>(chunk)] == 0)
                    fallsAt[static_cast<std::size_t>(chunk)] = static_cast<std::uint32_t>(key);
                last = x;
            }
            // The range's last float, whatever the stride skipped.
            const float x = ExpToFloat(FloatOf(to));
            if ((range.value == range.value ? x != range.value : x < last) &&
                fallsAt[static_cast<std::size_t>(chunk)] == 0)
                fallsAt[static_cast<std::size_t>(chunk)] = to;
            chunkLast[static_cast<std::size_t>(chunk)] = x;
        });
        for (std::int64_t c = 0; c < chunks; ++c) {
            const auto i = static_cast<std::size_t>(c);
            EXPECT_EQ(fallsAt[i], 0u) << "at e = " << FloatOf(fallsAt[i]);
            const float before = c == 0 ? previousLast : chunkLast[i - 1];
            if (c > 0 || &range != &ranges[0]) {
                EXPECT_LE(before, chunkFirst[i]) << "seam before chunk " << c;
            }
        }
        previousLast = chunkLast.back();
    }
}

TEST(ToneBytes, StepTableGivesTheCurvesBytes) {
    // Paper levels: both signs, the steepest (±1) and the flattest (-256, 255);
    // then curves no histogram gives, to reach the table's corners: so steep
    // that several steps share a float, and so flat that the top steps lie at
    // +inf (or the bottom ones at -inf).
    std::vector<std::pair<std::string, ToneCurve>> curves;
    for (int level : {-256, -255, -100, -7, -1, 1, 2, 3, 17, 100, 199, 200, 254, 255})
        curves.emplace_back("paper level " + std::to_string(level), ToneCurve::ForPaperLevel(level));
    curves.emplace_back("steepness 1e6", ToneCurve{0, 0.6f, 1e6f});
    curves.emplace_back("steepness -3e4 at 100", ToneCurve{0, 100.0f, -3e4f});
    curves.emplace_back("steepness 1e-38", ToneCurve{0, 0.0f, 1e-38f});
    curves.emplace_back("steepness -1e-38", ToneCurve{0, 0.0f, -1e-38f});
    std::mt19937 random(12345);
    for (const auto& [name, curve] : curves) {
        SCOPED_TRACE(name);
        const ToneByteMap map(curve);
        std::vector<float> values = {0.0f,
                                     -0.0f,
                                     kInf,
                                     -kInf,
                                     kNaN,
                                     -kNaN,
                                     1e-45f,
                                     -1e-45f,
                                     1e-30f,
                                     1e30f,
                                     -1e30f,
                                     255.0f,
                                     256.0f,
                                     -256.0f,
                                     std::numeric_limits<float>::max(),
                                     -std::numeric_limits<float>::max(),
                                     curve.midpoint,
                                     static_cast<float>(curve.paperLevel)};
        // The floats around every place where the byte changes: between
        // neighbouring thirds of whole numbers whose bytes differ, bisection
        // down to single float steps finds each change.
        std::vector<float> around;
        auto byteAt = [&curve](std::uint32_t key) { return ToneByteMap::CurveByte(curve, FloatOf(key)); };
        auto findChanges = [&](auto& self, std::uint32_t lo, std::uint32_t hi) -> void {
            if (byteAt(lo) == byteAt(hi)) return;
            if (hi - lo <= 1) {
                for (std::uint32_t k = lo - 3; k <= hi + 3; ++k) around.push_back(FloatOf(k));
                return;
            }
            const std::uint32_t mid = lo + (hi - lo) / 2;
            self(self, lo, mid);
            self(self, mid, hi);
        };
        for (int i = -3 * 2000; i < 3 * 2000; ++i) {
            const float v = static_cast<float>(i) / 3.0f;
            values.push_back(v);
            findChanges(findChanges, KeyOf(v), KeyOf(static_cast<float>(i + 1) / 3.0f));
        }
        values.insert(values.end(), around.begin(), around.end());
        for (int i = 0; i < 200000; ++i) values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
        std::uniform_real_distribution<float> pageLike(-50.0f, 2000.0f);
        for (int i = 0; i < 200000; ++i) values.push_back(pageLike(random));

        int mismatches = 0;
        for (float v : values) {
            const std::uint8_t expected = ToneByteMap::CurveByte(curve, v);
            if (map.ByteOf(v) != expected && ++mismatches <= 5)
                ADD_FAILURE() << "v = " << v << " (bits " << std::bit_cast<std::uint32_t>(v)
                              << "): " << int(map.ByteOf(v)) << ", curve " << int(expected);
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// The curve's byte is the truncated value of Apply; for paper level 0 the
// steepness is +inf and the curve is no staircase (0 gives NaN, so byte 0,
// between 0 below and 255 above), which the map evaluates directly.
TEST(ToneBytes, CurveBytesAndPaperLevelZero) {
    const struct {
        const char* name;
        int level;
        float v;
        std::uint8_t byte;
    } cases[] = {
        {"P 200, v 0 (17.5991)", 200, 0.0f, 17},
        {"P 200, v 120 (127.5)", 200, 120.0f, 127},
        {"P 200, v 200 (216.75)", 200, 200.0f, 216},
        {"P 200, v 400 (254.41)", 200, 400.0f, 254},
        {"P 1, v 30 (exactly 255)", 1, 30.0f, 255},
        {"P -256, v 255 (0.2513)", -256, 255.0f, 0},
        {"P 200, NaN", 200, kNaN, 0},
        {"P 0, v 0 (NaN)", 0, 0.0f, 0},
        {"P 0, v -0 (NaN)", 0, -0.0f, 0},
        {"P 0, tiny above 0", 0, 1e-45f, 255},
        {"P 0, below 0", 0, -3.0f, 0},
        {"P 0, +inf", 0, kInf, 255},
        {"P 0, NaN", 0, kNaN, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToneCurve curve = ToneCurve::ForPaperLevel(c.level);
        EXPECT_EQ(int(ToneByteMap::CurveByte(curve, c.v)), int(c.byte));
        EXPECT_EQ(int(ToneByteMap(curve).ByteOf(c.v)), int(c.byte));
    }
}

// Every paper level's table over the values of a page's range, and the
// pixels written as three equal bytes.
TEST(ToneBytes, EveryPaperLevelOverAPagesRange) {
    for (int level = -256; level <= 255; ++level) {
        const ToneCurve curve = ToneCurve::ForPaperLevel(level);
        const ToneByteMap map(curve);
        std::vector<float> values;
        for (int i = -300; i <= 3000; ++i) values.push_back(static_cast<float>(i) * 0.37f);
        std::vector<std::uint8_t> pixels(3 * values.size(), 0xAB);
        map.WritePixels(values.data(), static_cast<std::int64_t>(values.size()), pixels.data());
        int mismatches = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::uint8_t expected = ToneByteMap::CurveByte(curve, values[i]);
            if (pixels[3 * i] != expected || pixels[3 * i + 1] != expected || pixels[3 * i + 2] != expected)
                ++mismatches;
        }
        EXPECT_EQ(mismatches, 0) << "paper level " << level;
    }
}

// The row writers place whole blocks of values in vector lanes and the rest
// one by one: against the curve itself, for runs that end inside, at and past
// a block, on curves whose cells hold one step, several steps (too steep for
// the cells to part them), and on the curve of paper level 0, which has no steps.
TEST(ToneBytes, RowWritersGiveEachValuesByte) {
    const struct {
        const char* name;
        ToneCurve curve;
    } curves[] = {
        {"paper level 200", ToneCurve::ForPaperLevel(200)},
        {"paper level -7", ToneCurve::ForPaperLevel(-7)},
        {"paper level 1, the steepest page curve", ToneCurve::ForPaperLevel(1)},
        {"steepness 1e6, several steps a cell", ToneCurve{0, 0.6f, 1e6f}},
        {"paper level 0, no steps", ToneCurve::ForPaperLevel(0)},
    };
    std::mt19937 random(99);
    std::uniform_real_distribution<float> pageLike(-20.0f, 400.0f);
    for (const auto& c : curves) {
        const ToneByteMap map(c.curve);
        for (std::int64_t count : {0, 1, 63, 64, 65, 130, 2480}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(count) + " values");
            // Page values, the curve's middle, and NaN, infinities and huge values among them.
            std::vector<float> values;
            for (std::int64_t i = 0; i < count; ++i) {
                const float special[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, c.curve.midpoint, 0.6f, -0.0f};
                values.push_back(i % 7 == 3 ? special[(i / 7) % 8] : pageLike(random));
            }
            std::vector<std::uint8_t> pixels(3 * values.size() + 1, 0xAB), bytes(values.size() + 1, 0xCD);
            map.WritePixels(values.data(), count, pixels.data());
            map.WriteBytes(values.data(), count, bytes.data());
            int mismatches = 0;
            for (std::size_t i = 0; i < values.size(); ++i) {
                const std::uint8_t expected = ToneByteMap::CurveByte(c.curve, values[i]);
                if (pixels[3 * i] != expected || pixels[3 * i + 1] != expected || pixels[3 * i + 2] != expected ||
                    bytes[i] != expected)
                    ++mismatches;
            }
            EXPECT_EQ(mismatches, 0);
            EXPECT_EQ(pixels.back(), 0xAB) << "written past the row";
            EXPECT_EQ(bytes.back(), 0xCD) << "written past the row";
        }
    }
}
