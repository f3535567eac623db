// A plane of elements with inclusive bounds on both axes that may start at any
// value, negative ones included. x is the column within a row, y the row; the
// elements lie row after row with no gap, and element (x, y) sits `origin`
// elements after the first one plus x + y * pitch. Reads outside the bounds give
// the outside value (zero); writes outside are dropped.
#pragma once

#include <algorithm>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "array/ArraySize.h"
#include "array/CArrayBase.h"
#include "array/CArrayBlock.h"
#include "array/MirrorIndex.h"
#include "array/ReframeMode.h"

template <class T, class A = std::allocator<T>>
class CArray2D : public CArrayBase<T> {
    static_assert(std::is_trivially_copyable_v<T>, "planes move their rows as raw bytes");

public:
    // Bytes to which the storage is aligned; 0 leaves it as the allocator gives
    // it. Must be a multiple of sizeof(T) when set.
    static inline std::uint32_t alignment = 0;

    // Bounds 0..0 x 0..0: one element, zero.
    CArray2D() { Resize(0, 0, 0, 0); }

    // A zeroed plane with the given bounds.
    CArray2D(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast) {
        Resize(xFirst, xLast, yFirst, yLast);
    }

    // Deep copy: the source's bounds and every element; the outside value is not taken over.
    CArray2D(const CArray2D& source) {
        Resize(source.xFirst_, source.xLast_, source.yFirst_, source.yLast_);
        // Same bounds, same gapless row-major layout: the rows form one block.
        if (this->elementCount_ > 0)
            std::memcpy(this->elements_, source.elements_,
                        static_cast<std::size_t>(this->elementCount_) * sizeof(T));
    }

    // Takes over the source's storage (used to return planes by value); the
    // source is left empty (no elements).
    CArray2D(CArray2D&& source) noexcept
        : xFirst_(source.xFirst_), xLast_(source.xLast_), yFirst_(source.yFirst_), yLast_(source.yLast_),
          pitch_(source.pitch_), block_(std::move(source.block_)), origin_(source.origin_) {
        this->elementCount_ = source.elementCount_;
        this->elements_ = source.elements_;
        source.MakeEmpty();
    }

    CArray2D& operator=(const CArray2D&) = delete;
    CArray2D& operator=(CArray2D&&) = delete;

    virtual ~CArray2D() = default;

    // Gives the plane new bounds. With `buffer` null the plane keeps its storage
    // (and its values, in storage order) when the element count does not change,
    // and otherwise allocates new zeroed storage. A caller's buffer is used as it
    // stands, never owned or released; with `bufferBytes` not 0 it must hold all
    // elements. Throws std::bad_alloc for a negative or oversized count and when
    // storage cannot be had, leaving the plane empty.
    virtual void Resize(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast,
                        T* buffer = nullptr, std::uint32_t bufferBytes = 0);

    std::int32_t xFirst() const { return xFirst_; }
    std::int32_t xLast() const { return xLast_; }
    std::int32_t yFirst() const { return yFirst_; }
    std::int32_t yLast() const { return yLast_; }
    std::int32_t pitch() const { return pitch_; }
    std::int32_t slack() const { return block_.slack(); }
    std::ptrdiff_t origin() const { return origin_; }  // offset of (0, 0) from elements()
    std::int32_t Width() const { return pitch_; }
    std::int32_t Height() const { return yLast_ - yFirst_ + 1; }
    T outsideValue() const { return outsideValue_; }

    bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= xFirst_ && x <= xLast_ && y >= yFirst_ && y <= yLast_;
    }

    T Get(std::int32_t x, std::int32_t y) const { return Contains(x, y) ? (*this)(x, y) : outsideValue_; }

    void Set(std::int32_t x, std::int32_t y, const T& value) {
        if (Contains(x, y)) (*this)(x, y) = value;
    }

    // Unchecked access: (x, y) must lie inside the bounds.
    T& operator()(std::int32_t x, std::int32_t y) { return this->elements_[Offset(x, y)]; }
    const T& operator()(std::int32_t x, std::int32_t y) const { return this->elements_[Offset(x, y)]; }

    // First element (xFirst, y) of row y, which must lie inside the bounds.
    T* Row(std::int32_t y) { return this->elements_ + static_cast<std::ptrdiff_t>(y - yFirst_) * pitch_; }
    const T* Row(std::int32_t y) const {
        return this->elements_ + static_cast<std::ptrdiff_t>(y - yFirst_) * pitch_;
    }

    void Fill(const T& value) {
        for (std::int32_t i = 0; i < this->elementCount_; ++i) this->elements_[i] = value;
    }

    // Moves element (xFirst + w / 2, yFirst + h / 2) to (0, 0): an axis of extent w
    // then spans -floor(w/2) .. ceil(w/2) - 1. No element moves.
    CArray2D& CenterOrigin() {
        const std::int32_t cx = xFirst_ + Width() / 2;
        const std::int32_t cy = yFirst_ + Height() / 2;
        SetBounds(xFirst_ - cx, xLast_ - cx, yFirst_ - cy, yLast_ - cy);
        return *this;
    }

    // Takes the given bounds: a relabelling without moving any element when the
    // extents already agree, otherwise a Resize.
    void MatchBounds(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast) {
        if (arraysize::Extent(xFirst_, xLast_) == arraysize::Extent(xFirst, xLast) &&
            arraysize::Extent(yFirst_, yLast_) == arraysize::Extent(yFirst, yLast)) {
            SetBounds(xFirst, xLast, yFirst, yLast);
        } else {
            Resize(xFirst, xLast, yFirst, yLast);
        }
    }

    template <class U, class B>
    void MatchBounds(const CArray2D<U, B>& other) {
        MatchBounds(other.xFirst(), other.xLast(), other.yFirst(), other.yLast());
    }

    // New bounds with their content chosen by `mode` (see ReframeMode); a mode
    // outside Zero .. Bare does nothing. Keep and Mirror do nothing when the
    // bounds do not change. Mirror of a plane with an empty axis throws a
    // std::string. Returns the plane.
    CArray2D& Reframe(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast,
                      ReframeMode mode);

private:
    void MirrorFrom(const CArray2D& old);

    std::ptrdiff_t Offset(std::int32_t x, std::int32_t y) const {
        return origin_ + x + static_cast<std::ptrdiff_t>(y) * pitch_;
    }

    void SetBounds(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast) {
        xFirst_ = xFirst;
        xLast_ = xLast;
        yFirst_ = yFirst;
        yLast_ = yLast;
        pitch_ = xLast - xFirst + 1;
        origin_ = -(static_cast<std::ptrdiff_t>(yFirst) * pitch_ + xFirst);
    }

    // No elements, no view of storage; an owned block stays owned.
    void MakeEmpty() {
        SetBounds(0, -1, 0, -1);
        this->elementCount_ = 0;
        this->elements_ = nullptr;
    }

    std::int32_t xFirst_ = 0;
    std::int32_t xLast_ = -1;
    std::int32_t yFirst_ = 0;
    std::int32_t yLast_ = -1;
    std::int32_t pitch_ = 0;
    CArrayBlock<T, A> block_;  // storage this plane allocated and owns
    std::ptrdiff_t origin_ = 0;
    T outsideValue_{};
};

template <class T, class A>
void CArray2D<T, A>::Resize(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast,
                            T* buffer, std::uint32_t bufferBytes) {
    const std::int64_t count = arraysize::CheckedCount(arraysize::Extent(xFirst, xLast),
                                                       arraysize::Extent(yFirst, yLast),
                                                       arraysize::MaxElements<T>());
    if (count < 0) {
        block_.Release();
        MakeEmpty();
        throw std::bad_alloc();
    }

    // Same number of elements: keep the storage and its values.
    if (buffer == nullptr && block_.Owns() && count == this->elementCount_) buffer = this->elements_;

    if (buffer != nullptr) {
        const std::uint64_t needed = static_cast<std::uint64_t>(count) * sizeof(T);
        if (bufferBytes != 0 && needed > bufferBytes) {
            MakeEmpty();
            throw std::string("CArray2D : Given memory size is too small!");
        }
        SetBounds(xFirst, xLast, yFirst, yLast);
        this->elementCount_ = static_cast<std::int32_t>(count);
        this->elements_ = buffer;
        return;
    }

    MakeEmpty();
    this->elements_ = block_.Allocate(count, alignment);  // throws std::bad_alloc, leaving the plane empty
    SetBounds(xFirst, xLast, yFirst, yLast);
    this->elementCount_ = static_cast<std::int32_t>(count);
}

