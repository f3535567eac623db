// The two-dimensional array: bounds, storage reuse, relabelling, outside
// access, copies and conversions, caller buffers and the storage limits.
#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "array/CArray2D.h"
#include "array/UnclearedStorage.h"
#include "support/counting_plane.h"

namespace {

using Plane = CArray2D<float>;
using ComplexPlane = CArray2D<std::complex<float>>;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Puts 0, 1, 2, ... into the elements in storage order.
void FillCounting(Plane& plane) {
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) plane.elements()[i] = static_cast<float>(i);
}

std::vector<float> Values(const Plane& plane) {
    return std::vector<float>(plane.elements(), plane.elements() + plane.elementCount());
}

void ExpectBounds(const Plane& plane, std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst,
                  std::int32_t yLast) {
    EXPECT_EQ(plane.xFirst(), xFirst);
    EXPECT_EQ(plane.xLast(), xLast);
    EXPECT_EQ(plane.yFirst(), yFirst);
    EXPECT_EQ(plane.yLast(), yLast);
    EXPECT_EQ(plane.pitch(), static_cast<std::int64_t>(xLast) - xFirst + 1);
}

using testsupport::CountingPlane;

TEST(Array2D, DefaultIsOneZeroElement) {
    const Plane plane;
    ExpectBounds(plane, 0, 0, 0, 0);
    EXPECT_EQ(plane.elementCount(), 1);
    EXPECT_EQ(plane.Get(0, 0), 0.0f);
    EXPECT_EQ(plane.Get(1, 0), 0.0f);
    EXPECT_EQ(plane.outsideValue(), 0.0f);
    EXPECT_EQ(plane.slack(), 0);
    EXPECT_EQ(plane.baseBlock(), nullptr);
}

TEST(Array2D, ResizeToSameCountKeepsStorageAndValues) {
    Plane plane(0, 3, 0, 1);
    FillCounting(plane);
    const float* storage = plane.elements();
    plane.Resize(0, 1, 0, 3);
    ExpectBounds(plane, 0, 1, 0, 3);
    EXPECT_EQ(plane.elements(), storage);
    EXPECT_EQ(plane.Get(1, 0), 1.0f);
    EXPECT_EQ(plane.Get(0, 1), 2.0f);
    EXPECT_EQ(plane.Get(1, 3), 7.0f);
    EXPECT_EQ(plane.Get(2, 0), 0.0f);  // outside now
}

TEST(Array2D, ResizeToOtherCountZeroes) {
    Plane plane(0, 3, 0, 1);
    FillCounting(plane);
    plane.Resize(-2, 2, 10, 11);
    ExpectBounds(plane, -2, 2, 10, 11);
    EXPECT_EQ(Values(plane), std::vector<float>(10, 0.0f));
}

TEST(Array2D, EmptyAxisGivesEmptyPlane) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;
    };
    const Case cases[] = {
        {"no columns", 0, -1, 0, 5},
        {"no rows", -3, 3, 7, 6},
        {"neither", 5, 4, -1, -2},
        {"rows at the top of the index range", 0, -1, kMax - 1, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Plane plane;
        plane.Set(0, 0, 4.0f);
        plane.Resize(c.xFirst, c.xLast, c.yFirst, c.yLast);
        ExpectBounds(plane, c.xFirst, c.xLast, c.yFirst, c.yLast);
        EXPECT_EQ(plane.elementCount(), 0);
        EXPECT_EQ(plane.elements(), nullptr);
        EXPECT_EQ(plane.Get(0, 0), 0.0f);
        EXPECT_EQ(plane.Get(c.xFirst, c.yFirst), 0.0f);
        plane.Set(c.xFirst, c.yFirst, 1.0f);  // dropped, and must not touch memory

        const Plane copy(plane);  // copying an empty plane moves nothing
        ExpectBounds(copy, c.xFirst, c.xLast, c.yFirst, c.yLast);
        EXPECT_EQ(copy.elementCount(), 0);
    }
}

