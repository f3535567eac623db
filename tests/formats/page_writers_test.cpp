// The writers: each format decodes back to the page with its resolution,
// clamped to what the format holds; the PNG writer's files decode with libpng;
// TIFF holds many pages; the bitmap is the classic tool's file byte for byte;
// a failing or abandoned write leaves nothing.
#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <random>
#include <system_error>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "formats/PageEncoding.h"
#include "formats/PageReader.h"
#include "formats/PageWriter.h"
#include "library/whiten.h"
#include "support/temp_dir.h"
#include "tests/formats/format_files.h"
#include "whiten/WhitenPage.h"

namespace {

using namespace formattest;

// A gray page held with `padding` bytes after each row.
struct HeldPage {
    std::vector<std::uint8_t> bytes;
    GrayImage image;
};
HeldPage Held(const Picture& gray, int padding, double dpi) {
    HeldPage held;
    const std::ptrdiff_t stride = gray.width + padding;
    held.bytes.assign(stride * gray.height, 0xEE);
    for (int y = 0; y < gray.height; ++y) std::memcpy(&held.bytes[y * stride], gray.Row(y), gray.width);
    held.image = {held.bytes.data(), gray.width, gray.height, stride, dpi, dpi};
    return held;
}

void Write(const std::string& path, OutputFormat format, const std::vector<GrayImage>& pages, int quality = 90) {
    const auto writer = CreatePageWriter(path, format, {quality});
    for (const GrayImage& page : pages) writer->Add(page);
    writer->Commit();
}

int LargestDifference(const std::vector<std::uint8_t>& a, const Picture& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b.samples[i])));
    return worst;
}

TEST(PageWriters, EachFormatDecodesBackWithItsResolution) {
    testsupport::TempDir folder;
    const Picture gray = Gray(DemoCrop());
    const HeldPage held = Held(gray, 5, 300);
    struct Case {
        const char* name;
        OutputFormat format;
        int quality;
        int tolerance;
        double dpi;  // as read back; the classic bitmap states none
    } const table[] = {{"page.png", OutputFormat::Png, 90, 0, 299.9994}, {"page.tif", OutputFormat::Tiff, 90, 0, 300},
                       {"page.jpg", OutputFormat::Jpeg, 100, 2, 300},    {"page-q50.jpg", OutputFormat::Jpeg, 50, 64, 300},
                       {"page.bmp", OutputFormat::Bmp, 90, 0, 0}};
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        Write(folder / c.name, c.format, {held.image}, c.quality);
        const auto reader = OpenPageReader(folder / c.name);
        ASSERT_EQ(reader->PageCount(), 1);
        PageImage page;
        reader->Read(0, page);
        ASSERT_EQ(page.width, gray.width);
        ASSERT_EQ(page.height, gray.height);
        std::vector<std::uint8_t> levels(page.samples.begin(), page.samples.end());
        if (page.channels == 3) {
            for (std::size_t i = 0; i < gray.samples.size(); ++i) levels[i] = page.samples[3 * i];
            levels.resize(gray.samples.size());
        }
        EXPECT_LE(LargestDifference(levels, gray), c.tolerance);
        EXPECT_NEAR(page.dpiX, c.dpi, 0.001);
        EXPECT_NEAR(page.dpiY, c.dpi, 0.001);
    }
    EXPECT_LT(3 * std::filesystem::file_size(folder / "page-q50.jpg"), std::filesystem::file_size(folder / "page.jpg"))
        << "the quality is the writer's";
}

// The file's pixels as libpng decodes them, gray, top row first; empty when it refuses the file.
std::vector<std::uint8_t> LibpngPixels(const std::string& path, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_GRAY;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

// The chunk types of a PNG file in order, walked by their lengths.
std::vector<std::string> ChunkTypes(const std::string& file) {
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        std::size_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<std::uint8_t>(file[at + i]);
        types.push_back(file.substr(at + 4, 4));
        at += 12 + length;
    }
    return types;
}

