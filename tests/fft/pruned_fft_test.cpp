// The pruned transform against the full engine: every wanted output equal bit
// for bit (a zero of either sign counts as equal), for sparse inputs and few
// outputs, in every lane.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

#include "reference/CFft1D.h"
#include "fft/CPrunedFft.h"
#include "support/golden.h"

namespace {

bool SameUpToZeroSign(float a, float b) {
    return a == b ? true : testsupport::FloatBits(a) == testsupport::FloatBits(b);
}

std::vector<std::int32_t> Band(std::int32_t n, std::int32_t from, std::int32_t to) {
    std::vector<std::int32_t> indices;
    for (std::int32_t i = std::max(from, -(n / 2)); i <= std::min(to, (n - 1) / 2); ++i) indices.push_back(i);
    return indices;
}

// Transforms each lane's sequence with the full engine and checks every wanted
// output of the pruned one against it: equal bit for bit, a zero of either
// sign counting as equal, and NaN where the full transform gives NaN.
void ExpectFullTransformOutputs(const CPrunedFft& plan, const CPrunedFft::Block& block, const CFft1D& full,
                                std::vector<std::vector<std::complex<float>>>& sequences,
                                const std::vector<std::int32_t>& outputs, int round) {
    const std::int32_t n = plan.length();
    for (int lane = 0; lane < block.lanes(); ++lane) {
        auto& seq = sequences[static_cast<std::size_t>(lane)];
        full.TransformCentered(seq.data());
        for (std::int32_t k : outputs) {
            const std::complex<float> expected = seq[static_cast<std::size_t>(k + n / 2)];
            const std::complex<float> got = plan.Output(block, k, lane);
            const bool bothNaN = std::isnan(expected.real()) && std::isnan(got.real()) &&
                                 std::isnan(expected.imag()) == std::isnan(got.imag());
            ASSERT_TRUE(bothNaN || (SameUpToZeroSign(expected.real(), got.real()) &&
                                    SameUpToZeroSign(expected.imag(), got.imag())))
                << "round " << round << " lane " << lane << " frequency " << k << ": expected "
                << testsupport::Hex(expected.real()) << "," << testsupport::Hex(expected.imag()) << " got "
                << testsupport::Hex(got.real()) << "," << testsupport::Hex(got.imag());
        }
    }
}

}  // namespace

TEST(PrunedFft, MatchesTheFullTransformOnWantedOutputs) {
    struct Case {
        const char* name;
        std::int32_t n;
        int type;
        bool scaled;
        std::int32_t inLo, inHi;    // non-zero inputs: centred band
        std::int32_t outLo, outHi;  // wanted outputs: centred band
    };
    const Case cases[] = {
        {"length 1", 1, 0, false, 0, 0, 0, 0},
        {"length 1 inverse scaled", 1, 1, true, 0, 0, 0, 0},
        {"length 2 full", 2, 0, false, -1, 0, -1, 0},
        {"length 8 low outputs", 8, 0, false, -4, 3, -1, 1},
        {"length 64 full input, band out", 64, 0, false, -32, 31, -3, 3},
        {"length 64 band in, all out", 64, 1, true, -3, 3, -32, 31},
        {"length 1024 band in, page out", 1024, 1, true, -2, 2, -300, 299},
        {"length 4096 full in, band out", 4096, 0, false, -2048, 2047, -10, 10},
        {"length 4096 band in, most out", 4096, 1, true, -10, 10, -1754, 1753},
        {"band wider than the length", 16, 0, false, -8, 7, -20, 20},
        {"one-sided band", 256, 1, false, 0, 5, -128, -100},
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float scale = c.scaled ? 1.0f / static_cast<float>(c.n) : 1.0f;
        const auto inputs = Band(c.n, c.inLo, c.inHi);
        const auto outputs = Band(c.n, c.outLo, c.outHi);
        const CPrunedFft plan(c.n, scale, c.type, inputs, outputs);
        const CFft1D full(c.n, scale, c.type);
        EXPECT_LE(plan.butterflyCount(), plan.fullButterflyCount());

        // Blocks of one lane and of every lane, two rounds each through the same
        // block: stale values of the first must not leak.
        for (int lanes : {1, CPrunedFft::kLanes}) {
            CPrunedFft::Block block(plan, lanes);
            for (int round = 0; round < 2; ++round) {
                std::vector<std::vector<std::complex<float>>> sequences(static_cast<std::size_t>(lanes));
                for (int lane = 0; lane < lanes; ++lane) {
                    auto& seq = sequences[static_cast<std::size_t>(lane)];
                    seq.assign(static_cast<std::size_t>(c.n), {0.0f, 0.0f});
                    for (std::int32_t i : inputs) {
                        const std::complex<float> v(value(random), lane % 2 == 0 ? 0.0f : value(random));
                        seq[static_cast<std::size_t>(i + c.n / 2)] = v;
                        block.Set(i, lane, v);
                    }
                }
                plan.Run(block);
                ExpectFullTransformOutputs(plan, block, full, sequences, outputs, round);
            }
        }
    }
}

