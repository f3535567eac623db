// Writes the seed corpus of the fuzz targets into the folder given (fuzz/corpus):
// small sound pages of every kind the reader meets, and one file per refusal.
//   make_seed_corpus fuzz/corpus
#include "app/test_bmp_files.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using testbmp::Headers;
using testbmp::Page;
using testbmp::Rows;

// A page with a colour table of `colours` entries and one index byte per pixel.
std::string Indexed8(int width, int height, int colours) {
    std::string table;
    for (int i = 0; i < colours; ++i) table += std::string{char(i * 16), char(i * 8), char(255 - i * 16), 0};
    std::string rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) row += static_cast<char>((x + y) % colours);
        while (row.size() % 4 != 0) row += '\0';
        rows += row;
    }
    const auto offBits = static_cast<std::uint32_t>(54 + table.size());
    std::string h = Headers(width, height, 8, offBits, 40, static_cast<std::uint32_t>(offBits + rows.size()));
    testbmp::Put(h, 46, static_cast<std::uint32_t>(colours), 4);
    return h + table + rows;
}

// The first 32 bytes of a PNG file: signature and image header chunk.
std::string PngStart(std::uint8_t byte28) {
    const unsigned char bytes[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                   0, 0, 0, 40, 0, 0, 0, 30, 8, 2, 0, 0, byte28, 0, 0x5C, 0x6D};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seed_corpus FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string rows3x2 = Rows(3, 2, 3);
    std::vector<std::pair<std::string, std::string>> files = {
        // Sound 24-bit pages: every padding length, the smallest, tall and wide.
        {"ok-w1-pad1", Page(1, 3)},
        {"ok-w2-pad2", Page(2, 3)},
        {"ok-w3-pad3", Page(3, 3)},
        {"ok-w4-pad0", Page(4, 3)},
        {"ok-1x1", Page(1, 1)},
        {"ok-tall-1x48", Page(1, 48)},
        {"ok-wide-48x1", Page(48, 1)},
        {"ok-7x5", Page(7, 5)},
        {"ok-top-down", Headers(5, -4, 24) + Rows(5, 4, 3, true)},
        {"ok-offset-v5-header", Headers(5, 4, 24, 138, 124) + std::string(84, '\x55') + Rows(5, 4, 3)},
        {"ok-offset-colour-table", Headers(3, 2, 24, 54 + 64) + std::string(64, '\x33') + rows3x2},
        {"ok-offset-0", Headers(3, 2, 24, 0) + rows3x2},
        {"ok-offset-inside-headers", Headers(3, 2, 24, 20) + rows3x2},
        {"ok-pad-bytes-set", Headers(1, 2, 24) + Rows(1, 2, 3, false, '\x7f')},
        // Other bit counts: read by Load, refused by the job's type test.
        {"bits8-indexed", Indexed8(5, 3, 16)},
        {"bits32", Page(3, 2, 32)},
        {"bits32-top-down", Headers(3, -3, 32) + Rows(3, 3, 4, true)},
        {"bits16", Page(2, 2, 16)},
        // One file per refusal.
        {"bad-empty", ""},
        {"bad-53-bytes", Page(3, 2).substr(0, 53)},
        {"bad-no-pixel-data", Headers(3, 2, 24)},
        {"bad-last-row-short", Headers(3, 2, 24) + rows3x2.substr(0, 23)},
        {"bad-top-down-short-row", Headers(3, -3, 24) + rows3x2},
        {"bad-32-bit-short", Headers(4, 2, 32) + rows3x2},
        {"bad-width-0", Headers(0, 2, 24) + rows3x2},
        {"bad-width-negative", Headers(-3, 2, 24) + rows3x2},
        {"bad-height-0", Headers(3, 0, 24) + rows3x2},
        {"bad-height-int-min", Headers(3, INT_MIN, 24) + rows3x2},
        {"bad-width-int-max", Headers(INT_MAX, 1, 24) + rows3x2},
        {"bad-height-int-max", Headers(1, INT_MAX, 24) + rows3x2},
        {"bad-width-times-3-overflow", Headers(0x60000000, 1, 24) + rows3x2},
        {"bad-side-above-limit", Headers((1 << 20) + 1, 1, 24) + rows3x2},
        {"bad-pixels-above-limit", Headers(1 << 15, 1 << 15, 24) + rows3x2},
        {"bad-huge-page-tiny-file", Headers(1 << 20, (1 << 10) - 1, 24) + rows3x2},
        {"bad-largest-page-tiny-file", Headers((1 << 15) - 1, (1 << 15) + 1, 24) + rows3x2},
        {"bad-offset-beyond-end", Headers(3, 2, 24, 1000) + rows3x2},
        {"bad-offset-leaves-too-little", Headers(3, 2, 24, 60) + rows3x2},
        {"bad-png", PngStart(0) + std::string(40, '\0')},
        {"bad-png-24-bit-header", PngStart(24) + std::string(40, '\0')},
        {"bad-text", "These are not the pixels you are looking for.\nJust a few lines of text.\n"},
    };
    for (const auto& [name, bytes] : files) {
        std::ofstream out(folder + "/" + name + ".bmp", std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s/%s.bmp\n", folder.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
