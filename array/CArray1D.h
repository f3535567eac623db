// A sequence with an inclusive index range xFirst .. xLast that may start at any
// value, negative ones included; element i is at offset `origin` + i from the
// first element. Serves as the base of the one-dimensional frequency window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "array/ArraySize.h"
#include "array/CArrayBase.h"
#include "array/CArrayBlock.h"

template <class T, class A = std::allocator<T>>
class CArray1D : public CArrayBase<T> {
public:
    // Bytes to which the storage is aligned; 0 leaves it as the allocator gives
    // it. Must be a multiple of sizeof(T) when set.
    static inline std::uint32_t alignment = 0;

    // Range 0 .. 0: one element, zero.
    CArray1D() { Resize(0, 0); }

    CArray1D(const CArray1D&) = delete;
    CArray1D& operator=(const CArray1D&) = delete;

    virtual ~CArray1D() = default;

    // Gives the sequence the range first .. last. An owned block of the same
    // element count is kept with its values; otherwise new storage is allocated
    // and zeroed. Throws std::bad_alloc for a negative count, a count beyond
    // 2^30 - 1 elements or when storage cannot be had, leaving the sequence empty.
    void Resize(std::int32_t first, std::int32_t last);

    std::int32_t xFirst() const { return xFirst_; }
    std::int32_t xLast() const { return xLast_; }
    std::int32_t slack() const { return block_.slack(); }
    std::ptrdiff_t origin() const { return origin_; }  // offset of index 0 from elements()
    T outsideValue() const { return outsideValue_; }

    bool Contains(std::int32_t i) const { return i >= xFirst_ && i <= xLast_; }
    T Get(std::int32_t i) const { return Contains(i) ? (*this)[i] : outsideValue_; }

    // Unchecked access: i must lie inside the range.
    T& operator[](std::int32_t i) { return this->elements_[origin_ + i]; }
    const T& operator[](std::int32_t i) const { return this->elements_[origin_ + i]; }

    void Fill(const T& value) {
        for (std::int32_t i = 0; i < this->elementCount_; ++i) this->elements_[i] = value;
    }

private:
    void SetRange(std::int32_t first, std::int32_t last, std::int32_t count) {
        xFirst_ = first;
        xLast_ = last;
        this->elementCount_ = count;
        origin_ = -static_cast<std::ptrdiff_t>(first);
    }

    std::int32_t xFirst_ = 0;
    std::int32_t xLast_ = -1;
    CArrayBlock<T, A> block_;  // storage this sequence allocated and owns
    std::ptrdiff_t origin_ = 0;
    T outsideValue_{};
};

template <class T, class A>
void CArray1D<T, A>::Resize(std::int32_t first, std::int32_t last) {
    const std::int64_t count = arraysize::Extent(first, last);

    // Same number of elements: keep the storage and its values.
    if (block_.Owns() && count == this->elementCount_) {
        SetRange(first, last, this->elementCount_);
        return;
    }

    // Empty until the new storage is had, so that a refusal leaves no stale view.
    SetRange(0, -1, 0);
    this->elements_ = nullptr;
    this->elements_ = block_.Allocate(count, alignment);  // throws std::bad_alloc
    SetRange(first, last, static_cast<std::int32_t>(count));
}