// Copies every element whose index lies inside both planes from source to
// destination; nothing else changes.
template <class T, class A>
void CopyOverlap(CArray2D<T, A>& destination, const CArray2D<T, A>& source) {
    const std::int32_t xLo = std::max(destination.xFirst(), source.xFirst());
    const std::int32_t xHi = std::min(destination.xLast(), source.xLast());
    const std::int32_t yLo = std::max(destination.yFirst(), source.yFirst());
    const std::int32_t yHi = std::min(destination.yLast(), source.yLast());
    if (xLo > xHi || yLo > yHi) return;
    const std::size_t bytes = static_cast<std::size_t>(static_cast<std::int64_t>(xHi) - xLo + 1) * sizeof(T);
    // Counted loop: yHi may be the largest 32-bit index.
    const std::int64_t rows = static_cast<std::int64_t>(yHi) - yLo + 1;
    for (std::int64_t i = 0; i < rows; ++i) {
        const std::int32_t y = static_cast<std::int32_t>(yLo + i);
        std::memmove(&destination(xLo, y), &source(xLo, y), bytes);
    }
}

// A plane with the other's bounds, every element zero.
template <class T, class A>
CArray2D<T, A> ZeroedLike(const CArray2D<T, A>& other) {
    return CArray2D<T, A>(other.xFirst(), other.xLast(), other.yFirst(), other.yLast());
}

// A complex plane with the source's bounds holding (v, 0) for each element v.
inline CArray2D<std::complex<float>> ToComplex(const CArray2D<float>& source) {
    CArray2D<std::complex<float>> result(source.xFirst(), source.xLast(), source.yFirst(), source.yLast());
    const float* from = source.elements();
    std::complex<float>* to = result.elements();
    for (std::int32_t i = 0; i < source.elementCount(); ++i) to[i] = std::complex<float>(from[i], 0.0f);
    return result;
}

// A float plane with the source's bounds holding the real parts.
inline CArray2D<float> RealPart(const CArray2D<std::complex<float>>& source) {
    CArray2D<float> result(source.xFirst(), source.xLast(), source.yFirst(), source.yLast());
    const std::complex<float>* from = source.elements();
    float* to = result.elements();
    for (std::int32_t i = 0; i < source.elementCount(); ++i) to[i] = from[i].real();
    return result;
}

template <class T, class A>
CArray2D<T, A>& CArray2D<T, A>::Reframe(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst,
                                        std::int32_t yLast, ReframeMode mode) {
    const bool sameBounds = xFirst == xFirst_ && xLast == xLast_ && yFirst == yFirst_ && yLast == yLast_;
    switch (mode) {
    case ReframeMode::Zero:
        Resize(xFirst, xLast, yFirst, yLast);
        Fill(T());
        break;
    case ReframeMode::Keep:
        if (!sameBounds) {
            const CArray2D old(*this);
            Resize(xFirst, xLast, yFirst, yLast);
            Fill(T());  // also when Resize kept the storage
            CopyOverlap(*this, old);
        }
        break;
    case ReframeMode::Mirror:
        if (!sameBounds) {
            if (pitch_ == 0 || Height() == 0) throw std::string("CArray2D::Reframe : cannot mirror an empty plane!");
            const CArray2D old(*this);
            Resize(xFirst, xLast, yFirst, yLast);
            MirrorFrom(old);
        }
        break;
    case ReframeMode::Bare:
        Resize(xFirst, xLast, yFirst, yLast);
        break;
    default:
        break;
    }
    return *this;
}

// Fills every element from `old` (not empty) by reflecting both indices into its
// ranges. The y reflection is worked out once per row, the x one per element;
// no other storage than the caller's copy is needed.
template <class T, class A>
void CArray2D<T, A>::MirrorFrom(const CArray2D& old) {
    const MirrorIndex mirrorX(old.xFirst_, old.pitch_);
    const MirrorIndex mirrorY(old.yFirst_, old.Height());
    const std::int32_t height = Height();
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int32_t y = yFirst_ + row;
        const T* from = old.Row(mirrorY.Map(y));
        T* to = Row(y);
        for (std::int32_t column = 0; column < pitch_; ++column)
            to[column] = from[mirrorX.Map(xFirst_ + column) - old.xFirst_];
    }
}
