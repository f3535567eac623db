// The readers: every kind of input page decodes to the reference decoder's
// pixels and whitens to the classic tool's bytes for the bitmap of those
// pixels; the rules for inputs that are not plain; orientation and resolution.
#include <atomic>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "formats/PageReader.h"
#include "library/whiten.h"
#include "support/temp_dir.h"
#include "tests/formats/damaged_files.h"
#include "whiten/WhitenPage.h"

namespace {

using namespace formattest;

// The classic tool's output for the 24-bit bitmap of `page` (a gray sample as three equal bytes).
using Bytes8 = std::vector<std::uint8_t>;

std::vector<std::uint8_t> ClassicWhiten(const PageImage& page) {
    CBmp24_<0> bitmap;
    bitmap.Create(page.width, page.height);
    for (int y = 0; y < page.height; ++y) {
        std::uint8_t* bgr = bitmap.Row(page.height - 1 - y);
        const std::uint8_t* in = page.samples.data() + std::size_t(y) * page.width * page.channels;
        for (int x = 0; x < page.width; ++x)
            for (int c = 0; c < 3; ++c) bgr[3 * x + c] = in[x * page.channels + (page.channels == 1 ? 0 : c)];
    }
    WhitenPage(bitmap);
    std::vector<std::uint8_t> gray(std::size_t(page.width) * page.height);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) gray[std::size_t(y) * page.width + x] = bitmap.Row(page.height - 1 - y)[3 * x];
    return gray;
}

std::vector<std::uint8_t> LibraryWhiten(const PageImage& page) {
    const whiten::Page in{page.samples.data(), page.width, page.height,
                          std::ptrdiff_t(page.width) * page.channels, page.channels};
    return whiten::Whiten(in).bytes;
}

std::vector<std::uint8_t> Rows16(const Picture& p, bool bigEndian) {
    // v becomes v * 256 + a low byte that varies, so only the high byte is v.
    std::vector<std::uint8_t> rows;
    for (std::size_t i = 0; i < p.samples.size(); ++i) {
        const std::uint16_t wide = static_cast<std::uint16_t>(p.samples[i] << 8 | ((i * 37) & 0xFF));
        if (bigEndian) {
            rows.push_back(static_cast<std::uint8_t>(wide >> 8));
            rows.push_back(static_cast<std::uint8_t>(wide));
        } else {
            rows.resize(rows.size() + 2);
            std::memcpy(&rows[rows.size() - 2], &wide, 2);
        }
    }
    return rows;
}

std::uint8_t OnWhite(unsigned v, unsigned a) { return static_cast<std::uint8_t>((v * a + 255 * (255 - a) + 127) / 255); }

// The crop with an alpha byte after each pixel, and what it looks like on white.
struct WithAlpha {
    std::vector<std::uint8_t> rgba;
    Picture onWhite;
};
WithAlpha AddAlpha(const Picture& p) {
    WithAlpha out{{}, p};
    for (std::size_t i = 0; i < std::size_t(p.width) * p.height; ++i) {
        const std::uint8_t a = static_cast<std::uint8_t>(i % 7 == 0 ? 0 : i % 5 == 0 ? 255 : (i * 13) & 0xFF);
        for (int c = 0; c < 3; ++c) {
            out.rgba.push_back(p.samples[3 * i + c]);
            out.onWhite.samples[3 * i + c] = OnWhite(p.samples[3 * i + c], a);
        }
        out.rgba.push_back(a);
    }
    return out;
}

// A 6 x 7 x 6 colour cube and the crop drawn in it.
struct Paletted {
    std::vector<png_color> palette;
    std::vector<std::uint8_t> indices;
    Picture colours;
};
Paletted ToPalette(const Picture& p) {
    Paletted out{{}, {}, p};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                out.palette.push_back({std::uint8_t(r * 51), std::uint8_t(g * 42), std::uint8_t(b * 51)});
    for (std::size_t i = 0; i < std::size_t(p.width) * p.height; ++i) {
        const int r = p.samples[3 * i] / 43, g = p.samples[3 * i + 1] / 37, b = p.samples[3 * i + 2] / 43;
        const int index = (r * 7 + g) * 6 + b;
        out.indices.push_back(static_cast<std::uint8_t>(index));
        const png_color c = out.palette[index];
        out.colours.samples[3 * i] = c.red;
        out.colours.samples[3 * i + 1] = c.green;
        out.colours.samples[3 * i + 2] = c.blue;
    }
    return out;
}

