// libtiff's client streams and message handlers.
#include "formats/TiffStream.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include <unistd.h>

namespace formats {
namespace {

TiffStream& StreamOf(thandle_t handle) { return *static_cast<TiffStream*>(handle); }

tmsize_t Read(thandle_t handle, void* buffer, tmsize_t count) {
    TiffStream& s = StreamOf(handle);
    if (count <= 0 || s.position >= s.size) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), s.size - s.position);
    if (s.out != nullptr) {
        if (s.position < s.base) return 0;
        std::memcpy(buffer, s.out->data() + (s.position - s.base), n);
    } else if (s.data != nullptr) {
        std::memcpy(buffer, s.data + s.position, n);
    } else {
        // pread keeps no shared position: the stream's own is the only one.
        std::uint64_t done = 0;
        while (done < n) {
            const ssize_t got = pread(fileno(s.file), static_cast<char*>(buffer) + done, n - done,
                                      static_cast<off_t>(s.position + done));
            if (got <= 0) break;
            done += static_cast<std::uint64_t>(got);
        }
        s.position += done;
        return static_cast<tmsize_t>(done);
    }
    s.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t handle, void* buffer, tmsize_t count) {
    TiffStream& s = StreamOf(handle);
    if (s.out == nullptr || count < 0 || s.position < s.base) return -1;
    const std::uint64_t end = s.position + static_cast<std::uint64_t>(count);
    try {
        if (end - s.base > s.out->size()) s.out->resize(end - s.base);
    } catch (const std::bad_alloc&) {
        s.outOfMemory = true;  // no exception may cross libtiff
        return -1;
    }
    std::memcpy(s.out->data() + (s.position - s.base), buffer, static_cast<std::size_t>(count));
    s.position = end;
    s.size = std::max<std::uint64_t>(s.size, end);
    return count;
}

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    TiffStream& s = StreamOf(handle);
    const std::uint64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.size : 0;
    s.position = base + offset;
    return s.position;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) { return StreamOf(handle).size; }
int Map(thandle_t, void**, toff_t*) { return 0; }
void Unmap(thandle_t, void*, toff_t) {}

// libtiff's message as one line: some of its messages run over two ("Improper
// JPEG sampling factors 3,1\nApparently should be 1,1."), and a refusal is one
// line. Each line break or other control character, with the blanks around it,
// becomes one space; one at either end is dropped.
std::string OneLineMessage(const char* format, va_list arguments) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    std::string line;
    for (const char* c = text; *c != '\0'; ++c) {
        if (!isControl(*c)) {
            line += *c;
            continue;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        while (c[1] == ' ' || (c[1] != '\0' && isControl(c[1]))) ++c;
        if (!line.empty() && c[1] != '\0') line += ' ';
    }
    return line;
}

int KeepFirstError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto& stream = *static_cast<TiffStream*>(user);
    if (stream.error.empty()) stream.error = OneLineMessage(format, arguments);
    (void)module;
    return 1;  // handled: the global handlers are not called
}

// The fields whose loss changes the pixels read (libtiff's names for them).
bool PageNeeds(const std::string& field) {
    static const char* const kNeeded[] = {
        "ImageWidth", "ImageLength", "BitsPerSample", "Compression", "PhotometricInterpretation", "FillOrder",
        "StripOffsets", "StripByteCounts", "RowsPerStrip", "TileWidth", "TileLength", "TileOffsets",
        "TileByteCounts", "SamplesPerPixel", "PlanarConfiguration", "ColorMap", "ExtraSamples", "Matteing",
        "SampleFormat", "InkSet", "Orientation", "Predictor", "YCbCrSubsampling", "JPEGTables", "JpegProc",
        "JpegInterchangeFormat", "JpegInterchangeFormatLength", "JpegQTables", "JpegDcTables", "JpegAcTables"};
    for (const char* needed : kNeeded)
        if (field == needed) return true;
    return false;
}

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

// libtiff's wording: `... "Name" ...; tag ignored` for a field it dropped, "IO
// error during reading of" for one beyond the file's end; libjpeg's warnings
// reach it with the module "JPEGLib", the first of each strip only.
bool LosesData(const char* module, const std::string& text) {
    if (text.find("IO error") != std::string::npos) return true;
    if (module != nullptr && std::strcmp(module, "JPEGLib") == 0)
        return StartsWith(text, "Corrupt JPEG data") || StartsWith(text, "Premature end of JPEG file") ||
               StartsWith(text, "Inconsistent progression") || StartsWith(text, "Invalid SOS parameters");
    if (StartsWith(text, "Improper JPEG strip/tile size")) return true;  // fewer rows than the strip's
    const std::size_t open = text.find('"');
    const std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    return close != std::string::npos && text.find("tag ignored") != std::string::npos &&
           PageNeeds(text.substr(open + 1, close - open - 1));
}

int KeepLostData(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto& stream = *static_cast<TiffStream*>(user);
    if (stream.lostData.empty()) {
        std::string text = OneLineMessage(format, arguments);
        if (LosesData(module, text)) stream.lostData = std::move(text);
    }
    return 1;
}

}  // namespace

// The current directory read from the file as stored: its entries are sorted
// by tag, so the walk stops at the first tag past the Photometric tag (262).
bool DeclaresPalette(TIFF* tiff, TiffStream& stream) {
    const bool big = TIFFIsBigTIFF(tiff) != 0;
    const bool bigEndian = TIFFIsBigEndian(tiff) != 0;
    const std::uint64_t kept = stream.position;
    const auto number = [&](std::uint64_t offset, int bytes, std::uint64_t& value) {
        std::uint8_t b[8];
        stream.position = offset;
        if (Read(&stream, b, bytes) != bytes) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value |= std::uint64_t{b[bigEndian ? i : bytes - 1 - i]} << (8 * (bytes - 1 - i));
        return true;
    };
    const std::uint64_t directory = TIFFCurrentDirOffset(tiff);
    const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, sizeBytes = big ? 8 : 4;
    std::uint64_t count = 0, tag = 0, type = 0, value = 0;
    bool palette = false;
    if (number(directory, countBytes, count)) {
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t entry = directory + countBytes + i * entryBytes;
            if (!number(entry, 2, tag) || tag > TIFFTAG_PHOTOMETRIC) break;
            if (tag < TIFFTAG_PHOTOMETRIC || !number(entry + 2, 2, type)) continue;
            const int valueBytes = type == TIFF_SHORT ? 2 : type == TIFF_LONG ? 4 : 0;
            palette = valueBytes != 0 && number(entry + 4 + sizeBytes, valueBytes, value) && value == PHOTOMETRIC_PALETTE;
            break;
        }
    }
    stream.position = kept;
    return palette;
}

TIFF* OpenTiff(TiffStream& stream, const char* mode, std::uint64_t maxAllocation) {
    // The few messages libtiff gives without a file at hand go nowhere. Set once,
    // before any file is opened, and never changed.
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepFirstError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options, KeepLostData, &stream);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(maxAllocation));
    TIFF* tiff = TIFFClientOpenExt("page", mode, &stream, Read, Write, Seek, Close, Size, Map, Unmap, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr && stream.error.empty()) stream.error = "not a TIFF file";
    return tiff;
}

}  // namespace formats
