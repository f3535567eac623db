// The orientation and resolution tags read from an EXIF segment's first IFD.
#include "formats/ExifTags.h"

#include <cstring>

namespace formats {
namespace {

// The TIFF structure inside the segment, in its own byte order.
struct TiffView {
    const std::uint8_t* data;
    std::size_t size;
    bool bigEndian;

    bool Has(std::size_t offset, std::size_t bytes) const { return offset <= size && bytes <= size - offset; }
    unsigned U16(std::size_t offset) const {
        const std::uint8_t* p = data + offset;
        return bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    }
    std::uint32_t U32(std::size_t offset) const {
        return bigEndian ? (std::uint32_t{U16(offset)} << 16 | U16(offset + 2))
                         : (std::uint32_t{U16(offset + 2)} << 16 | U16(offset));
    }
};

constexpr unsigned kShort = 3;
constexpr unsigned kRational = 5;

// A RATIONAL entry's value (stored at an offset); 0 when it cannot be read.
double Rational(const TiffView& tiff, std::size_t entry) {
    if (tiff.U16(entry + 2) != kRational || tiff.U32(entry + 4) != 1) return 0.0;
    const std::size_t at = tiff.U32(entry + 8);
    if (!tiff.Has(at, 8)) return 0.0;
    const std::uint32_t denominator = tiff.U32(at + 4);
    return denominator == 0 ? 0.0 : static_cast<double>(tiff.U32(at)) / denominator;
}

}  // namespace

ExifTags ReadExifTags(const std::uint8_t* data, std::size_t size) {
    ExifTags tags;
    if (size < 6 || std::memcmp(data, "Exif\0\0", 6) != 0) return tags;
    tags.found = true;
    if (size < 14) return tags;
    const TiffView tiff{data + 6, size - 6, data[6] == 'M'};
    if (std::memcmp(tiff.data, "II", 2) != 0 && std::memcmp(tiff.data, "MM", 2) != 0) return tags;
    if (tiff.U16(2) != 42) return tags;
    const std::size_t ifd = tiff.U32(4);
    if (!tiff.Has(ifd, 2)) return tags;
    const std::size_t count = tiff.U16(ifd);
    double xResolution = 0.0, yResolution = 0.0;
    unsigned unit = 2;  // inches unless stated
    for (std::size_t i = 0; i < count && tiff.Has(ifd + 2 + 12 * i, 12); ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        const unsigned tag = tiff.U16(entry);
        const bool oneShort = tiff.U16(entry + 2) == kShort && tiff.U32(entry + 4) == 1;
        if (tag == 0x0112 && oneShort) {
            const unsigned value = tiff.U16(entry + 8);
            tags.orientation = value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        } else if (tag == 0x011A) {
            xResolution = Rational(tiff, entry);
        } else if (tag == 0x011B) {
            yResolution = Rational(tiff, entry);
        } else if (tag == 0x0128 && oneShort) {
            unit = tiff.U16(entry + 8);
        }
    }
    const double perInch = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
    tags.dpiX = xResolution * perInch;
    tags.dpiY = yResolution * perInch;
    return tags;
}

}  // namespace formats
