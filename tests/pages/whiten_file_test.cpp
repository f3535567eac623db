// WhitenFile: one file's whole job through the run of whiten-pages, its
// outcome, its output names and formats, and the reruns that keep outputs.
#include "pages/WhitenFile.h"
#include "pages/page_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::vector<std::string> kBookPages = {"text_257x129", "random_33x17", "synth_600x800"};

std::vector<std::string> Lines(const std::vector<FileProblem>& problems) {
    std::vector<std::string> lines;
    for (const auto& problem : problems) lines.push_back(problem.line);
    return lines;
}

std::string Book() {
    std::vector<std::string> bitmaps;
    for (const auto& name : kBookPages) bitmaps.push_back(Golden(name + ".bmp"));
    return pagetest::MultiPageTiff(bitmaps);
}

TEST(WhitenFile, Outcomes) {
    struct Case {
        const char* name;
        std::string input;      // in the folder: p.bmp, book.tif, bad.bmp; or a missing file
        std::string output;
        std::optional<OutputFormat> format;
        std::vector<std::string> outputs;  // written, and in the outcome
        int whitened;
        std::string problem;    // the one problem line, if any
        bool refused, failed;
        std::string stopPart;
    };
    const Case cases[] = {
        {"bitmap to BMP, upper-case extension", "p.bmp", "out/P.BMP", {}, {"out/P.BMP"}, 1, "", false, false, ""},
        {"format given over the extension", "p.bmp", "out/p.dat", OutputFormat::Bmp, {"out/p.dat"}, 1, "", false, false, ""},
        {"multi-page to one TIFF", "book.tif", "out/b.tiff", {}, {"out/b.tiff"}, 3, "", false, false, ""},
        {"multi-page to BMP pages beside the output", "book.tif", "out/b.Bmp", {},
         {"out/b-0001.Bmp", "out/b-0002.Bmp", "out/b-0003.Bmp"}, 3, "", false, false, ""},
        {"the output is the input", "p.bmp", "p.bmp", {}, {}, 0,
         "p.bmp: refused: its output p.bmp would replace an input", true, false, ""},
        {"a broken page", "bad.bmp", "out/bad.png", {}, {}, 0,
         "bad.bmp: refused: broken BMP file: file is shorter than its headers", true, false, ""},
        {"a missing input", "gone.png", "out/gone.png", {}, {}, 0, "", false, true, ""},
        {"the folder cannot be made", "p.bmp", "blocker/p.png", {}, {}, 0, "", false, true,
         "cannot make the output folder blocker: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "p.bmp", Golden("text_257x129.bmp"));
        WriteFile(dir / "bad.bmp", "BM too short");
        WriteFile(dir / "book.tif", Book());
        WriteFile(dir / "blocker", "a file where a folder should be");
        const fs::path before = fs::current_path();
        fs::current_path(dir.Path());
        WhitenFileRequest request;
        request.input = c.input;
        request.output = c.output;
        request.format = c.format;
        const WhitenFileOutcome outcome = WhitenFile(request);
        fs::current_path(before);
        EXPECT_EQ(outcome.outputs, c.outputs);
        EXPECT_EQ(outcome.whitened, c.whitened);
        EXPECT_EQ(outcome.refused, c.refused);
        EXPECT_EQ(outcome.failed, c.failed);
        EXPECT_FALSE(outcome.skipped);
        if (!c.problem.empty()) {
            EXPECT_EQ(Lines(outcome.problems), std::vector<std::string>{c.problem});
        } else {
            EXPECT_EQ(outcome.problems.size(), c.failed ? 1u : 0u);
        }
        if (c.stopPart.empty()) {
            EXPECT_EQ(outcome.stopReason, "");
        } else {
            EXPECT_EQ(outcome.stopReason.rfind(c.stopPart, 0), 0u) << outcome.stopReason;
        }
        EXPECT_EQ(outcome.pages, c.input == "book.tif" ? 3 : 1);
        for (std::size_t i = 0; i < c.outputs.size(); ++i) {
            const std::string bytes = ReadFile(dir / c.outputs[i]);
            if (c.input == "p.bmp") {
                EXPECT_EQ(bytes, Golden("text_257x129.out.bmp"));
            } else if (c.outputs.size() > 1) {
                EXPECT_EQ(bytes, Golden(kBookPages[i] + ".out.bmp")) << c.outputs[i];
            } else {
                EXPECT_EQ(pagetest::TiffPageCount(bytes), 3);
            }
        }
        EXPECT_EQ(ReadFile(dir / "p.bmp"), Golden("text_257x129.bmp"));
    }
}

// Opened by absolute paths, told by the names the caller gave: every line,
// reason and output names the files as given (lines given as their starts
// where the system's reason follows).
TEST(WhitenFile, LinesNameTheFilesAsShown) {
    struct Case {
        const char* name;
        std::string input, output;
        std::vector<std::string> present;  // outputs there before, with keepExisting
        std::vector<std::string> lineStarts;
        std::vector<std::pair<int, bool>> problems;  // (page, refused)
        std::string stopStart;
    };
    const Case cases[] = {
        {"names quoted as shown", "a b.bmp", "out/a b.png", {}, {"'a b.bmp' -> 'out/a b.png'"}, {}, ""},
        {"pages into one TIFF", "book.tif", "out/b.tif", {},
         {"book.tif (page 1 of 3) -> out/b.tif", "book.tif (page 2 of 3) -> out/b.tif",
          "book.tif (page 3 of 3) -> out/b.tif"}, {}, ""},
        {"the output over its input", "p.bmp", "p.bmp", {}, {"p.bmp: refused: its output p.bmp would replace an input"},
         {{0, true}}, ""},
        {"a missing input", "gone.png", "out/gone.png", {}, {"gone.png: failed: can't open gone.png: "}, {{0, false}},
         ""},
        {"the folder cannot be made", "p.bmp", "blocker/sub/p.png", {},
         {"p.bmp: failed: cannot make the output folder blocker/sub: "}, {{0, false}},
         "cannot make the output folder blocker/sub: "},
        {"skipped", "book.tif", "out/b.bmp", {"out/b-0001.bmp", "out/b-0002.bmp", "out/b-0003.bmp"},
         {"book.tif: skipped: out/b-0001.bmp, out/b-0002.bmp, out/b-0003.bmp already there"}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "p.bmp", Golden("text_257x129.bmp"));
        WriteFile(dir / "a b.bmp", Golden("random_33x17.bmp"));
        WriteFile(dir / "book.tif", Book());
        WriteFile(dir / "blocker", "a file where a folder should be");
        fs::create_directory(dir / "out");
        for (const auto& name : c.present) WriteFile(dir / name, "earlier");
        WhitenFileRequest request;
        request.input = dir / c.input;
        request.output = dir / c.output;
        request.shownInput = c.input;
        request.shownOutput = c.output;
        request.keepExisting = !c.present.empty();
        const WhitenFileOutcome outcome = WhitenFile(request);
        ASSERT_EQ(outcome.lines.size(), c.lineStarts.size());
        for (std::size_t i = 0; i < c.lineStarts.size(); ++i)
            EXPECT_EQ(outcome.lines[i].rfind(c.lineStarts[i], 0), 0u) << outcome.lines[i];
        std::vector<std::pair<int, bool>> problems;
        for (const auto& problem : outcome.problems) {
            problems.emplace_back(problem.page, problem.refused);
            EXPECT_EQ(problem.line, c.input + (problem.refused ? ": refused: " : ": failed: ") + problem.reason);
            EXPECT_EQ(std::count(outcome.lines.begin(), outcome.lines.end(), problem.line), 1);
        }
        EXPECT_EQ(problems, c.problems);
        EXPECT_EQ(outcome.stopReason.rfind(c.stopStart, 0), 0u) << outcome.stopReason;
        EXPECT_EQ(outcome.stopReason.empty(), c.stopStart.empty());
        for (const auto& output : outcome.outputs) EXPECT_EQ(output.rfind("out/", 0), 0u) << output;
        for (const auto& line : outcome.lines) EXPECT_EQ(line.find(dir.Path().string()), std::string::npos) << line;
    }
}

TEST(WhitenFile, FormatsByExtension) {
    struct Case { const char* path; std::optional<OutputFormat> format; std::string errorPart; };
    const Case cases[] = {
        {"a/b.png", OutputFormat::Png, ""},   {"b.TIF", OutputFormat::Tiff, ""}, {"b.tiff", OutputFormat::Tiff, ""},
        {"b.JPG", OutputFormat::Jpeg, ""},    {"b.jpeg", OutputFormat::Jpeg, ""}, {"b.bMp", OutputFormat::Bmp, ""},
        {"b.gif", {}, "'.gif'"},              {"b.png.old", {}, "'.old'"},        {"dir.png/b", {}, "no extension"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.format) {
            EXPECT_EQ(FormatOfExtension(c.path), *c.format);
            continue;
        }
        try {
            FormatOfExtension(c.path);
            ADD_FAILURE() << "no error";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(c.errorPart), std::string::npos) << error.what();
        }
        WhitenFileRequest request;
        request.input = "in.png";
        request.output = c.path;
        EXPECT_THROW(WhitenFile(request), std::invalid_argument);  // before anything is read or made
    }
}

