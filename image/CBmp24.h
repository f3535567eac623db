// A 24-bit bitmap image in memory: the two header records held as the file's exact
// bytes, and the pixel rows (blue, green, red per pixel) in the order the file
// stores them, bottom line first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

template <int N>
class CBmp24_ {
public:
    struct EmptyTag {};
    static constexpr EmptyTag empty{};

    // Default state: a 1 × 1 image with the headers Create(1, 1) would write.
    CBmp24_();
    // Empty state: no blocks at all; Create must come first.
    explicit CBmp24_(EmptyTag);
    virtual ~CBmp24_() = default;

    CBmp24_(const CBmp24_&) = delete;
    CBmp24_& operator=(const CBmp24_&) = delete;

    // A width × height image (each 0 … 1,048,576, at most 2^30 − 1 pixels) with fresh
    // headers and every pixel and padding byte 0. Replaces whatever the image held;
    // an image that already has this size keeps its pixel storage.
    // Throws "CBmp24_::Create : image size error!" for sizes outside those limits.
    void Create(std::int32_t width, std::int32_t height);
    // Create for a caller that then writes every pixel and padding byte: the
    // pixel bytes are not cleared first.
    void CreateForOverwrite(std::int32_t width, std::int32_t height);

    // True when the file's information header gives 24 bits per pixel. Reads the
    // two headers into this image; width, height and pixels are left alone.
    // Throws "CBmp24_::IsThisType : can't open " + path, or BmpFileBroken for a
    // file shorter than its headers. Errors of the system's calls end with ": "
    // and the system's reason, here and in Load and Save.
    bool IsThisType(const std::string& path);

    // Reads a 24- or 32-bit file (the fourth byte of 32-bit pixels is dropped and
    // biBitCount becomes 24). Rows are read from bfOffBits when it lies beyond the
    // headers, else from byte 54. Top-down files are stored bottom-up and their
    // biHeight made positive, so they behave like their bottom-up twin.
    // Throws "CBmp24_::Load : can't open " + path, BmpFileBroken when the headers
    // are not sound or the file cannot back them (nothing is allocated before that
    // check), "CBmp24_::Load : can't read " + path on a read error.
    CBmp24_& Load(const std::string& path);

    // Load for a file that IsThisType has accepted, checked again on the open
    // that reads it: false, with the default headers and no pixels as Load
    // leaves them before reading, when the file no longer gives 24 bits per
    // pixel (it was replaced in between). Throws as Load does.
    bool LoadIfThisType(const std::string& path);

    // Writes the 54 header bytes and the rows (padding written as 0) to a new file
    // beside `path`, then renames it over `path` (platform::OutputFile). On any
    // failure or interrupt nothing is left behind, an earlier file at `path` is
    // untouched, and the error "CBmp24_::Save : can't write " + path is thrown.
    // Both resolution fields (biXPelsPerMeter, biYPelsPerMeter) are written as 0,
    // "unknown", also for a loaded page whose file gave one: the tool's outputs
    // never carry a resolution, so the same pixels always give the same file.
    void Save(const std::string& path);

    std::int32_t Width() const { return width; }
    std::int32_t RowBytes() const { return rowBytes; }
    std::int32_t Height() const { return height; }

    // Pixel block (rowBytes × height bytes) and the start of row y; null when absent.
    std::uint8_t* Pixels() { return pixels.get(); }
    const std::uint8_t* Pixels() const { return pixels.get(); }
    std::uint8_t* Row(std::int32_t y) { return pixels.get() + RowOffset(y); }
    const std::uint8_t* Row(std::int32_t y) const { return pixels.get() + RowOffset(y); }

    // The 14- and 40-byte header records; null when absent.
    const std::uint8_t* FileHeader() const { return fileHeader.get(); }
    const std::uint8_t* InfoHeader() const { return infoHeader.get(); }

private:
    std::size_t RowOffset(std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes);
    }
    void SetFreshHeaders();
    bool LoadFile(const std::string& path, bool only24);
    void Reshape(std::int32_t newWidth, std::int32_t newHeight, bool clear);

    std::unique_ptr<std::uint8_t[]> fileHeader;
    std::unique_ptr<std::uint8_t[]> infoHeader;
    std::unique_ptr<std::uint8_t[]> pixels;
    std::int32_t width = 0;
    std::int32_t rowBytes = 0;
    std::int32_t height = 0;
};

extern template class CBmp24_<0>;
