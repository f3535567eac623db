// CBmp24_: reading, making and writing 24-bit bitmap files, every header field
// checked against the file's real size before anything is allocated for it.
#include "image/CBmp24.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "image/BmpFields.h"
#include "image/BmpFileBroken.h"
#include "image/BmpFileWriter.h"
#include "image/BmpHeaders.h"
#include "image/BmpLayout.h"
#include "platform/InputFile.h"
#include "platform/LargeBlock.h"
#include "platform/OutputFile.h"
#include "platform/SystemError.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

constexpr const char* kShorterThanHeaders = "file is shorter than its headers";
constexpr const char* kTruncated = "pixel data is truncated";

// Reads exactly `size` bytes. A file that ends early is broken for `shortReason`
// (it changed since its size was taken, or its size says more than it holds, as
// files of /sys do); a failing device is a read error.
void ReadExactly(std::FILE* file, void* into, std::size_t size, const std::string& readError,
                 const char* shortReason = kTruncated) {
    errno = 0;
    if (size == 0 || std::fread(into, 1, size, file) == size) return;
    if (std::ferror(file)) throw platform::WithReason(readError, platform::LastCError());
    throw BmpFileBroken(shortReason);
}

void ReadHeaders(std::FILE* file, std::uint64_t fileSize, std::uint8_t* headers, const std::string& readError) {
    if (fileSize < bmp::kHeadersSize) throw BmpFileBroken(kShorterThanHeaders);
    ReadExactly(file, headers, bmp::kHeadersSize, readError, kShorterThanHeaders);
}

void SkipTo(std::FILE* file, std::uint64_t offset, const std::string& readError) {
    if (offset == bmp::kHeadersSize) return;
    // Offsets come from a 32-bit field; on platforms with a 32-bit long the
    // seek is made in steps.
    errno = 0;
    if (std::fseek(file, 0, SEEK_SET) != 0) throw platform::WithReason(readError, platform::LastCError());
    while (offset > 0) {
        const std::uint64_t step = offset > 0x40000000u ? 0x40000000u : offset;
        if (std::fseek(file, static_cast<long>(step), SEEK_CUR) != 0)
            throw platform::WithReason(readError, platform::LastCError());
        offset -= step;
    }
}

// The stored rows into `block`, 24-bit rows bottom line first: read in one go
// when the file holds them so, else row by row (top-down files, 32-bit pixels
// whose fourth byte is dropped, rows then padded with zeros).
void ReadPixelRows(std::FILE* file, const bmp::PixelLayout& layout, std::uint8_t* block, const std::string& readError) {
    if (layout.bytesPerPixel == 3 && !layout.topDown) {
        ReadExactly(file, block, static_cast<std::size_t>(layout.pixelBytes), readError);
        return;
    }
    const std::size_t memoryRowBytes = static_cast<std::size_t>(layout.rowBytes);
    const std::size_t pixelRowBytes = 3 * static_cast<std::size_t>(layout.width);
    std::vector<std::uint8_t> fileRow(layout.bytesPerPixel == 4 ? static_cast<std::size_t>(layout.fileRowBytes) : 0);
    for (std::int32_t i = 0; i < layout.height; ++i) {
        const std::int32_t y = layout.topDown ? layout.height - 1 - i : i;
        std::uint8_t* row = block + static_cast<std::size_t>(y) * memoryRowBytes;
        if (layout.bytesPerPixel == 3) {
            ReadExactly(file, row, memoryRowBytes, readError);
            continue;
        }
        ReadExactly(file, fileRow.data(), fileRow.size(), readError);
        for (std::int32_t x = 0; x < layout.width; ++x) {
            std::memcpy(row + 3 * static_cast<std::size_t>(x), fileRow.data() + 4 * static_cast<std::size_t>(x), 3);
        }
        std::memset(row + pixelRowBytes, 0, memoryRowBytes - pixelRowBytes);
    }
}

