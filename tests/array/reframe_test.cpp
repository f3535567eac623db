// Reframing a plane with the four edge modes, and the mirror index rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "array/CArray2D.h"
#include "support/counting_plane.h"
#include "array/MirrorIndex.h"

namespace {

using Plane = CArray2D<float>;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

void FillCounting(Plane& plane) {
    for (std::int32_t i = 0; i < plane.elementCount(); ++i) plane.elements()[i] = static_cast<float>(i + 1);
}

std::vector<float> Values(const Plane& plane) {
    return std::vector<float>(plane.elements(), plane.elements() + plane.elementCount());
}

std::vector<float> Row(const Plane& plane, std::int32_t y) {
    std::vector<float> row;
    for (std::int32_t x = plane.xFirst(); x <= plane.xLast(); ++x) row.push_back(plane.Get(x, y));
    return row;
}

void ExpectBounds(const Plane& plane, std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst,
                  std::int32_t yLast) {
    EXPECT_EQ(plane.xFirst(), xFirst);
    EXPECT_EQ(plane.xLast(), xLast);
    EXPECT_EQ(plane.yFirst(), yFirst);
    EXPECT_EQ(plane.yLast(), yLast);
}

using testsupport::CountingPlane;

TEST(MirrorIndex, WorkedTables) {
    struct Case {
        std::int32_t first, extent, index, expected;
    };
    const Case cases[] = {
        {0, 4, -9, 0}, {0, 4, -8, 0}, {0, 4, -7, 1}, {0, 4, -6, 2}, {0, 4, -5, 3}, {0, 4, -4, 3},
        {0, 4, -3, 2}, {0, 4, -2, 1}, {0, 4, -1, 0}, {0, 4, 0, 0},  {0, 4, 3, 3},  {0, 4, 4, 3},
        {0, 4, 5, 2},  {0, 4, 6, 1},  {0, 4, 7, 0},  {0, 4, 8, 0},  {0, 4, 9, 1},  {0, 4, 12, 3},
        {-1, 3, -6, 0}, {-1, 3, -5, 1}, {-1, 3, -4, 1}, {-1, 3, -3, 0}, {-1, 3, -2, -1}, {-1, 3, -1, -1},
        {-1, 3, 0, 0},  {-1, 3, 1, 1},  {-1, 3, 2, 1},  {-1, 3, 3, 0},  {-1, 3, 4, -1},  {-1, 3, 5, -1},
        {-1, 3, 6, 0},
        {5, 1, 5, 5}, {5, 1, 4, 5}, {5, 1, 6, 5}, {5, 1, -100, 5}, {5, 1, kMin, 5}, {5, 1, kMax, 5},
        // Far outside in both directions: d = index - first needs more than 32 bits.
        {0, 4, kMax, 0},
        {0, 4, kMin, 0},
        {kMax - 3, 4, kMin, kMax},
        {kMin, 4, kMax, kMin},
        {kMin, 0x3FFFFFFF, kMax, kMin + 3},
        {kMax - 0x3FFFFFFE, 0x3FFFFFFF, kMin, kMax - 3},
    };
    for (const Case& c : cases) {
        const MirrorIndex mirror(c.first, c.extent);
        EXPECT_EQ(mirror.period, 2 * c.extent);
        EXPECT_EQ(mirror.Map(c.index), c.expected)
            << "first " << c.first << ", extent " << c.extent << ", index " << c.index;
    }
}

TEST(MirrorIndex, RefusesEmptyOrOverlongRanges) {
    for (const std::int32_t extent : {0, -1, 0x40000000, kMax}) {
        SCOPED_TRACE(extent);
        EXPECT_THROW(MirrorIndex(0, extent), std::string);
    }
}

TEST(Reframe, ModesOutsideTheEnumerationDoNothing) {
    for (const std::int32_t mode : {4, -1, 100, kMin}) {
        SCOPED_TRACE(mode);
        CountingPlane plane(0, 3, 0, 1);
        FillCounting(plane);
        const float* storage = plane.elements();
        EXPECT_EQ(&plane.Reframe(-5, 5, -5, 5, static_cast<ReframeMode>(mode)), &plane);
        ExpectBounds(plane, 0, 3, 0, 1);
        EXPECT_EQ(plane.elements(), storage);
        EXPECT_EQ(Values(plane), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(plane.resizeCalls, 0);
    }
}

TEST(Reframe, UnchangedBounds) {
    struct Case {
        const char* name;
        ReframeMode mode;
        int resizeCalls;
        bool cleared;
    };
    const Case cases[] = {
        {"Zero clears", ReframeMode::Zero, 1, true},
        {"Keep touches nothing", ReframeMode::Keep, 0, false},
        {"Mirror touches nothing", ReframeMode::Mirror, 0, false},
        {"Bare keeps the values", ReframeMode::Bare, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingPlane plane(-1, 2, 3, 4);
        FillCounting(plane);
        const float* storage = plane.elements();
        plane.Reframe(-1, 2, 3, 4, c.mode);
        ExpectBounds(plane, -1, 2, 3, 4);
        EXPECT_EQ(plane.elements(), storage);
        EXPECT_EQ(plane.resizeCalls, c.resizeCalls);
        const std::vector<float> expected =
            c.cleared ? std::vector<float>(8, 0.0f) : std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8};
        EXPECT_EQ(Values(plane), expected);
    }
}

TEST(Reframe, ZeroAndBareToNewBounds) {
    struct Case {
        const char* name;
        ReframeMode mode;
        std::int32_t xFirst, xLast, yFirst, yLast;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"Bare, same count: storage order kept", ReframeMode::Bare, 0, 1, 0, 3, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Bare, other count: zeros", ReframeMode::Bare, 0, 2, 0, 1, std::vector<float>(6, 0.0f)},
        {"Zero, same count", ReframeMode::Zero, 0, 1, 0, 3, std::vector<float>(8, 0.0f)},
        {"Zero, other count", ReframeMode::Zero, -4, 4, 0, 0, std::vector<float>(9, 0.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingPlane plane(0, 3, 0, 1);
        FillCounting(plane);
        plane.Reframe(c.xFirst, c.xLast, c.yFirst, c.yLast, c.mode);
        ExpectBounds(plane, c.xFirst, c.xLast, c.yFirst, c.yLast);
        EXPECT_EQ(plane.resizeCalls, 1);
        EXPECT_EQ(Values(plane), c.expected);
    }
}

TEST(Reframe, KeepCropsAndPads) {
    // 0..3 x 0..3 holding 1..16 to -1..2 x 1..5: old values at x 0..2, y 1..3.
    CountingPlane plane(0, 3, 0, 3);
    FillCounting(plane);
    plane.Reframe(-1, 2, 1, 5, ReframeMode::Keep);
    ExpectBounds(plane, -1, 2, 1, 5);
    EXPECT_EQ(plane.resizeCalls, 1);
    EXPECT_EQ(Row(plane, 1), (std::vector<float>{0, 5, 6, 7}));
    EXPECT_EQ(Row(plane, 2), (std::vector<float>{0, 9, 10, 11}));
    EXPECT_EQ(Row(plane, 3), (std::vector<float>{0, 13, 14, 15}));
    EXPECT_EQ(Row(plane, 4), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(Row(plane, 5), (std::vector<float>{0, 0, 0, 0}));

    // Same count, shifted: the kept storage is cleared before the overlap returns.
    Plane shifted(0, 3, 0, 1);
    FillCounting(shifted);
    shifted.Reframe(2, 5, 0, 1, ReframeMode::Keep);
    EXPECT_EQ(Row(shifted, 0), (std::vector<float>{3, 4, 0, 0}));
    EXPECT_EQ(Row(shifted, 1), (std::vector<float>{7, 8, 0, 0}));
}

TEST(Reframe, MirrorExtendsInEveryDirection) {
    struct Case {
        const char* name;
        std::int32_t oldXLast, oldYLast;            // old plane 0..oldXLast x 0..oldYLast, holding 1, 2, ...
        std::int32_t xFirst, xLast, yFirst, yLast;  // new bounds
        std::vector<std::vector<float>> rows;       // expected rows from yFirst up
    };
    const Case cases[] = {
        {"single row a b c d", 3, 0, -2, 5, -1, 1,
         {{2, 1, 1, 2, 3, 4, 4, 3}, {2, 1, 1, 2, 3, 4, 4, 3}, {2, 1, 1, 2, 3, 4, 4, 3}}},
        {"2 x 2 to 4 x 4", 1, 1, -1, 2, -1, 2,
         {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}}},
        {"wholly outside the old columns", 3, 0, 10, 13, 0, 0, {{3, 4, 4, 3}}},
        {"crop inside", 3, 2, 1, 2, 1, 1, {{6, 7}}},
        {"single element", 0, 0, -1, 1, 4, 5, {{1, 1, 1}, {1, 1, 1}}},
        {"to an empty plane", 3, 2, 0, -1, 0, 3, {{}, {}, {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingPlane plane(0, c.oldXLast, 0, c.oldYLast);
        FillCounting(plane);
        plane.Reframe(c.xFirst, c.xLast, c.yFirst, c.yLast, ReframeMode::Mirror);
        ExpectBounds(plane, c.xFirst, c.xLast, c.yFirst, c.yLast);
        EXPECT_EQ(plane.resizeCalls, 1);
        for (std::size_t i = 0; i < c.rows.size(); ++i)
            EXPECT_EQ(Row(plane, c.yFirst + static_cast<std::int32_t>(i)), c.rows[i]) << "row " << i;
    }
}

TEST(Reframe, MirrorOfAnEmptyPlaneIsRefused) {
    for (const auto& [xLast, yLast] : {std::pair{-1, 3}, std::pair{3, -1}}) {
        CountingPlane plane(0, xLast, 0, yLast);
        try {
            plane.Reframe(-2, 2, -2, 2, ReframeMode::Mirror);
            FAIL() << "mirrored an empty plane";
        } catch (const std::string& message) {
            EXPECT_EQ(message, "CArray2D::Reframe : cannot mirror an empty plane!");
        }
        ExpectBounds(plane, 0, xLast, 0, yLast);
        EXPECT_EQ(plane.resizeCalls, 0);
    }
}

TEST(Reframe, RefusedStorageLeavesAnEmptyPlane) {
    for (const ReframeMode mode : {ReframeMode::Zero, ReframeMode::Keep, ReframeMode::Mirror, ReframeMode::Bare}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Plane plane(0, 3, 0, 3);
        EXPECT_THROW(plane.Reframe(0, 65535, 0, 65535, mode), std::bad_alloc);
        EXPECT_EQ(plane.elementCount(), 0);
        plane.Reframe(0, 1, 0, 1, ReframeMode::Zero);
        EXPECT_EQ(plane.elementCount(), 4);
    }
}

}  // namespace