struct InputCase {
    const char* name;
    std::vector<std::uint8_t> file;
    std::vector<Picture> expected;  // each page as the reference decodes it
};

std::vector<InputCase> InputTable() {
    const Picture rgb = DemoCrop();
    const Picture gray = Gray(rgb);
    const Picture other = DemoCrop(100, 700, 160, 120);
    std::vector<InputCase> table;
    const auto jpeg = [&](const char* name, const Picture& p, const JpegOptions& o) {
        std::vector<std::uint8_t> file = EncodeJpeg(p, o);
        table.push_back({name, file, {DecodeJpeg(file)}});
    };
    jpeg("jpeg-baseline-420", rgb, {});
    jpeg("jpeg-progressive", rgb, {.progressive = true});
    jpeg("jpeg-gray", gray, {});
    jpeg("jpeg-444", rgb, {.hSampling = 1, .vSampling = 1});

    const auto png = [&](const char* name, const Picture& p, const std::vector<std::uint8_t>& rows, const PngOptions& o,
                         const Picture& expected) {
        table.push_back({name, EncodePng(p.width, p.height, rows, o), {expected}});
    };
    png("png-gray", gray, gray.samples, {.colorType = PNG_COLOR_TYPE_GRAY}, gray);
    png("png-rgb", rgb, rgb.samples, {}, rgb);
    const WithAlpha alpha = AddAlpha(rgb);
    png("png-rgba", rgb, alpha.rgba, {.colorType = PNG_COLOR_TYPE_RGBA}, alpha.onWhite);
    const Paletted paletted = ToPalette(rgb);
    png("png-palette", rgb, paletted.indices, {.colorType = PNG_COLOR_TYPE_PALETTE, .palette = paletted.palette},
        paletted.colours);
    png("png-16-bit", rgb, Rows16(rgb, true), {.bitDepth = 16}, rgb);
    png("png-16-bit-gray", gray, Rows16(gray, true), {.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16}, gray);
    png("png-interlaced", rgb, rgb.samples, {.interlaced = true}, rgb);
    png("png-interlaced-rgba", rgb, alpha.rgba, {.colorType = PNG_COLOR_TYPE_RGBA, .interlaced = true},
        alpha.onWhite);

    const auto tiff = [&](const char* name, const std::vector<TiffPage>& pages) {
        std::vector<std::uint8_t> file = EncodeTiff(pages);
        InputCase c{name, file, {}};
        for (std::size_t i = 0; i < pages.size(); ++i) {
            Picture reference = DecodeTiffRgba(file, static_cast<int>(i));
            c.expected.push_back(pages[i].photometric == PHOTOMETRIC_MINISBLACK ? Gray(reference) : reference);
        }
        table.push_back(c);
    };
    tiff("tiff-uncompressed", {{.picture = rgb}});
    tiff("tiff-lzw", {{.picture = rgb, .compression = COMPRESSION_LZW}});
    tiff("tiff-deflate", {{.picture = rgb, .compression = COMPRESSION_ADOBE_DEFLATE}});
    tiff("tiff-packbits", {{.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .compression = COMPRESSION_PACKBITS}});
    tiff("tiff-jpeg-ycbcr", {{.picture = rgb, .photometric = PHOTOMETRIC_YCBCR, .compression = COMPRESSION_JPEG}});
    tiff("tiff-jpeg-gray", {{.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .compression = COMPRESSION_JPEG}});
    tiff("tiff-tiles", {{.picture = rgb, .compression = COMPRESSION_ADOBE_DEFLATE, .tileSide = 64}});
    tiff("tiff-one-strip", {{.picture = rgb, .compression = COMPRESSION_LZW, .rowsPerStrip = 1 << 20}});
    tiff("tiff-multi-page", {{.picture = rgb, .compression = COMPRESSION_LZW},
                             {.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .tileSide = 32},
                             {.picture = other, .compression = COMPRESSION_JPEG, .rowsPerStrip = 16}});
    tiff("tiff-palette", {{.picture = {rgb.width, rgb.height, 1, paletted.indices}, .photometric = PHOTOMETRIC_PALETTE,
                           .colormap = [&] {
                               std::vector<std::uint16_t> map(768, 0);
                               for (std::size_t i = 0; i < paletted.palette.size(); ++i) {
                                   map[i] = paletted.palette[i].red * 257;
                                   map[256 + i] = paletted.palette[i].green * 257;
                                   map[512 + i] = paletted.palette[i].blue * 257;
                               }
                               return map;
                           }()}});
    return table;
}