// A rerun passes over the files whose every output is there, unread.
TEST(WhitenFile, KeepExistingSkipsFilesWhoseOutputsAreThere) {
    struct Case { const char* name; std::string output; std::vector<std::string> present; bool inputThere; bool skipped; };
    const Case cases[] = {
        {"a TIFF output there, the input gone", "b.tif", {"b.tif"}, false, true},
        {"every page file there", "b.png", {"b-0001.png", "b-0002.png", "b-0003.png"}, true, true},
        {"one page file missing", "b.png", {"b-0001.png", "b-0003.png"}, true, false},
        {"the output's own name is no page file of a book", "b.png", {"b.png"}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.inputThere) WriteFile(dir / "book.tif", Book());
        fs::create_directory(dir / "out");
        for (const auto& name : c.present) WriteFile(dir / ("out/" + name), "earlier");
        WhitenFileRequest request;
        request.input = dir / "book.tif";
        request.output = dir / ("out/" + c.output);
        request.keepExisting = true;
        const WhitenFileOutcome outcome = WhitenFile(request);
        EXPECT_EQ(outcome.skipped, c.skipped);
        EXPECT_EQ(outcome.whitened, c.skipped ? 0 : 3);
        EXPECT_EQ(outcome.outputs.size(), c.skipped ? c.present.size() : 3u);
        EXPECT_TRUE(outcome.problems.empty());
        for (const auto& name : c.present) {
            const bool listed = std::count(outcome.outputs.begin(), outcome.outputs.end(), dir / ("out/" + name)) == 1;
            EXPECT_EQ(listed, c.skipped || name != "b.png") << name;
            EXPECT_EQ(ReadFile(dir / ("out/" + name)) == "earlier", c.skipped || name == "b.png") << name;
        }
    }
}

}  // namespace
