// End-to-end runs of the built whiten-pages in temporary folders: the command
// line, a run over good and bad files, output names, outputs that would
// replace inputs, failures that stop the run, and how progress is shown.
// BMP outputs are compared with the classic tool's golden outputs byte for byte.
#include "pages/page_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <sys/stat.h>
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

// The lines of standard output before the summary.
std::vector<std::string> PageLines(const std::string& out) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(out.substr(at, end - at));
    if (!lines.empty() && lines.back().rfind("whiten-pages: ", 0) == 0) lines.pop_back();
    return lines;
}

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
    struct Case { const char* name; std::string mount; std::vector<std::string> args; std::string stopLine; int fewestKept, mostKept; };
    // Each output of the 600 x 800 page is a 1.44 MB bitmap: three fit in 5 MiB.
    // With two jobs the third and fourth outputs grow side by side and may both
    // run out of room, so two or three complete pages are kept.
    const Case cases[] = {
        {"disk full", "mount -t tmpfs -o size=5m tmpfs disk", {"-j", "1", "-f", "bmp", "-o", "disk"},
         "No space left on device\n", 3, 3},
        {"disk full, two jobs", "mount -t tmpfs -o size=5m tmpfs disk", {"-j", "2", "-f", "bmp", "-o", "disk"},
         "No space left on device\n", 2, 3},
        {"read-only", "mount -t tmpfs -o ro,size=5m tmpfs disk", {"-f", "bmp", "-o", "disk"},
         "Read-only file system\n", 0, 0},
        {"folder cannot be made", "true", {"-f", "bmp", "-o", "blocker/out"},
         "whiten-pages: stopped: cannot make the output folder blocker/out: Not a directory\n", 0, 0},
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
        EXPECT_GE(static_cast<int>(kept.size()), c.fewestKept);
        EXPECT_LE(static_cast<int>(kept.size()), c.mostKept);
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

// A folder gives its pages by name; its output folders and its files that
// are no pages are passed over without a line, so that a rerun over phone/*
// (phone/Result among the names) ends with status 0.
TEST(WhitenPagesBinary, Folders) {
    struct Case { const char* name; std::vector<std::string> args; std::vector<std::string> lines; int status; };
    const Case cases[] = {
        {"a folder's pages, by name", {"phone"},
         {"phone/a.bmp -> phone/Result/a.bmp", "phone/b.bmp -> phone/Result/b.bmp"}, 0},
        {"a rerun over phone/*", {"phone/Result", "phone/b.bmp", "phone/notes.txt"},
         {"phone/b.bmp -> phone/Result/b.bmp", "phone/notes.txt: refused: not a JPEG, PNG, TIFF or BMP file"}, 1},
        {"a rerun over phone/* without the note", {"phone/Result", "phone/a.bmp"},
         {"phone/a.bmp -> phone/Result/a.bmp"}, 0},
        {"-r: sub-folders where they sort, their Result passed over", {"-r", "phone"},
         {"phone/a.bmp -> phone/Result/a.bmp", "phone/b.bmp -> phone/Result/b.bmp",
          "phone/out/x.bmp -> phone/out/Result/x.bmp", "phone/sub/c.bmp -> phone/sub/Result/c.bmp"}, 0},
        {"-o inside the folder: that one passed over, Result read", {"-r", "-o", "phone/out", "phone"},
         {"phone/Result/old.bmp -> phone/out/old.bmp", "phone/Result/sub/deep.bmp -> phone/out/deep.bmp",
          "phone/a.bmp -> phone/out/a.bmp", "phone/b.bmp -> phone/out/b.bmp",
          "phone/sub/Result/old.bmp: refused: its output phone/out/old.bmp is already the output of "
          "phone/Result/old.bmp",
          "phone/sub/c.bmp -> phone/out/c.bmp"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string page = Golden("tiny_3x2.bmp");
        for (const char* folder : {"phone/Result/sub", "phone/sub/Result", "phone/out"})
            fs::create_directories(dir / folder);
        for (const char* name : {"phone/b.bmp", "phone/a.bmp", "phone/sub/c.bmp", "phone/out/x.bmp",
                                 "phone/Result/old.bmp", "phone/Result/sub/deep.bmp", "phone/sub/Result/old.bmp"})
            WriteFile(dir / name, page);
        WriteFile(dir / "phone/notes.txt", "not a page");
        WriteFile(dir / "phone/empty.png", "");
        fs::create_symlink("sub", dir / "phone/link");  // a link to a folder inside a folder: not followed
        fs::create_symlink("gone.bmp", dir / "phone/dangling.bmp");
        ::mkfifo((dir / "phone/pipe.bmp").c_str(), 0600);
        std::vector<std::string> args = {"-j", "1", "-f", "bmp"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto run = RunPages(args, dir);
        EXPECT_EQ(run.exitStatus, c.status) << run.out << run.err;
        EXPECT_EQ(PageLines(run.out), c.lines) << run.out;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(ReadFile(dir / "phone/Result/old.bmp"), page);
    }
}

// Inputs that are no regular files are refused without being read, never
// waited on; the pages around them are whitened.
TEST(WhitenPagesBinary, InputsThatAreNoFilesAreRefusedAtOnce) {
    struct Case { const char* name; std::string input; std::string line; };
    const Case cases[] = {
        {"a named pipe", "pipe.bmp", "pipe.bmp: refused: can't open pipe.bmp: Not a regular file"},
        {"a device", "/dev/zero", "/dev/zero: refused: can't open /dev/zero: Not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "a.bmp", Golden("tiny_3x2.bmp"));
        WriteFile(dir / "c.bmp", Golden("tiny_3x2.bmp"));
        ASSERT_EQ(::mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
        const auto run = RunProgram("/usr/bin/timeout", {"20", WHITEN_PAGES_BINARY, "-j", "1", "-o", "out", "a.bmp",
                                                          c.input, "c.bmp"}, dir.Path().string());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(PageLines(run.out), (std::vector<std::string>{"a.bmp -> out/a.png", c.line, "c.bmp -> out/c.png"}));
        EXPECT_EQ(FilesUnder(dir / "out"), (std::set<std::string>{"a.png", "c.png"}));
    }
}

// Names are printed as they are, or quoted where they would break a line,
// read ambiguously or drive the terminal; the reasons quote them too.
TEST(WhitenPagesBinary, NamesArePrintedQuoted) {
    struct Case { const char* name; std::string file; std::string contents; std::string line; };
    const Case cases[] = {
        {"plain", "p.bmp", Golden("tiny_3x2.bmp"), "p.bmp -> out/p.png"},
        {"a newline", "new\nline.bmp", Golden("tiny_3x2.bmp"), "'new'$'\\n''line.bmp' -> 'out/new'$'\\n''line.png'"},
        {"an arrow", "a -> b.bmp", Golden("tiny_3x2.bmp"), "'a -> b.bmp' -> 'out/a -> b.png'"},
        {"an escape sequence", "\x1b[2Jx.bmp", Golden("tiny_3x2.bmp"), "''$'\\033''[2Jx.bmp' -> 'out/'$'\\033''[2Jx.png'"},
        {"a refused page", "bad\t.bmp", "BM", "'bad'$'\\t''.bmp': refused: broken BMP file: file is shorter than its headers"},
        {"a reason naming the file", "no such.bmp", "", "'no such.bmp': failed: can't open 'no such.bmp': No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (!c.contents.empty()) WriteFile(dir / c.file, c.contents);
        const auto run = RunPages({"-o", "out", c.file}, dir);
        EXPECT_EQ(PageLines(run.out), std::vector<std::string>{c.line}) << run.out;
    }
}

// A multi-page output's pages get their lines once the file is complete; an
// output lost unfinished gets its one line and none for its pages, and the bar
// counts each page once.
TEST(WhitenPagesBinary, AMultiPageOutputsLinesComeWithTheFile) {
    const std::vector<std::string> pages(3, Golden("synth_600x800.bmp"));
    struct Case { const char* name; std::string limit; bool terminal; std::vector<std::string> lines; int status; };
    const Case cases[] = {
        {"complete", "unlimited", false,
         {"book.tif (page 1 of 3) -> out/book.tif", "book.tif (page 2 of 3) -> out/book.tif",
          "book.tif (page 3 of 3) -> out/book.tif"}, 0},
        {"lost under a file size limit", "1000", false, {}, 1},
        {"the bar", "unlimited", true, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "book.tif", pagetest::MultiPageTiff(pages));
        const auto run = RunProgram("/bin/sh", {"-c", "ulimit -f " + c.limit + "; exec \"$0\" \"$@\"",
                                                WHITEN_PAGES_BINARY, "-j", "2", "-o", "out", "book.tif"},
                                    dir.Path().string(), {{}, c.terminal});
        EXPECT_EQ(run.exitStatus, c.status);
        if (c.status == 0) {
            EXPECT_EQ(PageLines(run.out), c.lines) << run.out;
        } else {
            EXPECT_FALSE(Contains(run.out, " -> ")) << run.out;
            EXPECT_TRUE(Contains(run.out, "book.tif: failed: out/book.tif not finished, ")) << run.out;
            EXPECT_TRUE(Contains(run.out, " lost: can't write out/book.tif: File too large\n")) << run.out;
        }
        if (c.terminal) {
            EXPECT_TRUE(Contains(run.err, "] 3/3 pages")) << run.err;
            EXPECT_FALSE(Contains(run.err, "4/3")) << run.err;
        }
    }
}

// The bar is one line narrower than the terminal, however narrow.
TEST(WhitenPagesBinary, TheBarFitsTheTerminal) {
    for (const int columns : {80, 50, 49, 30, 12, 4}) {
        SCOPED_TRACE(columns);
        TempDir dir;
        WriteFile(dir / "a.bmp", Golden("text_257x129.bmp"));
        WriteFile(dir / "b.bmp", Golden("synth_600x800.bmp"));
        const auto run = RunProgram("/bin/sh", {"-c", "stty -F /proc/self/fd/2 cols " + std::to_string(columns) +
                                                          " && exec \"$0\" \"$@\"", WHITEN_PAGES_BINARY, "a.bmp", "b.bmp"},
                                    dir.Path().string(), {{}, true});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        int bars = 0;
        for (std::size_t at = run.err.find('\r'); at != std::string::npos; at = run.err.find('\r', at + 1)) {
            const std::string drawn = run.err.substr(at + 1, run.err.find("\033[K", at) - at - 1);
            if (drawn.empty() || (drawn[0] != '[' && !std::isdigit(static_cast<unsigned char>(drawn[0]))))
                continue;  // the bar cleared, or the terminal's own "\r\n"
            ++bars;
            EXPECT_LT(drawn.size(), static_cast<std::size_t>(columns)) << drawn;
            EXPECT_TRUE(Contains(drawn, "/2")) << drawn;
            if (columns == 80) {
                EXPECT_EQ(drawn.size(), 79u) << drawn;  // as wide as it always was
            }
        }
        EXPECT_GE(bars, 3);
    }
}

}  // namespace