TEST(PageReaders, EveryInputKindWhitensAsTheClassicToolWhitensItsBitmap) {
    testsupport::TempDir folder;
    for (const InputCase& c : InputTable()) {
        SCOPED_TRACE(c.name);
        const std::string path = folder / c.name;
        testsupport::WriteFile(path, std::string(c.file.begin(), c.file.end()));
        const auto reader = OpenPageReader(path);
        ASSERT_EQ(reader->PageCount(), static_cast<int>(c.expected.size()));
        for (int i = 0; i < reader->PageCount(); ++i) {
            PageImage page;
            reader->Read(i, page);
            const Picture& expected = c.expected[i];
            ASSERT_EQ(page.width, expected.width);
            ASSERT_EQ(page.height, expected.height);
            ASSERT_EQ(page.channels, expected.channels);
            EXPECT_TRUE(page.samples == expected.samples) << "page " << i << " decodes unlike the reference";
            EXPECT_TRUE(LibraryWhiten(page) == ClassicWhiten(page)) << "page " << i;
        }
    }
}

TEST(PageReaders, TheClassicBitmapReadsTopRowFirstAndWhitensToTheToolsBytes) {
    testsupport::TempDir folder;
    const Picture rgb = DemoCrop();
    CBmp24_<0> bitmap;
    bitmap.Create(rgb.width, rgb.height);
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x)
            for (int c = 0; c < 3; ++c) bitmap.Row(rgb.height - 1 - y)[3 * x + c] = rgb.Row(y)[3 * x + 2 - c];
    bitmap.Save(folder / "page.bmp");

    PageImage page;
    OpenPageReader(folder / "page.bmp")->Read(0, page);
    ASSERT_EQ(page.channels, 3);
    Picture bgr = rgb;
    for (std::size_t i = 0; i < bgr.samples.size(); i += 3) std::swap(bgr.samples[i], bgr.samples[i + 2]);
    EXPECT_TRUE(page.samples == bgr.samples);

    bitmap.Load(folder / "page.bmp");
    WhitenPage(bitmap);
    const std::vector<std::uint8_t> gray = LibraryWhiten(page);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            ASSERT_EQ(gray[std::size_t(y) * page.width + x], bitmap.Row(page.height - 1 - y)[3 * x]) << x << ", " << y;
}

