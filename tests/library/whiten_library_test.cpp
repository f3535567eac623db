// The public library: every golden page, held as a caller holds a picture (top
// row first) in each layout the library takes, whitens to the tool's bytes;
// bad arguments are refused before any work; calls run side by side.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "image/CBmp24.h"
#include "library/whiten.h"
#include "support/golden.h"

namespace {

// A picture as 8-bit samples, top row first, and what the tool wrote for it.
struct Picture {
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> bgr;       // 3 bytes a pixel, rows top first
    std::vector<std::uint8_t> expected;  // the tool's gray byte per pixel, rows top first
};

Picture GoldenPicture(const std::string& name) {
    const std::string folder = testsupport::DataPath("golden/pages/");
    CBmp24_<0> in, out;
    in.Load(folder + name + ".bmp");
    out.Load(folder + name + ".out.bmp");
    Picture p;
    p.width = in.Width();
    p.height = in.Height();
    for (std::int32_t y = p.height - 1; y >= 0; --y) {  // bitmaps store the bottom row first
        p.bgr.insert(p.bgr.end(), in.Row(y), in.Row(y) + 3 * p.width);
        for (std::int32_t x = 0; x < p.width; ++x) p.expected.push_back(out.Row(y)[3 * x]);
    }
    return p;
}

std::vector<std::string> GoldenNames() {
    std::ifstream cases(testsupport::DataPath("golden/pages/CASES.txt"));
    std::vector<std::string> names;
    for (std::string line; std::getline(cases, line) && line != "end";)
        if (!line.empty() && line[0] != '#') names.push_back(line.substr(0, line.find(' ')));
    return names;
}

// One way of holding the picture: samples per pixel, bytes of padding after
// each row, rows stored bottom first (a negative stride), whitened in place.
struct Layout {
    const char* name;
    int channels;
    int padding;
    bool bottomUp;
    bool inPlace;
};

TEST(Library, EveryLayoutOfEveryGoldenPageGivesTheToolsBytes) {
    const Layout layouts[] = {
        {"colour, packed", 3, 0, false, false},      {"colour, padded rows", 3, 5, false, false},
        {"colour, bottom row first", 3, 2, true, false}, {"four samples", 4, 0, false, false},
        {"four samples, bottom up", 4, 3, true, false},  {"gray", 1, 0, false, false},
        {"gray, padded, bottom up", 1, 7, true, false},  {"gray in place", 1, 1, false, true},
        {"gray in place, bottom up", 1, 0, true, true},
    };
    const auto names = GoldenNames();
    ASSERT_EQ(names.size(), 8u);
    for (const auto& name : names) {
        const Picture p = GoldenPicture(name);
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(name + ", " + layout.name);
            const std::ptrdiff_t rowBytes = std::ptrdiff_t{p.width} * layout.channels + layout.padding;
            std::vector<std::uint8_t> held(static_cast<std::size_t>(rowBytes * p.height), 0xA5);
            for (std::int32_t y = 0; y < p.height; ++y) {
                std::uint8_t* row = held.data() + (layout.bottomUp ? p.height - 1 - y : y) * rowBytes;
                for (std::int32_t x = 0; x < p.width; ++x) {
                    const std::uint8_t* bgr = &p.bgr[3 * (static_cast<std::size_t>(y) * p.width + x)];
                    std::uint8_t* sample = row + x * layout.channels;
                    if (layout.channels == 1) {
                        sample[0] = static_cast<std::uint8_t>((bgr[0] + bgr[1] + bgr[2]) / 3);
                    } else {
                        // Reversed colour order: the gray level is the same mean.
                        sample[0] = bgr[2], sample[1] = bgr[1], sample[2] = bgr[0];
                        if (layout.channels == 4) sample[3] = static_cast<std::uint8_t>(x * 37);
                    }
                }
            }
            const std::ptrdiff_t stride = layout.bottomUp ? -rowBytes : rowBytes;
            const std::uint8_t* top = held.data() + (layout.bottomUp ? (p.height - 1) * rowBytes : 0);
            const whiten::Page page{top, p.width, p.height, stride, layout.channels};

            std::vector<std::uint8_t> gray;
            if (layout.inPlace) {
                whiten::WhitenInto(page, const_cast<std::uint8_t*>(top), stride, 2);
                for (std::int32_t y = 0; y < p.height; ++y) gray.insert(gray.end(), top + y * stride, top + y * stride + p.width);
            } else {
                gray = whiten::Whiten(page, 3).bytes;
            }
            EXPECT_TRUE(gray == p.expected);
        }
    }
}

