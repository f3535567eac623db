// The two-dimensional transform against the bit patterns of
// tests/data/golden/fft2d.txt, every element of the plane included.
#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <string>

#include "array/CArray2D.h"
#include "reference/CFft2D.h"
#include "support/golden.h"

namespace {

using testsupport::GoldenReader;
using testsupport::Hex;
using testsupport::SameFloat;
using Plane = CArray2D<std::complex<float>>;

// Reads a plane row after row from y = yFirst, x ascending, into `plane`.
void ReadPlane(GoldenReader& in, Plane& plane) {
    for (std::int32_t y = plane.yFirst(); y <= plane.yLast(); ++y)
        for (std::int32_t x = plane.xFirst(); x <= plane.xLast(); ++x) plane(x, y) = in.Complex();
}

TEST(FftGolden2D, EveryPlaneMatchesBitForBit) {
    GoldenReader in(testsupport::DataPath("golden/fft2d.txt"));
    int cases = 0;
    while (!in.AtEnd()) {
        in.Expect("fft2d");
        const auto m = static_cast<std::int32_t>(in.Int());
        const auto n = static_cast<std::int32_t>(in.Int());
        const auto type = static_cast<std::int32_t>(in.Int());
        const float xScale = in.Float();
        const float yScale = in.Float();
        const std::string name = "case " + std::to_string(cases) + ": " + std::to_string(m) + " x " +
                                 std::to_string(n) + " type " + std::to_string(type);

        Plane plane(-(m / 2), m / 2, -(n / 2), n / 2);
        Plane expected(-(m / 2), m / 2, -(n / 2), n / 2);
        in.Expect("input");
        ReadPlane(in, plane);
        in.Expect("output");
        ReadPlane(in, expected);

        CFft2D(m, n, xScale, yScale, type).Transform(plane);

        int bad = 0;
        std::string report;
        for (std::int32_t y = plane.yFirst(); y <= plane.yLast(); ++y) {
            for (std::int32_t x = plane.xFirst(); x <= plane.xLast(); ++x) {
                const auto e = expected(x, y), a = plane(x, y);
                if (SameFloat(e.real(), a.real()) && SameFloat(e.imag(), a.imag())) continue;
                if (++bad <= 4)
                    report += "  (" + std::to_string(x) + ", " + std::to_string(y) + ") expected " +
                              Hex(e.real()) + " " + Hex(e.imag()) + ", got " + Hex(a.real()) + " " +
                              Hex(a.imag()) + "\n";
            }
        }
        EXPECT_EQ(bad, 0) << name << "\n" << report;
        ++cases;
    }
    EXPECT_EQ(cases, 8 * 3 + 3);
}

}  // namespace
