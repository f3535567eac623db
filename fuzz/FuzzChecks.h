// What the two fuzz targets check for one input, shared with the test that
// replays the seed corpus and the regressions. Each check writes the input to a
// file in a folder of its own, runs the code under test on it and compares the
// outcome with an independent reading of the bytes. It returns "" when all was as
// it should be, otherwise what went wrong; crashes, sanitizer reports, leaks,
// hangs and oversized allocations are the fuzzer's own findings.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/ProcessFile.h"
#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"
#include "reference/Reference.h"

namespace fuzzcheck {

// The job check runs the whole job only on sound pages up to this many pixels a
// side, so that each run stays fast; larger sound pages are skipped. Refused
// files of any claimed size still go through the job.
constexpr std::int64_t kJobMaxSide = 64;

// What a sound reader makes of the bytes, worked out here without the image library.
struct Expected {
    bool fullHeaders = false;  // at least the 54 header bytes
    bool bits24 = false;       // biBitCount is 24
    bool sound = false;        // Load must accept the file
    std::string reason;        // why Load must refuse it, when it must
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows, positive for top-down files too
    bool topDown = false;
    std::int64_t bytesPerPixel = 3;
    std::uint64_t offset = 0;    // where the first stored row starts
    std::uint64_t fileRow = 0;   // bytes per row in the file
    std::uint64_t rowBytes = 0;  // bytes per 24-bit row in memory
};

inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline Expected Read(const std::uint8_t* data, std::size_t size) {
    Expected e;
    if (size < 54) {
        e.reason = "file is shorter than its headers";
        return e;
    }
    e.fullHeaders = true;
    const unsigned bitCount = data[28] | data[29] << 8;
    e.bits24 = bitCount == 24;
    e.bytesPerPixel = bitCount == 32 ? 4 : 3;
    e.width = static_cast<std::int32_t>(Le32(data + 18));
    const std::int64_t biHeight = static_cast<std::int32_t>(Le32(data + 22));
    e.topDown = biHeight < 0;
    e.height = biHeight < 0 ? -biHeight : biHeight;
    if (e.width <= 0 || e.height == 0) {
        e.reason = "width or height is not positive";
        return e;
    }
    constexpr std::int64_t kSide = std::int64_t{1} << 20;
    if (e.width > kSide || e.height > kSide || e.width * e.height >= (std::int64_t{1} << 30)) {
        e.reason = "image is too large";
        return e;
    }
    e.rowBytes = static_cast<std::uint64_t>((3 * e.width + 3) / 4 * 4);
    e.fileRow = e.bytesPerPixel == 4 ? static_cast<std::uint64_t>(4 * e.width) : e.rowBytes;
    const std::uint64_t offBits = Le32(data + 10);
    e.offset = offBits > 54 ? offBits : 54;
    if (e.offset > size) {
        e.reason = "pixel data offset is beyond the end of the file";
    } else if (e.fileRow * static_cast<std::uint64_t>(e.height) > size - e.offset) {
        e.reason = "pixel data is truncated";
    } else {
        e.sound = true;
    }
    return e;
}

inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::string& message) {
        return message;
    } catch (const std::exception& exception) {
        return exception.what();
    } catch (...) {
        return "an unknown exception";
    }
}

// Pixel x of the loaded image's row y must be the first three bytes of that pixel
// in the file, rows stored bottom line first whatever the file's order.
inline std::string CompareRows(const CBmp24_<0>& image, const Expected& e, const std::uint8_t* data) {
    for (std::int64_t i = 0; i < e.height; ++i) {
        const std::int64_t y = e.topDown ? e.height - 1 - i : i;
        const std::uint8_t* fileRow = data + e.offset + static_cast<std::uint64_t>(i) * e.fileRow;
        const std::uint8_t* row = image.Row(static_cast<std::int32_t>(y));
        for (std::int64_t x = 0; x < e.width; ++x)
            for (int c = 0; c < 3; ++c)
                if (row[3 * x + c] != fileRow[e.bytesPerPixel * x + c])
                    return "pixel " + std::to_string(x) + " of row " + std::to_string(y) + " differs from the file";
    }
    return "";
}

