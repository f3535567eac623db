// Shared by the tool's path and the reference: the flattening's sizes.
#include "whiten/FlatteningSizes.h"

#include <new>

std::int32_t PaddedSize(std::int32_t extent) {
    std::int64_t size = 1;
    while (size < extent) size *= 2;
    if (size > (std::int64_t{1} << 30)) throw std::bad_alloc();
    return static_cast<std::int32_t>(size);
}

std::int32_t WindowHalfSize(std::int32_t paddedWidth, std::int32_t paddedHeight) {
    const std::int32_t larger = paddedWidth >= paddedHeight ? paddedWidth : paddedHeight;
    return static_cast<std::int32_t>(static_cast<double>(larger) * 0.0025);
}