// Real rows loaded through a column map, as the flattening loads page rows:
// the first stage then runs on the real parts alone where it covers every
// position. Rounds alternate between real rows and complex values set one by
// one in the same block, so that neither way of loading leaks into the other.
TEST(PrunedFft, RealRowsMatchTheFullTransform) {
    struct Case {
        const char* name;
        std::int32_t n;
        std::int32_t inLo, inHi;  // the inputs the plan treats as possibly non-zero
        std::int32_t outLo, outHi;
        int lanes;  // lanes loaded; the rest must read as zero rows
    };
    const Case cases[] = {
        {"length 1", 1, 0, 0, 0, 0, 3},
        {"length 2", 2, -1, 0, -1, 0, 16},
        {"length 4096 row shape", 4096, -2048, 2047, -10, 10, 16},
        {"length 4096 row shape, 5 lanes", 4096, -2048, 2047, -10, 10, 5},
        {"length 512, every output", 512, -256, 255, -256, 255, 16},
        {"inputs only in a band: first stage not whole", 256, -5, 5, -128, 127, 16},
    };
    std::mt19937 random(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto inputs = Band(c.n, c.inLo, c.inHi);
        const auto outputs = Band(c.n, c.outLo, c.outHi);
        const CPrunedFft plan(c.n, 1.0f, 0, inputs, outputs);
        const CFft1D full(c.n, 1.0f, 0);
        // Page rows narrower than the transform, mirrored at both ends, as the
        // padded rows of a page are; indices outside the plan's inputs map to a
        // zero column.
        const std::int32_t width = std::max(1, c.n * 3 / 5);
        std::vector<std::int32_t> column(static_cast<std::size_t>(c.n));
        for (std::int32_t i = 0; i < c.n; ++i) {
            const std::int32_t centred = i - c.n / 2;
            const bool input = centred >= c.inLo && centred <= c.inHi;
            std::int32_t x = std::abs(i - c.n / 2) % (2 * width);
            if (x >= width) x = 2 * width - 1 - x;
            column[static_cast<std::size_t>(i)] = input ? x : width;  // column `width` holds 0
        }
        CPrunedFft::Block block(plan);
        for (int round = 0; round < 4; ++round) {
            const bool real = round % 2 == 0;
            std::vector<std::vector<std::uint8_t>> rows(CPrunedFft::kLanes,
                                                        std::vector<std::uint8_t>(static_cast<std::size_t>(width) + 1));
            const std::uint8_t* rowPointers[CPrunedFft::kLanes];
            std::vector<std::vector<std::complex<float>>> sequences(
                CPrunedFft::kLanes, std::vector<std::complex<float>>(static_cast<std::size_t>(c.n)));
            for (int lane = 0; lane < CPrunedFft::kLanes; ++lane) {
                auto& row = rows[static_cast<std::size_t>(lane)];
                for (std::int32_t x = 0; x < width; ++x)
                    row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(random() % 256);
                row[static_cast<std::size_t>(width)] = 0;
                rowPointers[lane] = row.data();
                auto& seq = sequences[static_cast<std::size_t>(lane)];
                for (std::int32_t i = 0; i < c.n; ++i) {
                    const float v =
                        lane < c.lanes || !real
                            ? static_cast<float>(row[static_cast<std::size_t>(column[static_cast<std::size_t>(i)])])
                            : 0.0f;
                    seq[static_cast<std::size_t>(i)] = {v, real ? 0.0f : v / 2};
                }
            }
            if (real) {
                block.SetRealRows(rowPointers, c.lanes, column.data());
            } else {
                for (int lane = 0; lane < CPrunedFft::kLanes; ++lane)
                    for (std::int32_t i : inputs)
                        block.Set(i, lane,
                                  sequences[static_cast<std::size_t>(lane)][static_cast<std::size_t>(i + c.n / 2)]);
            }
            plan.Run(block);
            ExpectFullTransformOutputs(plan, block, full, sequences, outputs, round);
        }
    }
}