// The writer's own chunks and compressed rows decode, with libpng, to exactly
// the page, whatever its shape, row padding, filter or level.
TEST(PageWriters, APngDecodesWithLibpngToThePageItself) {
    testsupport::TempDir folder;
    Picture noise{1400, 1000, 1, std::vector<std::uint8_t>(1400 * 1000)};  // beyond one IDAT chunk
    std::mt19937 random(11);
    for (std::uint8_t& v : noise.samples) v = static_cast<std::uint8_t>(random());
    const Picture demo = Gray(DemoCrop());
    const Picture flat{300, 200, 1, std::vector<std::uint8_t>(300 * 200, 255)};
    using formats::PngFilter;
    struct Case {
        const char* name;
        Picture page;
        int padding;
        formats::PngSettings settings;
    } const table[] = {
        {"one pixel", Gray(DemoCrop(0, 0, 1, 1)), 0, formats::ChosenPngSettings()},
        {"a column", Gray(DemoCrop(0, 0, 1, 300)), 3, formats::ChosenPngSettings()},
        {"a row", Gray(DemoCrop(0, 0, 700, 1)), 0, formats::ChosenPngSettings()},
        {"padded rows", demo, 5, formats::ChosenPngSettings()},
        {"flat", flat, 0, formats::ChosenPngSettings()},
        {"noise, several IDAT chunks", noise, 1, formats::ChosenPngSettings()},
        {"filter None", demo, 1, {1, PngFilter::None}},
        {"filter Sub", demo, 1, {1, PngFilter::Sub}},
        {"filter Average", demo, 1, {1, PngFilter::Average}},
        {"filter Paeth", demo, 1, {1, PngFilter::Paeth}},
        {"level 0, noise", noise, 0, {0, PngFilter::Up}},
        {"level 2", demo, 0, {2, PngFilter::Paeth}},
        {"level 3", demo, 0, {3, PngFilter::Sub}},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        const HeldPage held = Held(c.page, c.padding, 0);
        const std::string path = folder / "page.png";
        const auto writer = formats::CreatePngWriter(path, c.settings);
        writer->Add(held.image);
        writer->Commit();
        int width = 0, height = 0;
        const std::vector<std::uint8_t> pixels = LibpngPixels(path, width, height);
        EXPECT_EQ(width, c.page.width);
        EXPECT_EQ(height, c.page.height);
        EXPECT_TRUE(pixels == c.page.samples);
        const std::vector<std::string> chunks = ChunkTypes(testsupport::ReadFile(path));
        ASSERT_GE(chunks.size(), 3u);
        EXPECT_EQ(chunks.front(), "IHDR");
        EXPECT_EQ(chunks.back(), "IEND");
        const auto idat = std::count(chunks.begin(), chunks.end(), "IDAT");
        EXPECT_EQ(idat + 2, static_cast<long>(chunks.size())) << "IHDR, the IDAT chunks, IEND";
        if (c.page.samples == noise.samples) {
            EXPECT_GT(idat, 1);
        }
    }
}

// A resolution the format cannot hold is clamped to its nearest: PNG 1 ..
// 2^31 - 1 pixels a metre, TIFF 2^-31 .. 2^31 dots an inch, JPEG 1 .. 65535;
// none is stated for a side that is not positive (NaN among them).
TEST(PageWriters, AResolutionIsClampedToWhatTheFormatHolds) {
    testsupport::TempDir folder;
    const HeldPage held = Held(Gray(DemoCrop(0, 0, 16, 16)), 0, 0);
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double pngLeast = 0.0254, pngMost = 2147483647 * 0.0254;
    const double tiffLeast = std::ldexp(1.0, -31), tiffMost = std::ldexp(1.0, 31);
    struct Case {
        const char* name;
        OutputFormat format;
        double dpiX, dpiY;
        double readX, readY;  // 0: none stated
    } const table[] = {
        {"png huge, 300", OutputFormat::Png, 1.09e10, 300, pngMost, 299.9994},
        {"png infinite, tiny", OutputFormat::Png, inf, 1e-9, pngMost, pngLeast},
        {"png NaN", OutputFormat::Png, nan, 300, 0, 0},
        {"tiff huge, 300", OutputFormat::Tiff, 1.09e10, 300, tiffMost, 300},
        {"tiff infinite, tiny", OutputFormat::Tiff, inf, 2.3e-10, tiffMost, tiffLeast},
        {"tiff zero", OutputFormat::Tiff, 300, 0, 0, 0},
        {"jpeg huge, 300", OutputFormat::Jpeg, 1.09e10, 300, 65535, 300},
        {"jpeg infinite, tiny", OutputFormat::Jpeg, inf, 1e-9, 65535, 1},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        GrayImage page = held.image;
        page.dpiX = c.dpiX;
        page.dpiY = c.dpiY;
        Write(folder / c.name, c.format, {page});
        PageImage read;
        OpenPageReader(folder / c.name)->Read(0, read);
        EXPECT_NEAR(read.dpiX, c.readX, 1e-6 * c.readX);
        EXPECT_NEAR(read.dpiY, c.readY, 1e-6 * c.readY);
    }
}

