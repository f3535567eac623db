// Picks the reader by the file's first bytes, on the one opening that also
// counts a TIFF file's pages.
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "formats/PageDecoding.h"
#include "platform/InputFile.h"
#include "platform/SystemError.h"

namespace formats {
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
    if (size == 0) throw NotAPageFile("an empty file");
    throw NotAPageFile("not a JPEG, PNG, TIFF or BMP file");
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::size_t ReadUpTo(std::FILE* file, std::uint8_t* out, std::size_t size, const std::string& path) {
    const std::size_t got = std::fread(out, 1, size, file);
    if (got < size && std::ferror(file)) throw std::system_error(platform::LastCError(), "can't read " + path);
    return got;
}

}  // namespace

std::FILE* OpenForReading(const std::string& path, std::uint64_t& size) {
    std::error_code error;
    std::FILE* file = platform::OpenRegularFile(path, size, error);
    if (file != nullptr) return file;
    if (!error) throw PageRefused("not a regular file");
    throw std::system_error(error, "can't open " + path);
}

const std::vector<std::uint8_t>& SourceBytes(const FileSource& source, std::vector<std::uint8_t>& loaded) {
    if (source.path.empty()) return source.bytes;
    std::uint64_t size = 0;
    const File file(OpenForReading(source.path, size));
    loaded.resize(static_cast<std::size_t>(size));
    loaded.resize(ReadUpTo(file.get(), loaded.data(), loaded.size(), source.path));  // shorter if it shrank meanwhile
    return loaded;
}

}  // namespace formats

std::unique_ptr<PageReader> OpenPageReaderFromMemory(std::vector<std::uint8_t> bytes, std::int64_t maxPixels) {
    const formats::Kind kind = formats::KindOf(bytes.data(), bytes.size());
    formats::FileSource source{{}, std::move(bytes)};
    switch (kind) {
        case formats::Kind::Jpeg: return formats::OpenJpegReader(std::move(source), maxPixels);
        case formats::Kind::Png: return formats::OpenPngReader(std::move(source), maxPixels);
        case formats::Kind::Tiff: return formats::OpenTiffReader(std::move(source), maxPixels);
        case formats::Kind::Bmp: throw PageRefused("a bitmap is read from its file only");
        case formats::Kind::Unknown: break;
    }
    formats::RefuseUnknown(source.bytes.size());
}

std::unique_ptr<PageReader> OpenPageReader(const std::string& path) {
    using namespace formats;
    std::uint64_t size = 0;
    const File file(OpenForReading(path, size));
    std::uint8_t head[8] = {};
    const std::size_t got = ReadUpTo(file.get(), head, sizeof head, path);
    // Readers keep the path alone and read the file again when a page is read.
    switch (KindOf(head, got)) {
        case Kind::Jpeg: return OpenJpegReader({path, {}}, limits::kMaxPixels);
        case Kind::Png: return OpenPngReader({path, {}}, limits::kMaxPixels);
        case Kind::Tiff: return OpenTiffReader({path, {}}, limits::kMaxPixels, file.get(), size);
        case Kind::Bmp: return OpenBmpReader(path);
        case Kind::Unknown: break;
    }
    RefuseUnknown(size);
}