// Corners of a 16 x 8 picture of four flat quarters (top left 40, top right
// 100, bottom left 160, bottom right 220) as each orientation shows them.
TEST(PageReaders, OrientationTurnsThePageUpright) {
    Picture quarters{16, 8, 1, std::vector<std::uint8_t>(128)};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) quarters.Row(y)[x] = static_cast<std::uint8_t>(40 + 60 * (x >= 8) + 120 * (y >= 4));
    struct Case {
        int orientation, width, topLeft, topRight, bottomLeft;
    } const table[] = {{1, 16, 40, 100, 160}, {2, 16, 100, 40, 220}, {3, 16, 220, 160, 100}, {4, 16, 160, 220, 40},
                       {5, 8, 40, 160, 100},  {6, 8, 160, 40, 220},  {7, 8, 220, 100, 160}, {8, 8, 100, 220, 40}};
    for (const Case& c : table) {
        for (bool tiff : {false, true}) {
            SCOPED_TRACE(std::string(tiff ? "TIFF" : "EXIF") + " orientation " + std::to_string(c.orientation));
            const std::vector<std::uint8_t> file =
                tiff ? EncodeTiff({{.picture = quarters, .photometric = PHOTOMETRIC_MINISBLACK, .orientation = c.orientation}})
                     : EncodeJpeg(quarters, {.quality = 100, .app1 = Exif({{0x0112, 3, std::uint32_t(c.orientation)}},
                                                                            c.orientation % 2 == 0)});
            PageImage page;
            OpenPageReaderFromMemory(file)->Read(0, page);
            ASSERT_EQ(page.width, c.width);
            const auto at = [&](int x, int y) { return int(page.samples[std::size_t(y) * page.width + x]); };
            EXPECT_NEAR(at(0, 0), c.topLeft, 3);
            EXPECT_NEAR(at(page.width - 1, 0), c.topRight, 3);
            EXPECT_NEAR(at(0, page.height - 1), c.bottomLeft, 3);
        }
    }
}

TEST(PageReaders, ResolutionIsTheFilesInDotsAnInch) {
    const Picture gray = Gray(DemoCrop(0, 0, 24, 16));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        double dpiX, dpiY;
    } const table[] = {
        {"jpeg-jfif-inch", EncodeJpeg(gray, {.densityUnit = 1, .xDensity = 300, .yDensity = 600}), 300, 600},
        {"jpeg-jfif-cm", EncodeJpeg(gray, {.densityUnit = 2, .xDensity = 118, .yDensity = 118}), 299.72, 299.72},
        {"jpeg-jfif-aspect-exif", EncodeJpeg(gray, {.app1 = Exif({{0x011A, 5, 400}, {0x011B, 5, 200}})}), 400, 200},
        {"jpeg-exif-cm", EncodeJpeg(gray, {.app1 = Exif({{0x011A, 5, 100}, {0x011B, 5, 100}, {0x0128, 3, 3}}, true)}), 254,
         254},
        {"jpeg-none", EncodeJpeg(gray, {}), 0, 0},
        {"png-phys", EncodePng(gray.width, gray.height, gray.samples, {.colorType = PNG_COLOR_TYPE_GRAY, .pixelsPerMetre = 11811}),
         299.9994, 299.9994},
        {"png-none", EncodePng(gray.width, gray.height, gray.samples, {.colorType = PNG_COLOR_TYPE_GRAY}), 0, 0},
        {"tiff-inch", EncodeTiff({{.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .dpi = 300}}), 300, 300},
        {"tiff-cm", EncodeTiff({{.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .dpi = 100, .unit = RESUNIT_CENTIMETER}}),
         254, 254},
        {"tiff-no-unit", EncodeTiff({{.picture = gray, .photometric = PHOTOMETRIC_MINISBLACK, .dpi = 5, .unit = RESUNIT_NONE}}), 0,
         0},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        PageImage page;
        OpenPageReaderFromMemory(c.file)->Read(0, page);
        EXPECT_NEAR(page.dpiX, c.dpiX, 0.01);
        EXPECT_NEAR(page.dpiY, c.dpiY, 0.01);
    }
}

