// The one-dimensional array: ranges, storage reuse for an equal count, zeroing
// and the storage limits.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "array/CArray1D.h"

namespace {

using Sequence = CArray1D<float>;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

std::vector<float> Values(const Sequence& sequence) {
    return std::vector<float>(sequence.elements(), sequence.elements() + sequence.elementCount());
}

TEST(Array1D, DefaultIsOneZeroElement) {
    const Sequence sequence;
    EXPECT_EQ(sequence.xFirst(), 0);
    EXPECT_EQ(sequence.xLast(), 0);
    EXPECT_EQ(sequence.elementCount(), 1);
    EXPECT_EQ(sequence[0], 0.0f);
    EXPECT_EQ(sequence.Get(1), 0.0f);
    EXPECT_EQ(sequence.slack(), 0);
    EXPECT_EQ(sequence.baseBlock(), nullptr);
}

TEST(Array1D, ResizeReusesStorageOnlyForAnEqualCount) {
    Sequence sequence;
    sequence.Resize(-3, 3);
    ASSERT_EQ(sequence.elementCount(), 7);
    EXPECT_EQ(sequence.origin(), 3);
    for (std::int32_t i = -3; i <= 3; ++i) {
        EXPECT_EQ(sequence[i], 0.0f) << i;
        sequence[i] = static_cast<float>(10 * i);
    }
    EXPECT_EQ(&sequence[-3], sequence.elements());

    const float* storage = sequence.elements();
    sequence.Resize(10, 16);  // same count: bounds and origin move, values stay
    EXPECT_EQ(sequence.elements(), storage);
    EXPECT_EQ(sequence.xFirst(), 10);
    EXPECT_EQ(sequence.xLast(), 16);
    EXPECT_EQ(sequence[10], -30.0f);
    EXPECT_EQ(sequence[16], 30.0f);
    EXPECT_EQ(sequence.Get(9), 0.0f);

    sequence.Resize(0, 9);  // other count: new storage, all zero
    EXPECT_EQ(sequence.elementCount(), 10);
    EXPECT_EQ(Values(sequence), std::vector<float>(10, 0.0f));

    sequence.Resize(kMax - 1, kMax);  // a range at the top of the index range
    sequence[kMax] = 1.0f;
    EXPECT_EQ(sequence.Get(kMax), 1.0f);
    EXPECT_EQ(sequence.Get(kMin), 0.0f);
}

TEST(Array1D, EmptyRangeHoldsNoStorage) {
    Sequence sequence;
    sequence.Resize(5, 4);
    EXPECT_EQ(sequence.xFirst(), 5);
    EXPECT_EQ(sequence.xLast(), 4);
    EXPECT_EQ(sequence.elementCount(), 0);
    EXPECT_EQ(sequence.elements(), nullptr);
    EXPECT_EQ(sequence.Get(5), 0.0f);
    sequence.Resize(0, 2);
    EXPECT_EQ(Values(sequence), std::vector<float>(3, 0.0f));
}

TEST(Array1D, RefusedCountsThrowBadAlloc) {
    struct Case {
        const char* name;
        std::int32_t first, last;
    };
    const Case cases[] = {
        {"count -1", 5, 3},
        {"far inverted", kMax, kMin},
        {"2^30 elements", 0, 0x3FFFFFFF},
        {"whole index range", kMin, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sequence sequence;
        EXPECT_THROW(sequence.Resize(c.first, c.last), std::bad_alloc);
        EXPECT_EQ(sequence.elementCount(), 0);
        EXPECT_EQ(sequence.elements(), nullptr);
        sequence.Resize(1, 2);  // usable again
        EXPECT_EQ(Values(sequence), std::vector<float>(2, 0.0f));
    }
}

}  // namespace
