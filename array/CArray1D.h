// A sequence with an inclusive index range xFirst .. xLast that may start at any
// value, negative ones included; element i is at offset `origin` + i from the
// first element. Serves as the base of the one-dimensional frequency window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

#include "array/ArraySize.h"
#include "array/CArrayBase.h"

template <class T, class A = std::allocator<T>>
class CArray1D : public CArrayBase<T> {
    static_assert(std::is_trivially_destructible_v<T>, "elements are never destroyed one by one");

public:
    // Bytes to which the storage is aligned; 0 leaves it as the allocator gives
    // it. Must be a multiple of sizeof(T) when set.
    static inline std::uint32_t alignment = 0;

    // Range 0 .. 0: one element, zero.
    CArray1D() { Resize(0, 0); }

    CArray1D(const CArray1D&) = delete;
    CArray1D& operator=(const CArray1D&) = delete;

    virtual ~CArray1D() { ReleaseBlock(); }

    // Gives the sequence the range first .. last. An owned block of the same
    // element count is kept with its values; otherwise new storage is allocated
    // and zeroed. Throws std::bad_alloc for a negative count, a count beyond
    // 2^30 - 1 elements or when storage cannot be had, leaving the sequence empty.
    void Resize(std::int32_t first, std::int32_t last);

    std::int32_t xFirst() const { return xFirst_; }
    std::int32_t xLast() const { return xLast_; }
    std::int32_t slack() const { return slack_; }
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

    void ReleaseBlock() {
        if (block_ != nullptr) allocator_.deallocate(block_, blockCount_);
        block_ = nullptr;
        blockCount_ = 0;
    }

    std::int32_t xFirst_ = 0;
    std::int32_t xLast_ = -1;
    std::int32_t slack_ = 0;
    T* block_ = nullptr;          // storage this sequence allocated and owns
    std::size_t blockCount_ = 0;  // elements in block_, for deallocation
    std::ptrdiff_t origin_ = 0;
    T outsideValue_{};
    [[no_unique_address]] A allocator_{};
};

template <class T, class A>
void CArray1D<T, A>::Resize(std::int32_t first, std::int32_t last) {
    const std::int64_t count = arraysize::Extent(first, last);

    // Same number of elements: keep the storage and its values.
    if (block_ != nullptr && count == this->elementCount_) {
        SetRange(first, last, this->elementCount_);
        return;
    }

    ReleaseBlock();
    SetRange(0, -1, 0);
    this->elements_ = nullptr;
    constexpr std::int64_t limit = arraysize::MaxElements<T>();  // 2^30 - 1 for float
    if (count < 0 || count > limit) throw std::bad_alloc();
    slack_ = alignment == 0 ? 0 : static_cast<std::int32_t>((alignment - 1) / sizeof(T) + 1);
    const std::int64_t total = count + slack_;
    if (total > limit) throw std::bad_alloc();
    if (total > 0) {
        block_ = allocator_.allocate(static_cast<std::size_t>(total));  // throws std::bad_alloc
        blockCount_ = static_cast<std::size_t>(total);
        std::size_t advance = 0;
        if (alignment != 0) {
            const auto address = reinterpret_cast<std::uintptr_t>(block_);
            advance = (alignment - address % alignment) % alignment;
        }
        this->elements_ = reinterpret_cast<T*>(reinterpret_cast<char*>(block_) + advance);
        for (std::int64_t i = 0; i < count; ++i) std::allocator_traits<A>::construct(allocator_, this->elements_ + i);
    }
    SetRange(first, last, static_cast<std::int32_t>(count));
}