// The flattening's shapes: a full row cut down to 21 outputs, and 21 inputs
// spread over a page column. Each keeps little more than half the butterflies.
TEST(PrunedFft, PrunesTheFlatteningShapes) {
    const CPrunedFft rows(4096, 1.0f, 0, Band(4096, -2048, 2047), Band(4096, -10, 10));
    const CPrunedFft columns(4096, 1.0f / 4096, 1, Band(4096, -10, 10), Band(4096, -1754, 1753));
    EXPECT_LT(rows.butterflyCount() * 100, rows.fullButterflyCount() * 55);
    EXPECT_LT(columns.butterflyCount() * 100, columns.fullButterflyCount() * 55);
}

TEST(PrunedFft, RejectsIndicesOutsideTheTransform) {
    EXPECT_THROW(CPrunedFft(8, 1.0f, 0, {4}, {0}), std::string);
    EXPECT_THROW(CPrunedFft(8, 1.0f, 0, {0}, {-5}), std::string);
    EXPECT_THROW(CPrunedFft(6, 1.0f, 0, {0}, {0}), std::string);
}

// The real parts written row by row, as the flattening writes the background
// into its plane: each wanted frequency's row holds the first `count` lanes'
// values (Output's real parts, up to the sign of zero), nothing past them,
// and the largest magnitude among them is returned.
TEST(PrunedFft, OutputRealRowsWriteEachLanesRealPart) {
    const struct {
        const char* name;
        std::int32_t n;
        float scale;
        int lanes, count;
    } cases[] = {
        {"16 lanes, all written, scaled", 64, 1.0f / 64, CPrunedFft::kLanes, CPrunedFft::kLanes},
        {"16 lanes, 5 written", 64, 1.0f / 64, CPrunedFft::kLanes, 5},
        {"16 lanes, 1 written, unscaled", 256, 1.0f, CPrunedFft::kLanes, 1},
        {"one lane", 256, 1.0f / 256, 1, 1},
        {"column shape", 4096, 1.0f / 4096, CPrunedFft::kLanes, CPrunedFft::kLanes},
    };
    std::mt19937 random(17);
    std::uniform_real_distribution<float> value(-300.0f, 300.0f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int32_t first = -(c.n / 3), last = c.n / 4;
        const CPrunedFft plan(c.n, c.scale, 1, Band(c.n, -3, 3), Band(c.n, first, last));
        CPrunedFft::Block block(plan, c.lanes);
        for (int lane = 0; lane < c.lanes; ++lane)
            for (std::int32_t i = -3; i <= 3; ++i) block.Set(i, lane, {value(random), value(random)});
        plan.Run(block);
        const std::ptrdiff_t stride = c.count + 3;
        const float untouched = 12345.0f;
        std::vector<float> rows(static_cast<std::size_t>((last - first + 1) * stride), untouched);
        const float largest = plan.OutputRealRows(block, first, last, c.count, rows.data(), stride);
        float expectedLargest = 0.0f;
        for (std::int32_t k = first; k <= last; ++k) {
            const float* row = &rows[static_cast<std::size_t>((k - first) * stride)];
            for (int lane = 0; lane < c.count; ++lane) {
                const float expected = plan.Output(block, k, lane).real();
                ASSERT_TRUE(SameUpToZeroSign(row[lane], expected)) << "frequency " << k << " lane " << lane;
                expectedLargest = std::max(expectedLargest, std::fabs(expected));
            }
            for (std::ptrdiff_t i = c.count; i < stride; ++i) ASSERT_EQ(row[i], untouched) << "frequency " << k;
        }
        EXPECT_EQ(largest, expectedLargest);
    }
}