// The file's headers, made to describe what memory holds: 24-bit rows, bottom
// line first, and, when they came from further on, right after a 40-byte
// information header, as Save writes them; a saved copy would otherwise point
// past its rows.
void KeepHeadersOfMemory(const std::uint8_t* headers, const bmp::PixelLayout& layout, std::uint8_t* fileHeader,
                         std::uint8_t* infoHeader) {
    std::memcpy(fileHeader, headers, bmp::kFileHeaderSize);
    std::memcpy(infoHeader, headers + bmp::kFileHeaderSize, bmp::kInfoHeaderSize);
    if (layout.bytesPerPixel == 4) bmp::PutU16(infoHeader + bmp::kBiBitCount, 24);
    if (layout.topDown) bmp::PutI32(infoHeader + bmp::kBiHeight, layout.height);
    if (layout.dataOffset != bmp::kHeadersSize) {
        bmp::PutU32(fileHeader + bmp::kBfOffBits, bmp::kHeadersSize);
        bmp::PutU32(infoHeader + bmp::kBiSize, bmp::kInfoHeaderSize);
    }
}

}  // namespace

template <int N>
CBmp24_<N>::CBmp24_() {
    width = 1;
    rowBytes = 4;
    height = 1;
    pixels = std::make_unique<std::uint8_t[]>(4);
    SetFreshHeaders();
}

template <int N>
CBmp24_<N>::CBmp24_(EmptyTag) {}

// Headers of a plain 24-bit image of the current width and height.
template <int N>
void CBmp24_<N>::SetFreshHeaders() {
    std::uint8_t headers[bmp::kHeadersSize];
    bmp::PutFreshHeaders24(headers, width, height);
    auto file = std::make_unique<std::uint8_t[]>(bmp::kFileHeaderSize);
    auto info = std::make_unique<std::uint8_t[]>(bmp::kInfoHeaderSize);
    std::memcpy(file.get(), headers, bmp::kFileHeaderSize);
    std::memcpy(info.get(), headers + bmp::kFileHeaderSize, bmp::kInfoHeaderSize);
    fileHeader = std::move(file);
    infoHeader = std::move(info);
}

template <int N>
void CBmp24_<N>::Create(std::int32_t newWidth, std::int32_t newHeight) {
    Reshape(newWidth, newHeight, true);
}

template <int N>
void CBmp24_<N>::CreateForOverwrite(std::int32_t newWidth, std::int32_t newHeight) {
    Reshape(newWidth, newHeight, false);
}

template <int N>
void CBmp24_<N>::Reshape(std::int32_t newWidth, std::int32_t newHeight, bool clear) {
    if (!limits::FitsLimits(newWidth, newHeight)) throw std::string("CBmp24_::Create : image size error!");
    const std::int64_t newRowBytes = bmp::RowBytes24(newWidth);
    const std::size_t blockBytes = static_cast<std::size_t>(newRowBytes) * static_cast<std::size_t>(newHeight);
    // An image of the same size keeps its pixel block: the same storage.
    if (!pixels || newWidth != width || newHeight != height) {
        pixels.reset();  // the old block goes before the new one comes
        auto block = std::make_unique_for_overwrite<std::uint8_t[]>(blockBytes);
        platform::AdviseLargeBlock(block.get(), blockBytes);
        pixels = std::move(block);
    }
    if (clear) std::memset(pixels.get(), 0, blockBytes);
    width = newWidth;
    rowBytes = static_cast<std::int32_t>(newRowBytes);
    height = newHeight;
    SetFreshHeaders();
}

