// End-to-end runs of the built whiten-pages in temporary folders: the command
// line, a run over good and bad files, output names, outputs that would
// replace inputs, failures that stop the run, and how progress is shown.
// BMP outputs are compared with the classic tool's golden outputs byte for byte.
#include "pages/page_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteFile;

RunResult RunPages(const std::vector<std::string>& args, const TempDir& dir,
                   const testsupport::RunOptions& options = {}) {
    return RunProgram(WHITEN_PAGES_BINARY, args, dir.Path().string(), options);
}

std::set<std::string> FilesUnder(const fs::path& folder) {
    std::set<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(WhitenPagesBinary, CommandLine) {
    struct Case { const char* name; std::vector<std::string> args; int status; std::string outStart; std::string errPart; };
    const Case cases[] = {
        {"help", {"--help"}, 0, "Usage: whiten-pages [OPTIONS] FILE...\n", ""},
        {"help among files", {"a.bmp", "-h"}, 0, "Usage: whiten-pages", ""},
        {"version", {"--version"}, 0, "whiten-pages ", ""},
        {"no file", {}, 2, "", "whiten-pages: no input file given\n"},
        {"unknown long option", {"--bogus", "a.bmp"}, 2, "", "unknown option --bogus\n"},
        {"unknown short option in a cluster", {"-qx", "a.bmp"}, 2, "", "unknown option -x\n"},
        {"missing value", {"a.bmp", "--jobs"}, 2, "", "option --jobs needs a value\n"},
        {"jobs not a number", {"-j", "2x", "a.bmp"}, 2, "", "-j/--jobs takes a whole number from 1 to 256, not '2x'"},
        {"jobs zero", {"--jobs=0", "a.bmp"}, 2, "", "not '0'"},
        {"quality out of range", {"--quality", "101", "a.bmp"}, 2, "", "--quality takes a whole number from 1 to 100"},
        {"unknown format", {"-f", "gif", "a.bmp"}, 2, "", "--format takes png, tiff, jpeg or bmp, not 'gif'"},
        {"empty output folder", {"-o", "", "a.bmp"}, 2, "", "-o/--output needs a folder name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", Golden("tiny_3x2.bmp"));
        const auto run = RunPages(c.args, dir);
        EXPECT_EQ(run.exitStatus, c.status);
        EXPECT_EQ(run.out.substr(0, c.outStart.size()), c.outStart);
        if (c.status == 2) {
            EXPECT_EQ(run.out, "");
        }
        EXPECT_TRUE(c.errPart.empty() ? run.err.empty() : Contains(run.err, c.errPart)) << run.err;
        EXPECT_FALSE(fs::exists(dir / "Result"));
    }
}

TEST(WhitenPagesBinary, BadFilesAreNamedAndTheGoodPagesWhitened) {
    TempDir dir;
    fs::create_directory(dir / "scans");
    const std::vector<std::string> good = {"px_1x1", "text_257x129", "synth_600x800", "row_300x1"};
    for (const auto& name : good) WriteFile(dir / ("scans/" + name + ".bmp"), Golden(name + ".bmp"));
    WriteFile(dir / "scans/corrupt.bmp", Golden("text_257x129.bmp").substr(0, 2000));
    fs::create_symlink("gone.bmp", dir / "scans/unreadable.bmp");  // unreadable for root too
    std::vector<std::string> args = {"--format", "bmp", "-j", "2"};
    for (const auto& entry : fs::directory_iterator(dir / "scans")) args.push_back("scans/" + entry.path().filename().string());
    const auto run = RunPages(args, dir);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "");
    for (const auto& name : good) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Contains(run.out, "scans/" + name + ".bmp -> scans/Result/" + name + ".bmp\n"));
        EXPECT_EQ(ReadFile(dir / ("scans/Result/" + name + ".bmp")), Golden(name + ".out.bmp"));
    }
    EXPECT_TRUE(Contains(run.out, "scans/corrupt.bmp: refused: broken BMP file: pixel data is truncated\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "scans/unreadable.bmp: failed: ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "No such file or directory\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "whiten-pages: 4 pages whitened, 1 refused, 1 failed in ")) << run.out;
    EXPECT_EQ(FilesUnder(dir / "scans/Result").size(), good.size());
}

TEST(WhitenPagesBinary, OutputNames) {
    struct Case { const char* name; std::vector<std::string> args; std::set<std::string> files; };
    const Case cases[] = {
        {"PNG beside the input", {"in/a.bmp"}, {"in/Result/a.png"}},
        {"into -o, folders made", {"-o", "out/deep", "in/a.bmp"}, {"out/deep/a.png"}},
        {"tiff", {"--format=tiff", "in/a.bmp"}, {"in/Result/a.tif"}},
        {"jpeg", {"-f", "jpeg", "--quality", "75", "in/a.bmp"}, {"in/Result/a.jpg"}},
        {"a bare name", {"-f", "bmp", "top.bmp"}, {"Result/top.bmp"}},
        {"multi-page into one TIFF", {"in/book.tif"}, {"in/Result/book.tif"}},
        {"multi-page as PNG pages", {"-f", "png", "in/book.tif"},
         {"in/Result/book-0001.png", "in/Result/book-0002.png", "in/Result/book-0003.png"}},
        {"multi-page as BMP pages into -o", {"-f", "bmp", "-o", "out", "in/book.tif"},
         {"out/book-0001.bmp", "out/book-0002.bmp", "out/book-0003.bmp"}},
    };
    const std::vector<std::string> bookPages = {"text_257x129", "random_33x17", "synth_600x800"};
    std::vector<std::string> bitmaps;
    for (const auto& name : bookPages) bitmaps.push_back(Golden(name + ".bmp"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "in");
        WriteFile(dir / "in/a.bmp", Golden("text_257x129.bmp"));
        WriteFile(dir / "top.bmp", Golden("tiny_3x2.bmp"));
        WriteFile(dir / "in/book.tif", pagetest::MultiPageTiff(bitmaps));
        const auto run = RunPages(c.args, dir);
        EXPECT_EQ(run.exitStatus, 0) << run.out << run.err;
        std::set<std::string> made;
        for (const auto& f : FilesUnder(dir.Path())) if (f.find("Result/") != std::string::npos || f.rfind("out/", 0) == 0) made.insert(f);
        EXPECT_EQ(made, c.files);
        for (const auto& file : c.files) {
            const std::string bytes = ReadFile(dir / file);
            if (file.find("book.tif") != std::string::npos) {
                EXPECT_EQ(pagetest::TiffPageCount(bytes), 3);
            }
            const auto dash = file.find("book-000");
            if (dash != std::string::npos && file.substr(file.size() - 4) == ".bmp") {
                const int page = file[dash + 8] - '1';
                EXPECT_EQ(bytes, Golden(bookPages[static_cast<std::size_t>(page)] + ".out.bmp")) << file;
            }
        }
    }
}

TEST(WhitenPagesBinary, AnOutputNeverReplacesAnInput) {
    struct Case { const char* name; std::vector<std::string> args; std::string refusedLine; int whitened; };
    const Case cases[] = {
        {"the same path", {"-o", ".", "-f", "bmp", "a.bmp"}, "a.bmp: refused: its output ./a.bmp would replace an input\n", 0},
        {"through a link to the folder", {"-o", "here", "-f", "bmp", "a.bmp"},
         "a.bmp: refused: its output here/a.bmp would replace an input\n", 0},
        {"a hard link", {"-o", "linked", "-f", "bmp", "a.bmp"},
         "a.bmp: refused: its output linked/a.bmp would replace an input\n", 0},
        {"another input", {"-o", ".", "b.jpeg", "b.png"},
         "b.jpeg: refused: its output ./b.png would replace an input\n", 0},
        {"another input's output", {"a.bmp", "a.jpeg"},
         "a.jpeg: refused: its output ./Result/a.png is already the output of a.bmp\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string page = Golden("tiny_3x2.bmp");
        for (const char* name : {"a.bmp", "a.jpeg", "b.jpeg", "b.png"}) WriteFile(dir / name, page);  // picked by content
        fs::create_directory_symlink(".", dir / "here");
        fs::create_directory(dir / "linked");
        fs::create_hard_link(dir / "a.bmp", dir / "linked/a.bmp");
        const auto run = RunPages(c.args, dir);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_TRUE(Contains(run.out, c.refusedLine)) << run.out;
        EXPECT_TRUE(Contains(run.out, std::to_string(c.whitened) + " page")) << run.out;
        for (const char* name : {"a.bmp", "a.jpeg", "b.jpeg", "b.png", "linked/a.bmp"}) EXPECT_EQ(ReadFile(dir / name), page) << name;
    }
}

// Runs in a private mount namespace with `mount` mounted on the folder "disk"
// (whose contents are copied to "kept" afterwards); false where that is not allowed.
bool MountNamespaceWorks() {
    TempDir dir;
    return RunProgram("/usr/bin/unshare", {"-m", "true"}, dir.Path().string()).exitStatus == 0;
}

TEST(WhitenPagesBinary, FailuresThatNoPageEscapesStopTheRun) {
    if (!MountNamespaceWorks()) GTEST_SKIP() << "no private mount namespace here (unshare -m needs root)";
    struct Case { const char* name; std::string mount; std::vector<std::string> args; std::string stopLine; int kept; };
    // Each output of the 600 x 800 page is a 1.44 MB bitmap: three fit in 5 MiB.
    const Case cases[] = {
        {"disk full", "mount -t tmpfs -o size=5m tmpfs disk", {"-j", "1", "-f", "bmp", "-o", "disk"},
         "No space left on device\n", 3},
        {"disk full, two jobs", "mount -t tmpfs -o size=5m tmpfs disk", {"-j", "2", "-f", "bmp", "-o", "disk"},
         "No space left on device\n", 3},
        {"read-only", "mount -t tmpfs -o ro,size=5m tmpfs disk", {"-f", "bmp", "-o", "disk"},
         "Read-only file system\n", 0},
        {"folder cannot be made", "true", {"-f", "bmp", "-o", "blocker/out"},
         "whiten-pages: stopped: cannot make the output folder blocker/out: Not a directory\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directories(dir / "disk");
        fs::create_directories(dir / "kept");
        WriteFile(dir / "blocker", "a file where a folder should be");
        std::vector<std::string> args = {"-m", "sh", "-c", c.mount + " && \"$0\" \"$@\"; s=$?; cp -a disk/. kept/; exit $s",
                                         WHITEN_PAGES_BINARY};
        args.insert(args.end(), c.args.begin(), c.args.end());
        for (int i = 1; i <= 8; ++i) {
            const std::string name = "p" + std::to_string(i) + ".bmp";
            WriteFile(dir / name, Golden("synth_600x800.bmp"));
            args.push_back(name);
        }
        const auto run = RunProgram("/usr/bin/unshare", args, dir.Path().string());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_TRUE(Contains(run.err, "whiten-pages: stopped: ")) << run.err;
        EXPECT_TRUE(Contains(run.err, c.stopLine)) << run.err;
        EXPECT_TRUE(Contains(run.out, "not done")) << run.out;
        const auto kept = FilesUnder(dir / "kept");
        EXPECT_EQ(static_cast<int>(kept.size()), c.kept);
        for (const auto& file : kept) EXPECT_EQ(ReadFile(dir / ("kept/" + file)), Golden("synth_600x800.out.bmp")) << file;
    }
}

TEST(WhitenPagesBinary, ProgressByWhereItGoes) {
    struct Case { const char* name; bool terminal; std::vector<std::string> options; std::string outPart; std::string errPart; };
    const Case cases[] = {
        {"lines on a pipe", false, {}, "a.bmp -> ./Result/a.png\n", "bad.bmp: refused"},
        {"bar on a terminal", true, {}, "", "2/2 pages"},
        {"quiet on a terminal", true, {"-q"}, "", "bad.bmp: refused: "},
        {"quiet on a pipe", false, {"--quiet"}, "", "bad.bmp: refused: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", Golden("text_257x129.bmp"));
        WriteFile(dir / "bad.bmp", "BM and nothing more");
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"a.bmp", "bad.bmp"});
        const auto run = RunPages(args, dir, {{}, c.terminal});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_TRUE(c.outPart.empty() ? run.out.empty() : Contains(run.out, c.outPart)) << run.out;
        const std::string& problems = !c.terminal && c.options.empty() ? run.out : run.err;
        EXPECT_TRUE(Contains(problems, c.errPart)) << problems;
        const bool quiet = !c.options.empty();
        EXPECT_EQ(Contains(run.out + run.err, "whiten-pages: 1 page whitened, 1 refused, 0 failed in "), !quiet);
        EXPECT_EQ(Contains(run.err, "\r["), c.terminal && !quiet);  // the bar, drawn in place
        EXPECT_TRUE(fs::exists(dir / "Result/a.png"));
    }
}

}  // namespace
