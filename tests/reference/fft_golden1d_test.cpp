// The one-dimensional engine against the bit patterns of tests/data/golden/fft1d.txt:
// swap lists, twiddle tables and transforms, compared bit for bit.
#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "reference/CFft1D.h"
#include "support/golden.h"

namespace {

using testsupport::GoldenReader;
using testsupport::Hex;
using testsupport::SameFloat;
using Values = std::vector<std::complex<float>>;

// Counts the elements that differ in either component and describes the first few.
int CompareBits(const Values& expected, const Values& actual, std::string& report) {
    int bad = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const bool same = SameFloat(expected[i].real(), actual[i].real()) &&
                          SameFloat(expected[i].imag(), actual[i].imag());
        if (same) continue;
        if (++bad <= 4) {
            report += "  [" + std::to_string(i) + "] expected " + Hex(expected[i].real()) + " " +
                      Hex(expected[i].imag()) + ", got " + Hex(actual[i].real()) + " " +
                      Hex(actual[i].imag()) + "\n";
        }
    }
    return bad;
}

TEST(FftGolden1D, EveryRecordMatchesBitForBit) {
    GoldenReader in(testsupport::DataPath("golden/fft1d.txt"));
    int swapRecords = 0, tableRecords = 0, transformRecords = 0;

    while (!in.AtEnd()) {
        const std::string kind = in.Word();
        if (kind == "swaps") {
            const auto n = static_cast<std::int32_t>(in.Int());
            const auto count = static_cast<std::int32_t>(in.Int());
            SCOPED_TRACE("swaps " + std::to_string(n));
            const CFft1D engine(n, 1.0f, 0);
            ASSERT_EQ(engine.swapCount(), count);
            for (std::int32_t i = 0; i < count; ++i) {
                const auto first = in.Int();
                const auto second = in.Int();
                ASSERT_EQ(engine.swapPairs()[i].first, first) << "pair " << i;
                ASSERT_EQ(engine.swapPairs()[i].second, second) << "pair " << i;
            }
            ++swapRecords;
        } else if (kind == "sinusoids") {
            const auto n = static_cast<std::int32_t>(in.Int());
            const auto type = static_cast<std::int32_t>(in.Int());
            const Values expected = in.Complexes(static_cast<std::size_t>(n / 2));
            const CFft1D engine(n, 1.0f, type);
            const Values actual(engine.sinusoidTable(), engine.sinusoidTable() + n / 2);
            std::string report;
            EXPECT_EQ(CompareBits(expected, actual, report), 0)
                << "sinusoids " << n << " type " << type << "\n" << report;
            ++tableRecords;
        } else if (kind == "transform") {
            const auto n = static_cast<std::int32_t>(in.Int());
            const auto type = static_cast<std::int32_t>(in.Int());
            const float scale = in.Float();
            const bool centred = in.Int() != 0;
            in.Expect("input");
            Values data = in.Complexes(static_cast<std::size_t>(n));
            in.Expect("output");
            const Values expected = in.Complexes(static_cast<std::size_t>(n));

            const CFft1D engine(n, scale, type);
            if (centred)
                engine.TransformCentered(data.data());
            else
                engine.Transform(data.data());
            std::string report;
            EXPECT_EQ(CompareBits(expected, data, report), 0)
                << "transform case " << transformRecords << ": n " << n << " type " << type
                << " scale " << Hex(scale) << (centred ? " centred" : " natural") << "\n" << report;
            ++transformRecords;
        } else {
            FAIL() << "unknown record '" << kind << "'";
        }
    }
    // Guards against a reader that silently skipped most of the file.
    EXPECT_EQ(swapRecords, 3);
    EXPECT_EQ(tableRecords, 6);
    EXPECT_EQ(transformRecords, 7 * 8 + 4 + 2 + 5);
}

}  // namespace
