// CFft1D: construction checks, tables, small exact cases, and agreement with a
// direct double-precision DFT on random data.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "reference/CFft1D.h"

namespace {

using Values = std::vector<std::complex<float>>;

std::string ThrownText(std::int32_t n, float scale, std::int32_t type) {
    try {
        CFft1D engine(n, scale, type);
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}

TEST(Fft1D, RejectsBadCountsAndTypes) {
    struct Case {
        const char* name;
        std::int32_t n;
        std::int32_t type;
        const char* message;
    };
    const char* countError = "CFft1D::CFft1D : data count error!";
    const char* typeError = "CFft1D::makeSinusoidTable : fft type error!";
    const Case cases[] = {
        {"count 0", 0, 0, countError},
        {"count 3", 3, 0, countError},
        {"count 6", 6, 1, countError},
        {"count -4", -4, 0, countError},
        {"count int min", std::numeric_limits<std::int32_t>::min(), 0, countError},
        {"count int max", std::numeric_limits<std::int32_t>::max(), 0, countError},
        {"bad count wins over bad type", 12, 7, countError},
        {"type 2", 8, 2, typeError},
        {"type -1", 8, -1, typeError},
        {"type 2 at length 1", 1, 2, typeError},
    };
    for (const Case& c : cases) EXPECT_EQ(ThrownText(c.n, 1.0f, c.type), c.message) << c.name;
}

TEST(Fft1D, SwapListsAreBitReversalExchanges) {
    struct Case {
        std::int32_t n;
        std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    };
    const Case cases[] = {
        {1, {}},
        {2, {}},
        {4, {{1, 2}}},
        {8, {{1, 4}, {3, 6}}},
    };
    for (const Case& c : cases) {
        const CFft1D engine(c.n, 1.0f, 0);
        ASSERT_EQ(engine.swapCount(), static_cast<std::int32_t>(c.pairs.size())) << "n " << c.n;
        for (std::size_t i = 0; i < c.pairs.size(); ++i) {
            EXPECT_EQ(engine.swapPairs()[i].first, c.pairs[i].first) << "n " << c.n << " pair " << i;
            EXPECT_EQ(engine.swapPairs()[i].second, c.pairs[i].second) << "n " << c.n << " pair " << i;
        }
    }
}

TEST(Fft1D, SmallTransformsAreExact) {
    struct Case {
        const char* name;
        std::int32_t n;
        float scale;
        std::int32_t type;
        bool centred;
        Values input;
        Values expected;
    };
    const Case cases[] = {
        {"n 1 only scales", 1, 0.5f, 0, false, {{3.0f, -2.0f}}, {{1.5f, -1.0f}}},
        {"n 1 centred only scales", 1, 0.5f, 1, true, {{3.0f, -2.0f}}, {{1.5f, -1.0f}}},
        {"n 2 one butterfly", 2, 1.0f, 0, false, {{1.0f, 2.0f}, {3.0f, 5.0f}}, {{4.0f, 7.0f}, {-2.0f, -3.0f}}},
        {"n 2 centred", 2, 1.0f, 1, true, {{1.0f, 2.0f}, {3.0f, 5.0f}}, {{2.0f, 3.0f}, {4.0f, 7.0f}}},
        {"n 4 impulse at 0", 4, 1.0f, 0, false, {{1, 0}, {0, 0}, {0, 0}, {0, 0}}, {{1, 0}, {1, 0}, {1, 0}, {1, 0}}},
        {"n 4 ones", 4, 1.0f, 0, false, {{1, 0}, {1, 0}, {1, 0}, {1, 0}}, {{4, 0}, {0, 0}, {0, 0}, {0, 0}}},
        {"n 4 impulse at 1 forward", 4, 1.0f, 0, false, {{0, 0}, {1, 0}, {0, 0}, {0, 0}},
         {{1, 0}, {0, -1}, {-1, 0}, {0, 1}}},
        {"n 4 impulse at 1 inverse", 4, 1.0f, 1, false, {{0, 0}, {1, 0}, {0, 0}, {0, 0}},
         {{1, 0}, {0, 1}, {-1, 0}, {0, -1}}},
        {"n 4 centred impulse at 0", 4, 1.0f, 0, true, {{0, 0}, {0, 0}, {1, 0}, {0, 0}},
         {{1, 0}, {1, 0}, {1, 0}, {1, 0}}},
        {"n 4 centred ones, scale 1/4", 4, 0.25f, 0, true, {{1, 0}, {1, 0}, {1, 0}, {1, 0}},
         {{0, 0}, {0, 0}, {1, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        const CFft1D engine(c.n, c.scale, c.type);
        Values data = c.input;
        if (c.centred)
            engine.TransformCentered(data.data());
        else
            engine.Transform(data.data());
        for (std::int32_t k = 0; k < c.n; ++k) {
            EXPECT_NEAR(data[k].real(), c.expected[k].real(), 1e-6) << c.name << " k " << k;
            EXPECT_NEAR(data[k].imag(), c.expected[k].imag(), 1e-6) << c.name << " k " << k;
        }
    }
}

// Input (1, +inf) would become (NaN, +inf) under a multiplication by (1, 0),
// so an unchanged value proves that no scaling pass ran.
TEST(Fft1D, ScaleOfExactlyOneSkipsTheScalingPass) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        float scale;
        bool scaled;
    };
    const Case cases[] = {
        {"scale 1", 1.0f, false},
        {"scale just below 1", std::nextafter(1.0f, 0.0f), true},
        {"scale NaN", std::numeric_limits<float>::quiet_NaN(), true},
    };
    for (const Case& c : cases) {
        const CFft1D engine(1, c.scale, 0);
        std::complex<float> v(1.0f, inf);
        engine.Transform(&v);
        EXPECT_EQ(std::isnan(v.real()), c.scaled) << c.name;
    }
}

// Direct transform in double over centred or natural indices; the reference
// for the random-data checks.
std::vector<std::complex<double>> DirectDft(const Values& x, bool inverse, bool centred, double scale) {
    const std::size_t n = x.size();
    const std::ptrdiff_t shift = centred ? static_cast<std::ptrdiff_t>(n / 2) : 0;
    const double sign = inverse ? 1.0 : -1.0;
    std::vector<std::complex<double>> kernel(n);
    for (std::size_t i = 0; i < n; ++i)
        kernel[i] = std::polar(1.0, sign * 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n));
    std::vector<std::complex<double>> out(n);
    for (std::size_t kp = 0; kp < n; ++kp) {
        const std::ptrdiff_t k = static_cast<std::ptrdiff_t>(kp) - shift;
        std::complex<double> sum = 0.0;
        for (std::size_t mp = 0; mp < n; ++mp) {
            const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(mp) - shift;
            const std::ptrdiff_t n2 = static_cast<std::ptrdiff_t>(n);
            const std::size_t phase = static_cast<std::size_t>(((m * k) % n2 + n2) % n2);
            sum += std::complex<double>(x[mp]) * kernel[phase];
        }
        out[kp] = sum * scale;
    }
    return out;
}

Values RandomValues(std::int32_t n, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    Values v(static_cast<std::size_t>(n));
    for (auto& e : v) e = {uniform(random), uniform(random)};
    return v;
}

double Norm(const Values& x) {
    double sum = 0.0;
    for (const auto& e : x) sum += std::norm(std::complex<double>(e));
    return std::sqrt(sum);
}

// Largest error over all frequencies, relative to the input's norm (and the
// scale, so that the normalised inverse is held to the same standard).
TEST(Fft1D, AgreesWithDirectTransformOnRandomData) {
    for (std::int32_t n = 2; n <= 4096; n *= 2) {
        // Every direction and order up to 512; beyond, forward natural and
        // inverse centred keep the direct sums affordable.
        for (int variant = 0; variant < 4; ++variant) {
            if (n > 512 && (variant == 1 || variant == 2)) continue;
            const bool inverse = (variant & 1) != 0;
            const bool centred = (variant & 2) != 0;
            const float scale = inverse ? 1.0f / static_cast<float>(n) : 1.0f;
            const Values x = RandomValues(n, static_cast<std::uint32_t>(n * 4 + variant));
            const auto reference = DirectDft(x, inverse, centred, scale);

            const CFft1D engine(n, scale, inverse ? 1 : 0);
            Values y = x;
            if (centred)
                engine.TransformCentered(y.data());
            else
                engine.Transform(y.data());

            double worst = 0.0;
            for (std::size_t k = 0; k < y.size(); ++k)
                worst = std::max(worst, std::abs(std::complex<double>(y[k]) - reference[k]));
            const double tolerance = 1e-5 * std::log2(static_cast<double>(n)) / 12.0;
            EXPECT_LE(worst / (scale * Norm(x)), tolerance)
                << "n " << n << (inverse ? " inverse" : " forward") << (centred ? " centred" : " natural");
        }
    }
}

TEST(Fft1D, ForwardThenInverseReturnsTheInput) {
    for (std::int32_t n = 1; n <= 4096; n *= 2) {
        for (const bool centred : {false, true}) {
            const Values x = RandomValues(n, static_cast<std::uint32_t>(n + 7));
            const CFft1D forward(n, 1.0f, 0);
            const CFft1D inverse(n, 1.0f / static_cast<float>(n), 1);
            Values y = x;
            if (centred) {
                forward.TransformCentered(y.data());
                inverse.TransformCentered(y.data());
            } else {
                forward.Transform(y.data());
                inverse.Transform(y.data());
            }
            double worst = 0.0;
            for (std::size_t i = 0; i < x.size(); ++i)
                worst = std::max(worst, std::abs(std::complex<double>(y[i]) - std::complex<double>(x[i])));
            EXPECT_LE(worst, 1e-5) << "n " << n << (centred ? " centred" : " natural");
        }
    }
}

TEST(Fft1D, CentredImpulseAtOneGivesTheKernel) {
    for (std::int32_t n : {4, 8, 64}) {
        Values x(static_cast<std::size_t>(n));
        x[static_cast<std::size_t>(n / 2 + 1)] = 1.0f;  // centred index 1
        const CFft1D engine(n, 1.0f, 0);
        engine.TransformCentered(x.data());
        for (std::int32_t p = 0; p < n; ++p) {
            const double k = p - n / 2;
            const auto expected = std::polar(1.0, -2.0 * M_PI * k / n);
            EXPECT_NEAR(x[p].real(), expected.real(), 1e-6) << "n " << n << " k " << k;
            EXPECT_NEAR(x[p].imag(), expected.imag(), 1e-6) << "n " << n << " k " << k;
        }
    }
}

}  // namespace
