// Picks the reader by the file's first bytes.
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "formats/PageDecoding.h"
#include "platform/InputFile.h"
#include "platform/SystemError.h"

namespace {

enum class Kind { Jpeg, Png, Tiff, Bmp, Unknown };

Kind KindOf(const std::uint8_t* head, std::size_t size) {
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return Kind::Jpeg;
    if (size >= 8 && std::memcmp(head, kPng, 8) == 0) return Kind::Png;
    // Classic and BigTIFF headers, either byte order.
    if (size >= 4 && ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
                      (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43))))
        return Kind::Tiff;
    if (size >= 2 && head[0] == 'B' && head[1] == 'M') return Kind::Bmp;
    return Kind::Unknown;
}

[[noreturn]] void RefuseUnknown(std::uint64_t size) {
    if (size == 0) throw PageRefused("an empty file");
    throw PageRefused("not a JPEG, PNG, TIFF or BMP file");
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::unique_ptr<PageReader> OpenPageReaderFromMemory(std::vector<std::uint8_t> bytes, std::int64_t maxPixels) {
    switch (KindOf(bytes.data(), bytes.size())) {
        case Kind::Jpeg: return formats::OpenJpegReader(std::move(bytes), maxPixels);
        case Kind::Png: return formats::OpenPngReader(std::move(bytes), maxPixels);
        case Kind::Tiff: return formats::OpenTiffReader(nullptr, 0, std::move(bytes), maxPixels);
        case Kind::Bmp: throw PageRefused("a bitmap is read from its file only");
        case Kind::Unknown: break;
    }
    RefuseUnknown(bytes.size());
}

std::unique_ptr<PageReader> OpenPageReader(const std::string& path) {
    std::uint64_t size = 0;
    std::error_code error;
    std::unique_ptr<std::FILE, FileCloser> file(platform::OpenRegularFile(path, size, error));
    if (!file) {
        if (!error) throw PageRefused("not a regular file");
        throw std::system_error(error, "can't open " + path);
    }
    std::uint8_t head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (got < sizeof head && std::ferror(file.get()))
        throw std::system_error(platform::LastCError(), "can't read " + path);
    const Kind kind = KindOf(head, got);
    if (kind == Kind::Unknown) RefuseUnknown(size);
    if (kind == Kind::Bmp) {
        file.reset();
        return formats::OpenBmpReader(path);
    }
    if (kind == Kind::Tiff) return formats::OpenTiffReader(file.release(), size, {}, whiten::kMaxPixels);

    // JPEG and PNG files are a small part of their page's pixels: read whole.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::memcpy(bytes.data(), head, got < bytes.size() ? got : bytes.size());
    std::size_t total = got;
    if (bytes.size() > got) total += std::fread(bytes.data() + got, 1, bytes.size() - got, file.get());
    if (total < bytes.size()) {
        if (std::ferror(file.get())) throw std::system_error(platform::LastCError(), "can't read " + path);
        bytes.resize(total);  // the file shrank while it was read: decode what it held
    }
    file.reset();
    return kind == Kind::Jpeg ? formats::OpenJpegReader(std::move(bytes), whiten::kMaxPixels)
                              : formats::OpenPngReader(std::move(bytes), whiten::kMaxPixels);
}