TEST(Array2D, CenterOriginRanges) {
    struct Case {
        std::int32_t first, extent, centredFirst, centredLast;
    };
    const Case cases[] = {
        {0, 1, 0, 0},  {0, 2, -1, 0},  {0, 3, -1, 1},   {0, 4, -2, 1},        {0, 5, -2, 2},
        {0, 6, -3, 2}, {-7, 6, -3, 2}, {100, 5, -2, 2}, {kMax - 2, 3, -1, 1}, {kMin, 4, -2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("first " + std::to_string(c.first) + ", extent " + std::to_string(c.extent));
        const std::int32_t last = static_cast<std::int32_t>(static_cast<std::int64_t>(c.first) + c.extent - 1);
        // The same range on both axes; the element in the middle becomes (0, 0).
        Plane plane(c.first, last, c.first, last);
        FillCounting(plane);
        const float middle = plane.Get(c.first + c.extent / 2, c.first + c.extent / 2);
        const float* storage = plane.elements();
        EXPECT_EQ(&plane.CenterOrigin(), &plane);
        ExpectBounds(plane, c.centredFirst, c.centredLast, c.centredFirst, c.centredLast);
        EXPECT_EQ(plane.Get(0, 0), middle);
        EXPECT_EQ(plane.elements(), storage);
    }
}

TEST(Array2D, CenterOriginMovesNoElement) {
    Plane plane(0, 4, 0, 3);
    FillCounting(plane);
    const std::vector<float> before = Values(plane);
    const float atTwoTwo = plane.Get(2, 2);
    plane.CenterOrigin();
    ExpectBounds(plane, -2, 2, -2, 1);
    EXPECT_EQ(plane.Get(0, 0), atTwoTwo);
    EXPECT_EQ(plane.Get(-2, -2), 0.0f);
    EXPECT_EQ(plane.Get(2, 1), 19.0f);
    EXPECT_EQ(Values(plane), before);

    Plane empty(3, 2, 5, 9);
    empty.CenterOrigin();
    ExpectBounds(empty, 0, -1, -2, 2);
}

TEST(Array2D, MatchBoundsRelabelsOrResizes) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;
        bool keepsStorage;
        bool keepsValues;
    };
    // Source 0..2 x 0..2 holding 0..8.
    const Case cases[] = {
        {"same extents elsewhere", -1, 1, 5, 7, true, true},
        {"same bounds", 0, 2, 0, 2, true, true},
        {"other count", 0, 3, 0, 2, false, false},
        {"fewer rows", 10, 12, 0, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingPlane plane(0, 2, 0, 2);
        FillCounting(plane);
        const float* storage = plane.elements();
        const Plane target(c.xFirst, c.xLast, c.yFirst, c.yLast);
        plane.resizeCalls = 0;
        plane.MatchBounds(target);
        ExpectBounds(plane, c.xFirst, c.xLast, c.yFirst, c.yLast);
        EXPECT_EQ(plane.resizeCalls, c.keepsStorage ? 0 : 1);
        if (c.keepsStorage) {
            EXPECT_EQ(plane.elements(), storage);
        }
        if (c.keepsValues) {
            EXPECT_EQ(plane.Get(c.xFirst, c.yFirst), 0.0f);
            EXPECT_EQ(plane.Get(c.xFirst + 1, c.yFirst), 1.0f);
            EXPECT_EQ(plane.Get(c.xFirst, c.yFirst + 2), 6.0f);
        } else {
            EXPECT_EQ(Values(plane), std::vector<float>(static_cast<std::size_t>(plane.elementCount()), 0.0f));
        }
    }
}

TEST(Array2D, MatchBoundsAcrossElementTypes) {
    // Transposed extents: a Resize that keeps the storage and its order.
    Plane plane(0, 3, 0, 1);
    FillCounting(plane);
    const ComplexPlane spectrum(-1, 0, -2, 1);
    plane.MatchBounds(spectrum);
    ExpectBounds(plane, -1, 0, -2, 1);
    EXPECT_EQ(plane.Get(0, -2), 1.0f);
    EXPECT_EQ(plane.Get(-1, 1), 6.0f);

    ComplexPlane other;
    other.MatchBounds(plane);
    EXPECT_EQ(other.xFirst(), -1);
    EXPECT_EQ(other.yLast(), 1);
    EXPECT_EQ(other.elementCount(), 8);

    plane.MatchBounds(7, 8, 0, 3);  // bounds given directly
    ExpectBounds(plane, 7, 8, 0, 3);
    EXPECT_EQ(plane.Get(8, 0), 1.0f);
}

TEST(Array2D, CopyOverlapCopiesTheCommonRectangleOnly) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;  // source bounds; destination is 0..3 x 0..2
        int copied;                                 // destination elements overwritten
    };
    const Case cases[] = {
        {"disjoint", 4, 6, 0, 2, 0},     {"disjoint rows", 0, 3, -5, -1, 0}, {"covering", -1, 4, -1, 3, 12},
        {"same bounds", 0, 3, 0, 2, 12}, {"corner", 2, 9, 1, 9, 4},          {"inside", 1, 2, 1, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Plane destination(0, 3, 0, 2);
        destination.Fill(-1.0f);
        Plane source(c.xFirst, c.xLast, c.yFirst, c.yLast);
        for (std::int32_t y = c.yFirst; y <= c.yLast; ++y)
            for (std::int32_t x = c.xFirst; x <= c.xLast; ++x) source.Set(x, y, static_cast<float>(100 * y + x));
        CopyOverlap(destination, source);
        ExpectBounds(destination, 0, 3, 0, 2);
        int copied = 0;
        for (std::int32_t y = 0; y <= 2; ++y) {
            for (std::int32_t x = 0; x <= 3; ++x) {
                const float expected = source.Contains(x, y) ? static_cast<float>(100 * y + x) : -1.0f;
                EXPECT_EQ(destination.Get(x, y), expected) << "at (" << x << ", " << y << ")";
                if (source.Contains(x, y)) ++copied;
            }
        }
        EXPECT_EQ(copied, c.copied);
    }
}

