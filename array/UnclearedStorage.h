// Storage for a plane whose first user writes every element before it reads
// any, such as the gray conversion: allocated without being cleared, so that
// the writing pass, on however many threads it runs, is the first touch of the
// memory. The plane takes the storage as a caller's buffer; the returned owner
// must outlive the plane's use of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "array/ArraySize.h"
#include "array/CArray2D.h"
#include "platform/LargeBlock.h"

// Gives `plane` the bounds xFirst .. xLast by yFirst .. yLast on new, uncleared
// storage. Throws std::bad_alloc for a count the plane cannot hold.
template <class T>
std::unique_ptr<T[]> GiveUnclearedStorage(CArray2D<T>& plane, std::int32_t xFirst, std::int32_t xLast,
                                          std::int32_t yFirst, std::int32_t yLast) {
    const std::int64_t count = arraysize::CheckedCount(arraysize::Extent(xFirst, xLast),
                                                       arraysize::Extent(yFirst, yLast), arraysize::MaxElements<T>());
    if (count < 0) throw std::bad_alloc();
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(T);  // fits 32 bits, see MaxElements
    auto storage = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(count == 0 ? 1 : count));
    // Without this hint the whole A4 job takes 1.6 times as long (the gray plane).
    platform::AdviseLargeBlock(storage.get(), bytes);
    plane.Resize(xFirst, xLast, yFirst, yLast, storage.get(), static_cast<std::uint32_t>(bytes));
    return storage;
}

// A float plane on uncleared storage; the storage, declared first, outlives
// the plane's use of it.
struct UnclearedPlane {
    UnclearedPlane(std::int32_t width, std::int32_t height) {
        storage = GiveUnclearedStorage(plane, 0, width - 1, 0, height - 1);
    }
    std::unique_ptr<float[]> storage;
    CArray2D<float> plane;
};