TEST(Library, RefusesBadArgumentsNamingTheLimit) {
    std::vector<std::uint8_t> bytes(64, 128), out(64);
    const std::uint8_t* in = bytes.data();
    struct Case {
        const char* name;
        whiten::Page page;
        std::uint8_t* out;
        std::ptrdiff_t outStride;
        int threads;
        const char* message;
    };
    const Case cases[] = {
        {"no width", {in, 0, 4, 4, 1}, out.data(), 4, 0, "0 x 4 pixels: an empty page"},
        {"negative height", {in, 4, -1, 4, 1}, out.data(), 4, 0, "4 x -1 pixels: an empty page"},
        {"side beyond 2^20", {in, 1048577, 1, 1048577, 1}, out.data(), 1048577, 0, "1048577 x 1 pixels: beyond the largest page (1048576 pixels a side"},
        {"2^30 pixels", {in, 1 << 15, 1 << 15, 1 << 15, 1}, out.data(), 1 << 15, 0, "1073741823"},
        {"two channels", {in, 4, 4, 8, 2}, out.data(), 4, 0, "1, 3 or 4"},
        {"no samples", {nullptr, 4, 4, 4, 1}, out.data(), 4, 0, "null"},
        {"no output", {in, 4, 4, 4, 1}, nullptr, 4, 0, "null"},
        {"short input rows", {in, 4, 4, 11, 3}, out.data(), 4, 0, "at least 12"},
        {"short output rows", {in, 4, 4, 4, 1}, out.data(), -3, 0, "at least 4"},
        {"huge stride", {in, 4, 4, PTRDIFF_MAX / 2, 1}, out.data(), 4, 0, "too large"},
        // No magnitude fits: compared before one is taken (the sanitizer build sees the overflow).
        {"most negative stride", {in, 4, 4, PTRDIFF_MIN, 1}, out.data(), 4, 0, "at least 4"},
        {"most negative output stride", {in, 4, 4, 4, 1}, out.data(), PTRDIFF_MIN, 0, "at least 4"},
        {"negative threads", {in, 4, 4, 4, 1}, out.data(), 4, -1, "threads"},
        {"colour output over its input", {in, 2, 2, 6, 3}, bytes.data() + 4, 2, 0, "overlaps"},
        {"gray output shifted over its input", {in, 4, 4, 4, 1}, bytes.data() + 1, 4, 0, "overlaps"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            whiten::WhitenInto(c.page, c.out, c.outStride, c.threads);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
        }
        EXPECT_EQ(bytes, std::vector<std::uint8_t>(64, 128));
    }
    // The convenience form checks before it allocates the page's output.
    EXPECT_THROW(whiten::Whiten({in, 1 << 20, 1 << 20, 1 << 20, 1}), std::invalid_argument);
}

// Counts beyond what can run are lowered before the working sets are sized:
// a count of INT_MAX, whose working sets alone would take tens of gigabytes,
// whitens as one thread does.
TEST(Library, AnyThreadCountGivesTheSameBytes) {
    const Picture p = GoldenPicture("text_257x129");
    const whiten::Page page{p.bgr.data(), p.width, p.height, 3 * p.width, 3};
    for (const int threads : {0, 1, 2, 7, 257, 258, 100000, 1 << 24, INT_MAX}) {
        SCOPED_TRACE(threads);
        EXPECT_TRUE(whiten::Whiten(page, threads).bytes == p.expected);
    }
}

TEST(Library, CallsOnSeveralThreadsAtOnceGiveEachPageItsOwnBytes) {
    const Picture a = GoldenPicture("synth_600x800"), b = GoldenPicture("text_257x129");
    std::vector<std::uint8_t> grayA, grayB;
    std::thread first([&] { grayA = whiten::Whiten({a.bgr.data(), a.width, a.height, 3 * a.width, 3}, 2).bytes; });
    std::thread second([&] { grayB = whiten::Whiten({b.bgr.data(), b.width, b.height, 3 * b.width, 3}, 2).bytes; });
    first.join();
    second.join();
    EXPECT_TRUE(grayA == a.expected);
    EXPECT_TRUE(grayB == b.expected);
    EXPECT_STREQ(whiten::Version(), WHITEN_VERSION);
}

}  // namespace