TEST(Array2D, BoundsAtTheEndsOfTheIndexRange) {
    // Loops over rows must not step past the largest index.
    Plane source(kMin, kMin + 1, kMax - 1, kMax);
    FillCounting(source);
    Plane destination(kMin, kMin + 2, kMax - 2, kMax);
    CopyOverlap(destination, source);
    EXPECT_EQ(destination.Get(kMin, kMax - 1), 0.0f);
    EXPECT_EQ(destination.Get(kMin + 1, kMax - 1), 1.0f);
    EXPECT_EQ(destination.Get(kMin + 1, kMax), 3.0f);
    EXPECT_EQ(destination.Get(kMin + 2, kMax), 0.0f);
    EXPECT_EQ(destination.Get(kMax, kMin), 0.0f);
    const Plane copy(source);
    EXPECT_EQ(copy.Get(kMin + 1, kMax), 3.0f);
}

TEST(Array2D, OutsideReadsGiveZeroAndWritesAreDropped) {
    Plane plane(-1, 1, -1, 1);
    plane.Fill(5.0f);
    ComplexPlane spectrum(-1, 1, -1, 1);
    spectrum.Fill({5.0f, 6.0f});
    const std::pair<std::int32_t, std::int32_t> outside[] = {{2, 0},  {-2, 0},      {0, 2},
                                                             {0, -2}, {kMin, kMax}, {kMax, kMin}};
    for (const auto& [x, y] : outside) {
        SCOPED_TRACE("(" + std::to_string(x) + ", " + std::to_string(y) + ")");
        plane.Set(x, y, 9.0f);
        spectrum.Set(x, y, {9.0f, 9.0f});
        EXPECT_EQ(plane.Get(x, y), 0.0f);
        EXPECT_EQ(spectrum.Get(x, y), std::complex<float>(0.0f, 0.0f));
    }
    EXPECT_EQ(Values(plane), std::vector<float>(9, 5.0f));
    for (std::int32_t i = 0; i < spectrum.elementCount(); ++i)
        EXPECT_EQ(spectrum.elements()[i], std::complex<float>(5.0f, 6.0f));
    plane.Set(1, -1, 2.0f);
    EXPECT_EQ(plane.Get(1, -1), 2.0f);
    EXPECT_EQ(plane.Row(-1)[2], 2.0f);
}

TEST(Array2D, CopiesAreDeep) {
    Plane source(-2, 1, 3, 5);
    FillCounting(source);
    Plane copy(source);
    ExpectBounds(copy, -2, 1, 3, 5);
    EXPECT_NE(copy.elements(), source.elements());
    EXPECT_EQ(Values(copy), Values(source));
    copy.Set(-2, 3, 99.0f);
    EXPECT_EQ(source.Get(-2, 3), 0.0f);
    const Plane moved(std::move(copy));  // takes the storage over; the source keeps none
    EXPECT_EQ(moved.Get(-2, 3), 99.0f);
    EXPECT_EQ(copy.elementCount(), 0);
    EXPECT_EQ(copy.elements(), nullptr);
}

TEST(Array2D, ConversionsKeepBoundsAndValues) {
    Plane plane(-3, 0, 2, 4);
    FillCounting(plane);
    plane.Set(-3, 2, -0.0f);
    plane.Set(0, 4, 1.5e-40f);  // a subnormal survives both ways

    const ComplexPlane spectrum = ToComplex(plane);
    EXPECT_EQ(spectrum.xFirst(), -3);
    EXPECT_EQ(spectrum.yLast(), 4);
    EXPECT_EQ(spectrum.Get(-2, 3), std::complex<float>(5.0f, 0.0f));
    EXPECT_EQ(spectrum.Get(1, 3), std::complex<float>(0.0f, 0.0f));

    const Plane back = RealPart(spectrum);
    ExpectBounds(back, -3, 0, 2, 4);
    EXPECT_EQ(Values(back), Values(plane));
    EXPECT_TRUE(std::signbit(back.Get(-3, 2)));
    EXPECT_EQ(back.Get(0, 4), 1.5e-40f);

    const ComplexPlane zeros = ZeroedLike(spectrum);
    EXPECT_EQ(zeros.xFirst(), -3);
    EXPECT_EQ(zeros.yFirst(), 2);
    EXPECT_EQ(zeros.elementCount(), 12);
    for (std::int32_t i = 0; i < zeros.elementCount(); ++i) EXPECT_EQ(zeros.elements()[i], std::complex<float>());
}

