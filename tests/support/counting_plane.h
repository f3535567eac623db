// A float plane that counts the calls of its virtual Resize, to see that
// re-bounding operations go through it.
#pragma once

#include <cstdint>

#include "array/CArray2D.h"

namespace testsupport {

class CountingPlane : public CArray2D<float> {
public:
    using CArray2D<float>::CArray2D;
    void Resize(std::int32_t xFirst, std::int32_t xLast, std::int32_t yFirst, std::int32_t yLast,
                float* buffer = nullptr, std::uint32_t bufferBytes = 0) override {
        ++resizeCalls;
        CArray2D<float>::Resize(xFirst, xLast, yFirst, yLast, buffer, bufferBytes);
    }
    int resizeCalls = 0;
};

}  // namespace testsupport
