// The storage view shared by the one- and two-dimensional arrays: how many
// elements there are and where the first one lies, in storage order.
#pragma once

#include <cstdint>
#include <memory>

template <class T>
class CArrayBase {
public:
    std::int32_t elementCount() const { return elementCount_; }
    T* elements() { return elements_; }
    const T* elements() const { return elements_; }
    // Storage owned by the base itself. The arrays allocate through their own
    // allocator instead, so this stays null; it is released with the base.
    const T* baseBlock() const { return baseBlock_.get(); }

protected:
    CArrayBase() = default;
    ~CArrayBase() = default;
    CArrayBase(const CArrayBase&) = delete;
    CArrayBase& operator=(const CArrayBase&) = delete;

    std::int32_t elementCount_ = 0;
    T* elements_ = nullptr;
    std::unique_ptr<T[]> baseBlock_;
};