TEST(Array2D, CallerBufferIsUsedAsItStands) {
    float buffer[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    Plane plane(0, 5, 0, 5);
    plane.Resize(0, 1, 0, 1, buffer, 16);
    EXPECT_EQ(plane.elements(), buffer);
    EXPECT_EQ(plane.Get(1, 0), 2.0f);
    EXPECT_EQ(plane.Get(1, 1), 4.0f);

    plane.Resize(-1, 0, 0, 1);  // same count: stays on the caller's buffer
    EXPECT_EQ(plane.elements(), buffer);
    EXPECT_EQ(plane.Get(-1, 1), 3.0f);

    plane.Resize(0, 1, 0, 1, buffer, 0);  // 0 bytes: no size test
    EXPECT_EQ(plane.elements(), buffer);

    try {
        plane.Resize(0, 1, 0, 1, buffer, 15);
        FAIL() << "a 15-byte buffer for four floats was accepted";
    } catch (const std::string& message) {
        EXPECT_EQ(message, "CArray2D : Given memory size is too small!");
    }
    plane.Resize(0, 2, 0, 2);  // usable again; the buffer was never released (ASan would say so)
    EXPECT_NE(plane.elements(), buffer);
    EXPECT_EQ(Values(plane), std::vector<float>(9, 0.0f));
    EXPECT_EQ(buffer[3], 4.0f);
}

TEST(Array2D, RefusedCountsThrowBadAlloc) {
    struct Case {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;
    };
    const Case floatCases[] = {
        {"inverted x", 0, -2, 0, 0},
        {"inverted y", 0, 3, 5, 2},
        {"both inverted, positive product", 0, -2, 0, -2},
        {"2^30 floats", 0, 0x3FFFFFFF, 0, 0},
        {"product wraps 32 bits to zero", 0, 65535, 0, 65535},
        {"product wraps to a small count", 0, 65536, 0, 65535},
        {"extent beyond 32 bits, other axis empty", kMin, kMax, 0, -1},
        {"full range both ways", kMin, kMax, kMin, kMax},
    };
    for (const Case& c : floatCases) {
        SCOPED_TRACE(c.name);
        Plane plane(0, 1, 0, 1);
        EXPECT_THROW(plane.Resize(c.xFirst, c.xLast, c.yFirst, c.yLast), std::bad_alloc);
        // Left empty and usable.
        EXPECT_EQ(plane.elementCount(), 0);
        EXPECT_EQ(plane.elements(), nullptr);
        EXPECT_EQ(plane.Get(0, 0), 0.0f);
        plane.Resize(0, 1, 0, 1);
        EXPECT_EQ(plane.elementCount(), 4);
        EXPECT_THROW(Plane(c.xFirst, c.xLast, c.yFirst, c.yLast), std::bad_alloc);
    }
    ComplexPlane spectrum;
    EXPECT_THROW(spectrum.Resize(0, 0x1FFFFFFF, 0, 0), std::bad_alloc);  // 2^29 complex values
    EXPECT_THROW(spectrum.Resize(0, 0xFFFF, 0, 0x1FFF), std::bad_alloc);
}

}  // namespace

TEST(Array2D, UnclearedStorageIsTheCallersBuffer) {
    Plane plane;
    std::unique_ptr<float[]> storage = GiveUnclearedStorage(plane, 0, 6, -1, 3);
    EXPECT_EQ(plane.elements(), storage.get());
    EXPECT_EQ(plane.elementCount(), 35);
    EXPECT_EQ(plane.xLast(), 6);
    EXPECT_EQ(plane.yFirst(), -1);
    plane.Set(6, 3, 5.0f);
    EXPECT_EQ(storage[34], 5.0f);
    // A plane of the same extents keeps the storage, as the gray conversion relies on.
    plane.MatchBounds(0, 6, 0, 4);
    EXPECT_EQ(plane.elements(), storage.get());

    const struct {
        const char* name;
        std::int32_t xFirst, xLast, yFirst, yLast;
    } refused[] = {{"inverted", 0, -2, 0, 0}, {"2^30 floats", 0, 0x3FFFFFFF, 0, 0}, {"wraps", 0, 65536, 0, 65535}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(GiveUnclearedStorage(plane, c.xFirst, c.xLast, c.yFirst, c.yLast), std::bad_alloc);
        EXPECT_EQ(plane.elements(), storage.get());  // refused before anything changed
    }
}