// Type test and loading, then a save and a second load of what was saved.
inline std::string CheckBitmapFile(const std::uint8_t* data, std::size_t size, const std::string& folder) {
    const std::string in = folder + "/in.bmp";
    WriteBytes(in, data, size);
    const Expected e = Read(data, size);

    CBmp24_<0> image;
    try {
        const bool is24 = image.IsThisType(in);
        if (!e.fullHeaders) return "IsThisType read headers the file does not have";
        if (is24 != e.bits24) return "IsThisType disagrees with biBitCount";
    } catch (const BmpFileBroken& broken) {
        if (e.fullHeaders) return std::string("IsThisType refused full headers: ") + broken.what();
    } catch (...) {
        return "IsThisType threw " + Describe(std::current_exception());
    }

    try {
        image.Load(in);
    } catch (const BmpFileBroken& broken) {
        if (e.sound) return std::string("Load refused a sound file: ") + broken.what();
        if (e.reason != broken.what())
            return "Load refused with \"" + std::string(broken.what()) + "\", not \"" + e.reason + "\"";
        if (image.Pixels() != nullptr) return "a refused Load left a pixel block";
        return "";
    } catch (...) {
        return "Load threw " + Describe(std::current_exception());
    }
    if (!e.sound) return "Load accepted a file it must refuse: " + e.reason;
    if (image.Width() != e.width || image.Height() != e.height ||
        static_cast<std::uint64_t>(image.RowBytes()) != e.rowBytes)
        return "Load gave the wrong size";
    // The headers are the file's, except that memory holds 24-bit rows bottom line first.
    // Rows read from further on now follow a 40-byte information header directly.
    std::string file(reinterpret_cast<const char*>(data), 14);
    std::string info(reinterpret_cast<const char*>(data) + 14, 40);
    if (e.bytesPerPixel == 4) info[14] = 24;
    for (int b = 0; b < 4; ++b) info[8 + b] = static_cast<char>(static_cast<std::uint64_t>(e.height) >> (8 * b));
    if (e.offset != 54) {
        file.replace(10, 4, std::string("\x36\0\0\0", 4));
        info.replace(0, 4, std::string("\x28\0\0\0", 4));
    }
    if (std::memcmp(image.FileHeader(), file.data(), 14) != 0 || std::memcmp(image.InfoHeader(), info.data(), 40) != 0)
        return "the loaded headers are not the file's";
    if (std::string problem = CompareRows(image, e, data); !problem.empty()) return problem;

    const std::string out = folder + "/out.bmp";
    try {
        image.Save(out);
    } catch (...) {
        return "Save threw " + Describe(std::current_exception());
    }
    const std::string saved = ReadBytes(out);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(saved.data());
    if (saved.size() != 54 + e.rowBytes * static_cast<std::uint64_t>(e.height))
        return "the saved file has the wrong length";
    if (saved.compare(0, 14, reinterpret_cast<const char*>(image.FileHeader()), 14) != 0 ||
        saved.compare(14, 40, reinterpret_cast<const char*>(image.InfoHeader()), 40) != 0)
        return "the saved headers are not the image's";
    if (Le32(bytes + 38) != 0 || Le32(bytes + 42) != 0) return "the saved resolution is not 0";
    for (std::int64_t y = 0; y < e.height; ++y) {
        const std::uint8_t* row = bytes + 54 + static_cast<std::uint64_t>(y) * e.rowBytes;
        for (std::uint64_t b = 0; b < e.rowBytes; ++b) {
            const bool padding = b >= static_cast<std::uint64_t>(3 * e.width);
            if (row[b] != (padding ? 0 : image.Row(static_cast<std::int32_t>(y))[b]))
                return "saved row " + std::to_string(y) + " differs from memory";
        }
    }
    CBmp24_<0> again;
    try {
        again.Load(out);
    } catch (...) {
        return "the saved file does not load: " + Describe(std::current_exception());
    }
    if (again.Width() != image.Width() || again.Height() != image.Height() ||
        std::memcmp(again.Pixels(), bytes + 54, saved.size() - 54) != 0)
        return "the saved file loads back differently";
    return "";
}

// Runs `job` with standard output going to the file `path`.
template <class Job>
void WithStdoutTo(const std::string& path, Job&& job) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    close(file);
    try {
        job();
    } catch (...) {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
        throw;
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
}

// The bytes the job must write for a sound page, made with the straightforward
// reference flattening on one thread.
inline std::string ReferenceOutput(const std::string& in, const std::string& out) {
    CBmp24_<0> page;
    page.Load(in);
    WhitenPageReference(page);
    page.Save(out);
    return ReadBytes(out);
}

// The whole per-file job on the input as Result's neighbour "page.bmp", with an
// earlier output in the way: the printed lines, the result code and the files
// left in Result must be exactly those the bytes call for.
inline std::string CheckJob(const std::uint8_t* data, std::size_t size, const std::string& folder) {
    namespace fs = std::filesystem;
    const Expected e = Read(data, size);
    if (e.bits24 && e.sound && (e.width > kJobMaxSide || e.height > kJobMaxSide)) return "";

    const std::string in = folder + "/page.bmp";
    const std::string result = folder + "/Result";
    const std::string output = result + "/page.bmp";
    WriteBytes(in, data, size);
    std::error_code ignored;
    fs::remove_all(result, ignored);
    fs::create_directory(result);
    const std::string earlier = "an earlier output";
    WriteBytes(output, reinterpret_cast<const std::uint8_t*>(earlier.data()), earlier.size());

    int code = -1;
    std::string escaped;
    WithStdoutTo(folder + "/stdout.txt", [&] {
        try {
            code = ProcessFile(in);
        } catch (...) {
            escaped = Describe(std::current_exception());
        }
    });
    if (!escaped.empty()) return "the job threw " + escaped;

    std::string lines = "strTargetFolder = " + result + ", strTargetFileName = page.bmp\n";
    int expectedCode = 2;
    if (!e.fullHeaders) {
        lines += "File is broken: " + e.reason + "\n";
    } else if (!e.bits24) {
        lines += "File type is NOT Bmp24!\n";
    } else if (!e.sound) {
        lines += "File is broken: " + e.reason + "\n";
    } else {
        expectedCode = 0;
    }
    if (code != expectedCode) return "the job gave " + std::to_string(code) + ", not " + std::to_string(expectedCode);
    const std::string printed = ReadBytes(folder + "/stdout.txt");
    if (printed != lines) return "the job printed \"" + printed + "\", not \"" + lines + "\"";

    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(result, ignored)) {
        ++files;
        if (entry.path().filename() != "page.bmp") return "the job left " + entry.path().filename().string();
    }
    if (files != 1) return "the output is missing";
    const std::string written = ReadBytes(output);
    if (expectedCode != 0) return written == earlier ? "" : "a refused file changed the earlier output";
    try {
        if (written != ReferenceOutput(in, folder + "/reference.bmp"))
            return "the output differs from the reference flattening's";
    } catch (...) {
        return "the reference job threw " + Describe(std::current_exception());
    }
    return "";
}

}  // namespace fuzzcheck