// CMYK and 16-bit TIFF pages, CMYK JPEG (Adobe's inverted samples), alpha in TIFF.
TEST(PageReaders, InputsThatAreNotPlainFollowTheirStatedRules) {
    const Picture rgb = DemoCrop(0, 0, 32, 16);
    Picture cmyk{rgb.width, rgb.height, 4, {}};
    Picture fromCmyk = rgb;
    for (std::size_t i = 0; i < std::size_t(rgb.width) * rgb.height; ++i) {
        const unsigned k = (i * 11) % 64;
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = 255u - rgb.samples[3 * i + c];
            cmyk.samples.push_back(static_cast<std::uint8_t>(ink));
            fromCmyk.samples[3 * i + c] = static_cast<std::uint8_t>(((255 - ink) * (255 - k) + 127) / 255);
        }
        cmyk.samples.push_back(static_cast<std::uint8_t>(k));
    }
    Picture adobe = cmyk;
    for (std::uint8_t& v : adobe.samples) v = static_cast<std::uint8_t>(255 - v);
    const Picture wide{rgb.width, rgb.height, 3, Rows16(rgb, false)};
    Picture rgba{rgb.width, rgb.height, 4, AddAlpha(rgb).rgba};

    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        Picture expected;
        int tolerance;
    } const table[] = {
        {"tiff-cmyk", EncodeTiff({{.picture = cmyk, .photometric = PHOTOMETRIC_SEPARATED}}), fromCmyk, 0},
        {"tiff-16-bit", EncodeTiff({{.picture = wide, .bits = 16}}), rgb, 0},
        {"tiff-alpha", EncodeTiff({{.picture = rgba, .extraSamples = 1}}), AddAlpha(rgb).onWhite, 0},
        {"jpeg-adobe-cmyk", EncodeJpeg(adobe, {.quality = 100, .cmyk = true}), fromCmyk, 6},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        PageImage page;
        OpenPageReaderFromMemory(c.file)->Read(0, page);
        ASSERT_EQ(page.channels, 3);
        ASSERT_EQ(page.samples.size(), c.expected.samples.size());
        int worst = 0;
        for (std::size_t i = 0; i < page.samples.size(); ++i)
            worst = std::max(worst, std::abs(int(page.samples[i]) - int(c.expected.samples[i])));
        EXPECT_LE(worst, c.tolerance);
    }
}

// What opening a path gives before any decoding: the system's errors, and
// refusals for what is no page file.
TEST(PageReaders, OpeningAPathGivesTheSystemsErrorOrARefusal) {
    testsupport::TempDir folder;
    testsupport::WriteFile(folder / "empty.png", "");
    testsupport::WriteFile(folder / "notes.txt", "scanned on Monday");
    Bytes8 bitmap = {'B', 'M'};
    bitmap.resize(54, 0);
    bitmap[14] = 40, bitmap[18] = 4, bitmap[22] = 4, bitmap[26] = 1, bitmap[28] = 8;  // 4 x 4, 8 bits a pixel
    testsupport::WriteFile(folder / "gray.bmp", std::string(bitmap.begin(), bitmap.end()));
    struct Case {
        const char* name;
        std::errc error;    // std::errc{}: a refusal
        const char* line;   // a part of the refusal's line
    } const table[] = {{"missing.jpg", std::errc::no_such_file_or_directory, ""},
                       {".", std::errc::is_a_directory, ""},
                       {"empty.png", std::errc{}, "an empty file"},
                       {"notes.txt", std::errc{}, "not a JPEG, PNG, TIFF or BMP file"},
                       {"gray.bmp", std::errc{}, "BMP file of 8 bits a pixel: only 24-bit bitmaps are read"}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        try {
            PageImage page;
            OpenPageReader(folder / c.name)->Read(0, page);
            ADD_FAILURE() << "read";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), c.error) << error.what();
        } catch (const PageRefused& refused) {
            EXPECT_EQ(c.error, std::errc{});
            EXPECT_NE(std::string(refused.what()).find(c.line), std::string::npos) << refused.what();
        }
    }
}

// Whole files that make the image libraries warn (a missing end marker, data
// an arithmetic encoder left out, padding, fields a page does without) are
// read as the reference decodes them.
TEST(PageReaders, WholeFilesTheLibrariesWarnAboutAreRead) {
    for (const WholeCase& c : WarnedButWholeTable()) {
        SCOPED_TRACE(c.name);
        PageImage page;
        try {
            OpenPageReaderFromMemory(c.file)->Read(0, page);
        } catch (const PageRefused& refused) {
            ADD_FAILURE() << "refused: " << refused.what();
            continue;
        }
        ASSERT_EQ(page.width, c.expected.width);
        ASSERT_EQ(page.height, c.expected.height);
        EXPECT_TRUE(page.samples == c.expected.samples);
    }
}

