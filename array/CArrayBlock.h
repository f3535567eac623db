// The storage block an array allocates, owns and releases: its elements, all
// zero, behind enough slack elements to align the first one when the array's
// class-wide alignment asks for it. Shared by CArray1D and CArray2D.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "array/ArraySize.h"

template <class T, class A = std::allocator<T>>
class CArrayBlock {
    static_assert(std::is_trivially_destructible_v<T>, "elements are never destroyed one by one");

public:
    CArrayBlock() = default;
    CArrayBlock(const CArrayBlock&) = delete;
    CArrayBlock& operator=(const CArrayBlock&) = delete;

    // Takes over the other's block; the other then owns none.
    CArrayBlock(CArrayBlock&& other) noexcept
        : block_(std::exchange(other.block_, nullptr)), blockCount_(std::exchange(other.blockCount_, 0)),
          slack_(other.slack_) {}

    ~CArrayBlock() { Release(); }

    bool Owns() const { return block_ != nullptr; }
    std::int32_t slack() const { return slack_; }

    // Releases the block owned so far and allocates `count` zeroed elements, the
    // first at a multiple of `alignment` bytes (0: as the allocator gives it);
    // returns it, or null when nothing is allocated. Throws std::bad_alloc,
    // owning nothing, for a negative count, for a count that with its slack
    // exceeds arraysize::MaxElements<T>() (2^30 - 1 floats) and when the
    // allocator cannot supply the block.
    T* Allocate(std::int64_t count, std::uint32_t alignment);

    void Release() {
        if (block_ != nullptr) allocator_.deallocate(block_, blockCount_);
        block_ = nullptr;
        blockCount_ = 0;
    }

private:
    T* block_ = nullptr;
    std::size_t blockCount_ = 0;  // elements in block_, for deallocation
    std::int32_t slack_ = 0;      // elements allocated ahead of the first, for alignment
    [[no_unique_address]] A allocator_{};
};

template <class T, class A>
T* CArrayBlock<T, A>::Allocate(std::int64_t count, std::uint32_t alignment) {
    Release();
    // Everything in 64 bits and checked before the allocator sees a size.
    const std::int64_t slack = alignment == 0 ? 0 : (std::int64_t{alignment} - 1) / std::int64_t{sizeof(T)} + 1;
    if (count < 0 || count + slack > arraysize::MaxElements<T>()) throw std::bad_alloc();
    slack_ = static_cast<std::int32_t>(slack);
    const std::int64_t total = count + slack;
    if (total == 0) return nullptr;
    block_ = allocator_.allocate(static_cast<std::size_t>(total));  // throws std::bad_alloc
    blockCount_ = static_cast<std::size_t>(total);
    std::size_t advance = 0;
    if (alignment != 0) {
        const auto address = reinterpret_cast<std::uintptr_t>(block_);
        advance = (alignment - address % alignment) % alignment;
    }
    T* elements = reinterpret_cast<T*>(reinterpret_cast<char*>(block_) + advance);
    for (std::int64_t i = 0; i < count; ++i) std::allocator_traits<A>::construct(allocator_, elements + i);
    return elements;
}