template <int N>
bool CBmp24_<N>::IsThisType(const std::string& path) {
    std::uint64_t fileSize = 0;
    std::error_code error;
    const InputFile file(platform::OpenRegularFile(path, fileSize, error));
    if (!file) throw platform::WithReason("CBmp24_::IsThisType : can't open " + path, error);
    std::uint8_t headers[bmp::kHeadersSize];
    ReadHeaders(file.get(), fileSize, headers, "CBmp24_::IsThisType : can't read " + path);

    if (!fileHeader) fileHeader = std::make_unique<std::uint8_t[]>(bmp::kFileHeaderSize);
    if (!infoHeader) infoHeader = std::make_unique<std::uint8_t[]>(bmp::kInfoHeaderSize);
    std::memcpy(fileHeader.get(), headers, bmp::kFileHeaderSize);
    std::memcpy(infoHeader.get(), headers + bmp::kFileHeaderSize, bmp::kInfoHeaderSize);
    return bmp::GetU16(infoHeader.get() + bmp::kBiBitCount) == 24;
}

template <int N>
CBmp24_<N>& CBmp24_<N>::Load(const std::string& path) {
    LoadFile(path, false);
    return *this;
}

template <int N>
bool CBmp24_<N>::LoadIfThisType(const std::string& path) {
    return LoadFile(path, true);
}

template <int N>
bool CBmp24_<N>::LoadFile(const std::string& path, bool only24) {
    // Default headers and no pixel block until the file has been read in full.
    pixels.reset();
    width = 1;
    rowBytes = 4;
    height = 1;
    SetFreshHeaders();

    std::uint64_t fileSize = 0;
    std::error_code error;
    const InputFile file(platform::OpenRegularFile(path, fileSize, error));
    if (!file) throw platform::WithReason("CBmp24_::Load : can't open " + path, error);
    const std::string readError = "CBmp24_::Load : can't read " + path;
    std::uint8_t headers[bmp::kHeadersSize];
    ReadHeaders(file.get(), fileSize, headers, readError);
    if (only24 && bmp::GetU16(headers + bmp::kFileHeaderSize + bmp::kBiBitCount) != 24) return false;

    const bmp::PixelLayout layout = bmp::CheckLayout(headers, fileSize);
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(layout.pixelBytes));
    // Without this hint (and the one in Create) the whole A4 job takes 1.5 times as long.
    platform::AdviseLargeBlock(block.get(), static_cast<std::size_t>(layout.pixelBytes));
    SkipTo(file.get(), layout.dataOffset, readError);

    ReadPixelRows(file.get(), layout, block.get(), readError);
    KeepHeadersOfMemory(headers, layout, fileHeader.get(), infoHeader.get());
    width = layout.width;
    rowBytes = layout.rowBytes;
    height = layout.height;
    pixels = std::move(block);
    return true;
}

template <int N>
void CBmp24_<N>::Save(const std::string& path) {
    const std::string failure = "CBmp24_::Save : can't write " + path;
    if (!fileHeader || !infoHeader || !pixels) throw failure;
    bmp::PutU32(infoHeader.get() + bmp::kBiXPelsPerMeter, 0);
    bmp::PutU32(infoHeader.get() + bmp::kBiYPelsPerMeter, 0);

    // The file gets its name only once complete; on failure it goes, and an
    // earlier file of that name stays as it was.
    BmpFileWriter& writer = CurrentBmpFileWriter();
    platform::OutputFile file;
    std::error_code error = writer.Create(file, path);
    if (!error) error = writer.Write(file, fileHeader.get(), bmp::kFileHeaderSize);
    if (!error) error = writer.Write(file, infoHeader.get(), bmp::kInfoHeaderSize);
    const std::size_t pixelRowBytes = 3 * static_cast<std::size_t>(width);
    const std::size_t padding = static_cast<std::size_t>(rowBytes) - pixelRowBytes;
    static const std::uint8_t zeros[4] = {0, 0, 0, 0};
    for (std::int32_t y = 0; !error && y < height; ++y) {
        error = writer.Write(file, Row(y), pixelRowBytes);
        if (!error) error = writer.Write(file, zeros, padding);
    }
    if (!error) error = writer.Commit(file);
    if (error) throw platform::WithReason(failure, error);
}

template class CBmp24_<0>;
