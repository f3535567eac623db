// CBmp24_::Save: every failure of the file writer leaves no partial file behind,
// keeps an earlier output intact and reports the path and the system's reason.
#include "image/BmpFileWriter.h"
#include "image/CBmp24.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#if !defined(_WIN32)
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Fails one chosen step with `error`; writes fail once `writeBudget` bytes have
// gone through. `named` keeps the file named from the start, as on file systems
// without unnamed files.
class FailingWriter : public BmpFileWriter {
public:
    enum class Fail { Create, Write, Commit };
    FailingWriter(Fail fail, std::size_t writeBudget, bool named, int error)
        : fail_(fail), budget_(writeBudget), named_(named), error_(error, std::generic_category()) {}

    std::error_code Create(platform::OutputFile& file, const std::string& path) override {
        return fail_ == Fail::Create ? error_ : file.Create(path, !named_);
    }
    std::error_code Write(platform::OutputFile& file, const void* data, std::size_t size) override {
        if (fail_ == Fail::Write && size > budget_) {
            file.Write(data, budget_);  // part of it reaches the file
            return error_;
        }
        budget_ -= size;
        return file.Write(data, size);
    }
    std::error_code Commit(platform::OutputFile& file) override {
        return fail_ == Fail::Commit ? error_ : file.Commit();
    }

private:
    Fail fail_;
    std::size_t budget_;
    bool named_;
    std::error_code error_;
};

// The standard writer, except that files are named from the start.
class NamedFileWriter : public BmpFileWriter {
    std::error_code Create(platform::OutputFile& file, const std::string& path) override {
        return file.Create(path, false);
    }
};

std::size_t FilesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

std::string SaveError(CBmp24_<0>& image, const std::string& path) {
    try {
        image.Save(path);
    } catch (const std::string& message) {
        return message;
    }
    return "no error";
}

TEST(Bmp24Save, FailuresLeaveNoPartialFileAndKeepTheEarlierOutput) {
    using Fail = FailingWriter::Fail;
    struct Case { const char* name; Fail fail; std::size_t budget; bool named; int error; const char* reason; };
    const Case cases[] = {
        {"create fails", Fail::Create, 0, false, EACCES, "Permission denied"},
        {"header write fails", Fail::Write, 10, false, ENOSPC, "No space left on device"},
        {"write fails half way through the rows", Fail::Write, 54 + 3 * 100, false, ENOSPC, "No space left on device"},
        {"named file, write fails half way", Fail::Write, 54 + 3 * 100, true, ENOSPC, "No space left on device"},
        {"commit fails", Fail::Commit, 0, false, ENOSPC, "No space left on device"},
        {"named file, commit fails", Fail::Commit, 0, true, EACCES, "Permission denied"},
    };
    CBmp24_<0> image(CBmp24_<0>::empty);
    image.Create(33, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string out = dir / "page.bmp";
        WriteFile(out, "earlier output");
        FailingWriter writer(c.fail, c.budget, c.named, c.error);
        {
            ScopedBmpFileWriter scoped(writer);
            EXPECT_EQ(SaveError(image, out), "CBmp24_::Save : can't write " + out + ": " + c.reason);
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
    // The permissions a plain new file gets, also where the file starts unnamed.
    std::ofstream(dir / "plain").put('x');
    EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::status(dir / "plain").permissions());

    const std::string nowhere = dir / "missing/page.bmp";
    const std::string message = SaveError(image, nowhere);
    const std::string expected = "CBmp24_::Save : can't write " + nowhere + ": ";
    EXPECT_EQ(message.substr(0, expected.size()), expected);
#if !defined(_WIN32)
    EXPECT_EQ(message, expected + "No such file or directory");
#endif
}

#if !defined(_WIN32)
// A file system that fills up during the save (a 5 MiB tmpfs, mounted by the
// superuser) gives the system's reason and leaves the earlier output alone.
TEST(Bmp24Save, AFullFileSystemGivesItsReasonAndLeavesNothingBehind) {
    TempDir dir;
    const std::string mount = dir / "small";
    std::filesystem::create_directory(mount);
    if (geteuid() != 0 || ::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=5m") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs the superuser";
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
        const std::string out = mount + "/page.bmp";
        WriteFile(out, "earlier output");
        CBmp24_<0> image(CBmp24_<0>::empty);
        image.Create(1800, 1000);  // 5.4 MB
        BmpFileWriter standard;
        NamedFileWriter namedFile;
        ScopedBmpFileWriter scoped(named ? namedFile : standard);
        EXPECT_EQ(SaveError(image, out), "CBmp24_::Save : can't write " + out + ": No space left on device");
        EXPECT_EQ(ReadFile(out), "earlier output");
        EXPECT_EQ(FilesIn(mount), 1u);
    }
    ::umount2(mount.c_str(), MNT_DETACH);
}
#endif

}  // namespace
