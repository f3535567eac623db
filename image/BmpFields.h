// Field layout of the two bitmap header records and little-endian access to their
// bytes; headers are always handled as byte images, never as packed structs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bmp {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;  // 54

// Offsets within the file header.
constexpr std::size_t kBfType = 0;
constexpr std::size_t kBfSize = 2;
constexpr std::size_t kBfReserved1 = 6;
constexpr std::size_t kBfReserved2 = 8;
constexpr std::size_t kBfOffBits = 10;

// Offsets within the information header.
constexpr std::size_t kBiSize = 0;
constexpr std::size_t kBiWidth = 4;
constexpr std::size_t kBiHeight = 8;
constexpr std::size_t kBiPlanes = 12;
constexpr std::size_t kBiBitCount = 14;
constexpr std::size_t kBiCompression = 16;
constexpr std::size_t kBiSizeImage = 20;
constexpr std::size_t kBiXPelsPerMeter = 24;
constexpr std::size_t kBiYPelsPerMeter = 28;
constexpr std::size_t kBiClrUsed = 32;
constexpr std::size_t kBiClrImportant = 36;

constexpr std::uint16_t kTypeBM = 0x4D42;  // the bytes "BM"

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Two's complement reading of a signed field (biWidth, biHeight).
inline std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32(p)); }

inline void PutU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutU32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void PutI32(std::uint8_t* p, std::int32_t value) { PutU32(p, static_cast<std::uint32_t>(value)); }

}  // namespace bmp
