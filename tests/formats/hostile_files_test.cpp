// Broken, truncated and hostile files: each is refused with one line, and no
// page storage near the size a header declares is ever taken.
#include <gtest/gtest.h>

#include "formats/PageReader.h"
#include "support/allocation_watch.h"
#include "tests/formats/damaged_files.h"

namespace {

using namespace formattest;

TEST(HostileFiles, EachIsRefusedWithItsReasonAndNoPageStorage) {
    testing::internal::CaptureStderr();
    for (const HostileCase& c : HostileTable()) {
        SCOPED_TRACE(c.name);
        std::string refusal;
        const std::size_t peak = testsupport::PeakBytesHeldBy([&] {
            try {
                const auto reader = OpenPageReaderFromMemory(c.file);
                for (int i = 0; i < reader->PageCount(); ++i) {
                    PageImage page;
                    reader->Read(i, page);
                }
            } catch (const PageRefused& refused) {
                refusal = refused.what();
            }
        });
        if (*c.reason != '\0') {
            EXPECT_NE(refusal.find(c.reason), std::string::npos) << "refused with: " << refusal;
        }
        EXPECT_EQ(refusal.find('\n'), std::string::npos);
        EXPECT_LT(peak, std::size_t{1} << 20) << "bytes held";
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the libraries' messages reached the terminal";
}

// libtiff's warnings are taken page by page: the page whose colour map cannot
// be read is refused, the pages around it are read, in order or not.
TEST(HostileFiles, APageThatLostDataIsRefusedAlone) {
    const std::vector<TiffPage> pages = NumberedPages(3, 4, {false, true, false});
    const Bytes file = WithTagValue(EncodeTiff(pages), 1, TIFFTAG_COLORMAP, 0x7FFF0000);
    for (const std::vector<int>& order : {std::vector<int>{0, 1, 2}, std::vector<int>{1, 2, 0}}) {
        const auto reader = OpenPageReaderFromMemory(file);
        for (int index : order) {
            SCOPED_TRACE("page " + std::to_string(index));
            PageImage page;
            if (index == 1) {
                EXPECT_THROW(reader->Read(index, page), PageRefused);
                continue;
            }
            reader->Read(index, page);
            EXPECT_TRUE(page.samples == pages[std::size_t(index)].picture.samples);
        }
    }
}

// The fuzzers' lowered pixel limit holds for every format.
TEST(HostileFiles, ALoweredPixelLimitRefusesLargerPages) {
    const Picture crop = DemoCrop(0, 0, 64, 64);
    const Bytes files[] = {EncodeJpeg(crop), EncodePng(crop.width, crop.height, crop.samples, {}),
                           EncodeTiff({{.picture = crop}})};
    for (const Bytes& file : files) {
        PageImage page;
        EXPECT_THROW(OpenPageReaderFromMemory(file, 64 * 63)->Read(0, page), PageRefused);
        EXPECT_NO_THROW(OpenPageReaderFromMemory(file, 64 * 64)->Read(0, page));
    }
}

}  // namespace
