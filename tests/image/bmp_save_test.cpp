// CBmp24_::Save: every failure of the file writer leaves no partial file behind,
// keeps an earlier output intact and reports the path.
#include "image/BmpFileWriter.h"
#include "image/CBmp24.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Fails one chosen operation; writes fail once `writeBudget` bytes have gone through.
class FailingWriter : public BmpFileWriter {
public:
    enum class Fail { Create, Write, Close, Replace };
    FailingWriter(Fail fail, std::size_t writeBudget) : fail_(fail), budget_(writeBudget) {}

    std::FILE* CreateNew(const std::string& path) override {
        return fail_ == Fail::Create ? nullptr : BmpFileWriter::CreateNew(path);
    }
    bool Write(std::FILE* file, const void* data, std::size_t size) override {
        if (fail_ == Fail::Write && size > budget_) {
            BmpFileWriter::Write(file, data, budget_);  // part of it reaches the file
            return false;
        }
        budget_ -= size;
        return BmpFileWriter::Write(file, data, size);
    }
    bool Close(std::FILE* file) override {
        const bool closed = BmpFileWriter::Close(file);
        return fail_ != Fail::Close && closed;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return fail_ != Fail::Replace && BmpFileWriter::Replace(from, to);
    }

private:
    Fail fail_;
    std::size_t budget_;
};

std::size_t FilesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

TEST(Bmp24Save, FailuresLeaveNoPartialFileAndKeepTheEarlierOutput) {
    using Fail = FailingWriter::Fail;
    struct Case { const char* name; Fail fail; std::size_t budget; };
    const Case cases[] = {
        {"create fails", Fail::Create, 0},
        {"header write fails", Fail::Write, 10},
        {"write fails half way through the rows", Fail::Write, 54 + 3 * 100},
        {"close fails", Fail::Close, 0},
        {"rename fails", Fail::Replace, 0},
    };
    CBmp24_<0> image(CBmp24_<0>::empty);
    image.Create(33, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string out = dir / "page.bmp";
        WriteFile(out, "earlier output");
        FailingWriter writer(c.fail, c.budget);
        {
            ScopedBmpFileWriter scoped(writer);
            try {
                image.Save(out);
                ADD_FAILURE() << "no error";
            } catch (const std::string& message) {
                EXPECT_EQ(message, "CBmp24_::Save : can't write " + out);
            }
        }
        EXPECT_EQ(ReadFile(out), "earlier output");
        EXPECT_EQ(FilesIn(dir.Path()), 1u);
    }
}

TEST(Bmp24Save, ReplacesAnEarlierOutputAndFailsIntoAMissingFolder) {
    TempDir dir;
    CBmp24_<0> image(CBmp24_<0>::empty);
    image.Create(2, 2);
    const std::string out = dir / "page.bmp";
    WriteFile(out, std::string(500, 'x'));
    image.Save(out);
    EXPECT_EQ(ReadFile(out).size(), 54u + 2 * 8);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);

    const std::string nowhere = dir / "missing/page.bmp";
    try {
        image.Save(nowhere);
        ADD_FAILURE() << "no error";
    } catch (const std::string& message) {
        EXPECT_EQ(message, "CBmp24_::Save : can't write " + nowhere);
    }
}

}  // namespace