// A multi-page file's pages in any order: each read gives its own page,
// whether it is the next one, the same again or a jump.
TEST(PageReaders, TiffPagesReadInAnyOrderAreTheirOwn) {
    const std::vector<TiffPage> pages = NumberedPages(7, 3);
    const Bytes file = EncodeTiff(pages);
    struct Case {
        const char* name;
        std::vector<int> order;
    } const table[] = {{"in-order", {0, 1, 2, 3, 4, 5, 6}},
                       {"the-same-again", {0, 0, 1, 1, 6, 6}},
                       {"backwards", {6, 5, 4, 3, 2, 1, 0}},
                       {"jumps-then-on", {3, 4, 1, 2, 6, 0, 5}}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        const auto reader = OpenPageReaderFromMemory(file);
        for (int index : c.order) {
            PageImage page;
            reader->Read(index, page);
            EXPECT_TRUE(page.samples == pages[std::size_t(index)].picture.samples) << "page " << index;
        }
    }
}

// Readers on several threads at once: each gets its own pixels and its own
// library messages.
TEST(PageReaders, ReadersOnSeveralThreadsKeepTheirOwnResults) {
    const Picture crop = DemoCrop(0, 0, 64, 48);
    const std::vector<std::uint8_t> good[] = {EncodeJpeg(crop), EncodePng(crop.width, crop.height, crop.samples, {}),
                                              EncodeTiff({{.picture = crop, .compression = COMPRESSION_LZW}})};
    const std::vector<std::uint8_t> goodTiff = good[2];
    const std::vector<std::uint8_t> bad[] = {{good[0].begin(), good[0].begin() + 300},
                                             {good[1].begin(), good[1].begin() + 300},
                                             {goodTiff.begin(), goodTiff.begin() + goodTiff.size() / 2}};
    std::vector<PageImage> expected(3);
    std::vector<std::string> refusals(3);
    for (int f = 0; f < 3; ++f) {
        OpenPageReaderFromMemory(good[f])->Read(0, expected[f]);
        try {
            PageImage page;
            OpenPageReaderFromMemory(bad[f])->Read(0, page);
        } catch (const PageRefused& refused) {
            refusals[f] = refused.what();
        }
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            const int f = t % 3;
            for (int round = 0; round < 20; ++round) {
                PageImage page;
                OpenPageReaderFromMemory(good[f])->Read(0, page);
                if (page.samples != expected[f].samples) ++mismatches;
                try {
                    OpenPageReaderFromMemory(bad[f])->Read(0, page);
                    ++mismatches;
                } catch (const PageRefused& refused) {
                    if (refused.what() != refusals[f]) ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, 0);
}

// Readers opened ahead, as for counting the pages of a run, hold no open file
// and read the file when a page is read.
TEST(PageReaders, AReaderOpenedAheadHoldsNoFileUntilRead) {
    testsupport::TempDir folder;
    const Picture crop = DemoCrop(0, 0, 40, 30);
    const std::vector<std::uint8_t> files[] = {EncodeJpeg(crop), EncodePng(crop.width, crop.height, crop.samples, {}),
                                               EncodeTiff({{.picture = crop}, {.picture = crop}})};
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{});
    };
    const auto before = openFiles();
    std::vector<std::unique_ptr<PageReader>> readers;
    for (int i = 0; i < 3; ++i) {
        const std::string path = folder / std::to_string(i);
        testsupport::WriteFile(path, std::string(files[i].begin(), files[i].end()));
        readers.push_back(OpenPageReader(path));
    }
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(readers[2]->PageCount(), 2);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        std::filesystem::remove(folder / std::to_string(i));
        PageImage page;
        try {
            readers[i]->Read(0, page);
            ADD_FAILURE() << "read a removed file";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
        }
    }
}

}  // namespace
