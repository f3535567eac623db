// CFft2D: construction and bounds checks, impulse and constant planes, the
// wrapped edges, and agreement with a direct double-precision 2-D DFT.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <string>

#include "array/CArray2D.h"
#include "reference/CFft2D.h"
#include "support/golden.h"

namespace {

using Plane = CArray2D<std::complex<float>>;
using testsupport::FloatBits;

struct Size {
    std::int32_t m, n;
};

std::string Name(const Size& s) { return std::to_string(s.m) + " x " + std::to_string(s.n); }

// A plane with the bounds a transform of M x N expects.
Plane SpectrumPlane(const Size& s) { return Plane(-(s.m / 2), s.m / 2, -(s.n / 2), s.n / 2); }

Plane RandomPlane(const Size& s, std::uint32_t seed) {
    Plane p = SpectrumPlane(s);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (std::int32_t i = 0; i < p.elementCount(); ++i) p.elements()[i] = {uniform(random), uniform(random)};
    return p;
}

bool SameBits(std::complex<float> a, std::complex<float> b) {
    return FloatBits(a.real()) == FloatBits(b.real()) && FloatBits(a.imag()) == FloatBits(b.imag());
}

template <class F>
std::string ThrownText(F&& action) {
    try {
        action();
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}

const Size kSizes[] = {{1, 1}, {1, 4}, {4, 1}, {2, 2}, {4, 8}, {8, 4}, {16, 2}};

TEST(Fft2D, RejectsCountsThatAreNotPowersOfTwo) {
    const Size cases[] = {{0, 4}, {4, 0}, {3, 4}, {4, 12}, {-4, 4}, {4, -2}};
    for (const Size& c : cases)
        EXPECT_EQ(ThrownText([&] { CFft2D(c.m, c.n, 1.0f, 1.0f, 0); }), "CFft2D::CFft2D : data count error!")
            << Name(c);
}

TEST(Fft2D, RejectsPlanesWithOtherBoundsAndLeavesThemAlone) {
    struct Case {
        const char* name;
        Size size;
        std::int32_t xFirst, xLast, yFirst, yLast;
    };
    const Case cases[] = {
        {"core only", {4, 4}, -2, 1, -2, 1},
        {"shifted x", {4, 4}, -1, 3, -2, 2},
        {"too wide", {4, 4}, -3, 3, -2, 2},
        {"transposed", {4, 8}, -4, 4, -2, 2},
        {"uncentred", {2, 2}, 0, 2, 0, 2},
        {"length 1 axis given two indices", {1, 4}, -1, 0, -2, 2},
        {"length 1 axis given none", {4, 1}, -2, 2, 0, -1},
    };
    for (const Case& c : cases) {
        Plane plane(c.xFirst, c.xLast, c.yFirst, c.yLast);
        plane.Fill({1.0f, 2.0f});
        EXPECT_EQ(ThrownText([&] { CFft2D(c.size.m, c.size.n, 1.0f, 1.0f, 0).Transform(plane); }),
                  "CFft2D::Transform : plane bounds do not match the transform size!")
            << c.name;
        for (std::int32_t i = 0; i < plane.elementCount(); ++i)
            ASSERT_TRUE(SameBits(plane.elements()[i], {1.0f, 2.0f})) << c.name << " element " << i;
    }
}

TEST(Fft2D, AnyNonZeroTypeIsTheInverse) {
    for (const std::int32_t type : {5, -1}) {
        Plane a = RandomPlane({8, 4}, 11), b = RandomPlane({8, 4}, 11);
        CFft2D(8, 4, 0.125f, 0.25f, 1).Transform(a);
        CFft2D(8, 4, 0.125f, 0.25f, type).Transform(b);
        for (std::int32_t i = 0; i < a.elementCount(); ++i)
            ASSERT_TRUE(SameBits(a.elements()[i], b.elements()[i])) << "type " << type << " element " << i;
    }
}

// Unit impulse at (0, 0): every element becomes (1, 0), edges included. A single
// column is not wrapped, so its last row is preset to the value expected there.
TEST(Fft2D, ImpulseGivesOnesEverywhere) {
    for (const Size& s : kSizes) {
        Plane plane = SpectrumPlane(s);
        plane(0, 0) = 1.0f;
        if (s.m == 1) plane(0, s.n / 2) = 1.0f;
        CFft2D(s.m, s.n, 1.0f, 1.0f, 0).Transform(plane);
        for (std::int32_t y = plane.yFirst(); y <= plane.yLast(); ++y)
            for (std::int32_t x = plane.xFirst(); x <= plane.xLast(); ++x)
                EXPECT_TRUE(SameBits(plane(x, y), {1.0f, 0.0f})) << Name(s) << " at " << x << ", " << y;
    }
}

TEST(Fft2D, ConstantCoreGivesOnlyTheZeroFrequency) {
    const std::complex<float> c(1.5f, -0.5f);
    for (const Size& s : kSizes) {
        Plane plane = SpectrumPlane(s);
        for (std::int32_t y = -(s.n / 2); y < -(s.n / 2) + s.n; ++y)
            for (std::int32_t x = -(s.m / 2); x < -(s.m / 2) + s.m; ++x) plane(x, y) = c;
        if (s.m > 1 || s.n > 1) plane(s.m / 2, s.n / 2) = 99.0f;  // an edge value takes no part
        CFft2D(s.m, s.n, 1.0f, 1.0f, 0).Transform(plane);
        const std::complex<float> dc = c * static_cast<float>(s.m * s.n);
        for (std::int32_t y = -(s.n / 2); y < -(s.n / 2) + s.n; ++y)
            for (std::int32_t x = -(s.m / 2); x < -(s.m / 2) + s.m; ++x)
                EXPECT_EQ(plane(x, y), (x == 0 && y == 0) ? dc : std::complex<float>()) << Name(s) << " at " << x
                                                                                        << ", " << y;
    }
}

// After any transform with M >= 2 the last column and row repeat the first ones;
// with a single column nothing is wrapped and the last row keeps its input.
TEST(Fft2D, EdgesRepeatTheFirstColumnAndRow) {
    for (const Size& s : kSizes) {
        Plane plane = RandomPlane(s, static_cast<std::uint32_t>(s.m * 100 + s.n));
        const Plane input(plane);
        CFft2D(s.m, s.n, 1.0f, 1.0f, 0).Transform(plane);
        const std::int32_t xl = plane.xLast(), yl = plane.yLast();
        if (s.m == 1) {
            EXPECT_TRUE(SameBits(plane(0, yl), input(0, yl))) << Name(s);
            continue;
        }
        for (std::int32_t y = -yl; y <= yl; ++y)
            EXPECT_TRUE(SameBits(plane(xl, y), plane(-xl, y))) << Name(s) << " row " << y;
        for (std::int32_t x = -xl; x <= xl; ++x)
            EXPECT_TRUE(SameBits(plane(x, yl), plane(x, -yl))) << Name(s) << " column " << x;
        EXPECT_TRUE(SameBits(plane(xl, yl), plane(-xl, -yl))) << Name(s);
    }
}

// Direct sum over the core in double, centred indices; the forward sign is negative.
std::complex<double> DirectDft(const Plane& f, const Size& s, std::int32_t u, std::int32_t v, bool inverse) {
    const double sign = inverse ? 1.0 : -1.0;
    std::complex<double> sum = 0.0;
    for (std::int32_t y = -(s.n / 2); y < -(s.n / 2) + s.n; ++y)
        for (std::int32_t x = -(s.m / 2); x < -(s.m / 2) + s.m; ++x) {
            const double phase = 2.0 * M_PI * (static_cast<double>(u * x % s.m) / s.m +
                                               static_cast<double>(v * y % s.n) / s.n);
            sum += std::complex<double>(f(x, y)) * std::polar(1.0, sign * phase);
        }
    return sum;
}

TEST(Fft2D, AgreesWithDirectTransformOnRandomData) {
    const Size sizes[] = {{1, 8}, {8, 1}, {4, 8}, {16, 4}, {32, 32}};
    for (const Size& s : sizes) {
        for (const bool inverse : {false, true}) {
            const float xScale = inverse ? 1.0f / static_cast<float>(s.m) : 1.0f;
            const float yScale = inverse ? 1.0f / static_cast<float>(s.n) : 1.0f;
            const Plane input = RandomPlane(s, static_cast<std::uint32_t>(s.m * 7 + s.n + inverse));
            Plane plane(input);
            CFft2D(s.m, s.n, xScale, yScale, inverse ? 1 : 0).Transform(plane);

            double norm = 0.0, worst = 0.0;
            for (std::int32_t y = -(s.n / 2); y < -(s.n / 2) + s.n; ++y)
                for (std::int32_t x = -(s.m / 2); x < -(s.m / 2) + s.m; ++x) {
                    norm += std::norm(std::complex<double>(input(x, y)));
                    const auto reference = DirectDft(input, s, x, y, inverse) * (double(xScale) * yScale);
                    worst = std::max(worst, std::abs(std::complex<double>(plane(x, y)) - reference));
                }
            EXPECT_LE(worst / (double(xScale) * yScale * std::sqrt(norm)), 1e-5)
                << Name(s) << (inverse ? " inverse" : " forward");
        }
    }
}

TEST(Fft2D, ForwardThenInverseReturnsTheCore) {
    for (const Size& s : kSizes) {
        const Plane input = RandomPlane(s, static_cast<std::uint32_t>(s.m * 31 + s.n));
        Plane plane(input);
        CFft2D(s.m, s.n, 1.0f, 1.0f, 0).Transform(plane);
        CFft2D(s.m, s.n, 1.0f / static_cast<float>(s.m), 1.0f / static_cast<float>(s.n), 1).Transform(plane);
        for (std::int32_t y = -(s.n / 2); y < -(s.n / 2) + s.n; ++y)
            for (std::int32_t x = -(s.m / 2); x < -(s.m / 2) + s.m; ++x)
                EXPECT_LE(std::abs(plane(x, y) - input(x, y)), 1e-5f) << Name(s) << " at " << x << ", " << y;
    }
}

}  // namespace