TEST(PageWriters, ATiffFileHoldsEveryPageInOrder) {
    testsupport::TempDir folder;
    const Picture pages[] = {Gray(DemoCrop()), Gray(DemoCrop(10, 20, 300, 90)), Gray(DemoCrop(500, 900, 7, 300))};
    std::vector<HeldPage> held;
    for (int i = 0; i < 3; ++i) held.push_back(Held(pages[i], i, 100.0 * (i + 1)));
    Write(folder / "book.tif", OutputFormat::Tiff, {held[0].image, held[1].image, held[2].image});
    const auto reader = OpenPageReader(folder / "book.tif");
    ASSERT_EQ(reader->PageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        PageImage page;
        reader->Read(i, page);
        ASSERT_EQ(page.width, pages[i].width);
        EXPECT_TRUE(page.samples == pages[i].samples);
        EXPECT_EQ(page.dpiX, 100.0 * (i + 1));
    }
}

TEST(PageWriters, TheBitmapIsTheClassicToolsOutputByteForByte) {
    testsupport::TempDir folder;
    const Picture rgb = DemoCrop();
    CBmp24_<0> bitmap;
    bitmap.Create(rgb.width, rgb.height);
    for (int y = 0; y < rgb.height; ++y) std::memcpy(bitmap.Row(rgb.height - 1 - y), rgb.Row(y), 3 * rgb.width);
    bitmap.Save(folder / "in.bmp");
    WhitenPage(bitmap);
    bitmap.Save(folder / "classic.bmp");

    PageImage page;
    OpenPageReader(folder / "in.bmp")->Read(0, page);
    const whiten::GrayPage gray =
        whiten::Whiten({page.samples.data(), page.width, page.height, std::ptrdiff_t(page.width) * 3, 3});
    Write(folder / "pages.bmp", OutputFormat::Bmp, {{gray.bytes.data(), gray.width, gray.height, gray.width, 300, 300}});
    EXPECT_TRUE(testsupport::ReadFile(folder / "pages.bmp") == testsupport::ReadFile(folder / "classic.bmp"));
}

// Writes that fail leave the folder as it was: the file cannot be created,
// the file size limit stops it half-way (EFBIG), the writer is dropped unfinished.
TEST(PageWriters, AFailedOrAbandonedWriteLeavesNothing) {
    Picture noise{640, 480, 1, std::vector<std::uint8_t>(640 * 480)};
    std::mt19937 random(7);
    for (std::uint8_t& v : noise.samples) v = static_cast<std::uint8_t>(random());
    const HeldPage held = Held(noise, 0, 300);
    std::signal(SIGXFSZ, SIG_IGN);
    for (OutputFormat format : {OutputFormat::Png, OutputFormat::Tiff, OutputFormat::Jpeg, OutputFormat::Bmp}) {
        SCOPED_TRACE(static_cast<int>(format));
        testsupport::TempDir folder;
        try {
            Write(folder / "missing/page", format, {held.image});
            ADD_FAILURE() << "written into a missing folder";
        } catch (const std::system_error& error) {
            EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory) << error.what();
        }

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 16 << 10;
        setrlimit(RLIMIT_FSIZE, &small);
        std::string reason;
        try {
            Write(folder / "page", format, {held.image});
        } catch (const std::system_error& error) {
            reason = error.what();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_NE(reason.find("can't write " + folder / "page" + ": File too large"), std::string::npos) << reason;

        CreatePageWriter(folder / "dropped", format)->Add(held.image);
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    }
    std::signal(SIGXFSZ, SIG_DFL);
}

TEST(PageWriters, MisuseIsRefused) {
    testsupport::TempDir folder;
    const Picture gray = Gray(DemoCrop(0, 0, 8, 8));
    const HeldPage held = Held(gray, 0, 0);
    EXPECT_THROW(CreatePageWriter(folder / "q.jpg", OutputFormat::Jpeg, {0}), std::invalid_argument);
    EXPECT_THROW(CreatePageWriter(folder / "q.jpg", OutputFormat::Jpeg, {101}), std::invalid_argument);
    for (OutputFormat format : {OutputFormat::Png, OutputFormat::Jpeg, OutputFormat::Bmp}) {
        const auto writer = CreatePageWriter(folder / "two", format);
        EXPECT_THROW(writer->Commit(), std::logic_error) << "no page yet";
        writer->Add(held.image);
        EXPECT_THROW(writer->Add(held.image), std::logic_error);
    }
    GrayImage shortStride = held.image;
    shortStride.stride = 7;
    EXPECT_THROW(CreatePageWriter(folder / "s.png", OutputFormat::Png)->Add(shortStride), std::invalid_argument);
    std::vector<std::uint8_t> wide(70000, 128);
    const auto jpeg = CreatePageWriter(folder / "w.jpg", OutputFormat::Jpeg);
    EXPECT_THROW(jpeg->Add({wide.data(), 70000, 1, 70000}), PageRefused);
    jpeg->Add(held.image);  // the refused page was not taken
    jpeg->Commit();
    EXPECT_TRUE(std::filesystem::exists(folder / "w.jpg"));
}

}  // namespace
