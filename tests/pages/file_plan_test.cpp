// PlanFiles: a run's files listed and their outputs named and refused as
// whiten-pages does it; and, whitened one WhitenFile call a file with the
// paths made absolute (as whiten.dask's workers do), the run of whiten-pages:
// the same files, bytes and lines.
#include "pages/FilePlan.h"
#include "pages/WhitenFile.h"
#include "pages/page_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using pagetest::Golden;
using testsupport::TempDir;
using testsupport::WriteFile;

// Pages, a book, a folder with a page and a text, a broken page; names that
// clash (p.bmp, p.tif) and one that the lines quote.
void AddInputs(const TempDir& dir) {
    WriteFile(dir / "p.bmp", Golden("text_257x129.bmp"));
    WriteFile(dir / "p.tif", pagetest::MultiPageTiff({Golden("random_33x17.bmp")}));
    WriteFile(dir / "a b.bmp", Golden("random_33x17.bmp"));
    WriteFile(dir / "book.tif", pagetest::MultiPageTiff({Golden("text_257x129.bmp"), Golden("random_33x17.bmp"),
                                                         Golden("tiny_3x2.bmp")}));
    fs::create_directories(dir.Path() / "scans" / "Result");
    WriteFile(dir / "scans/q.bmp", Golden("tiny_3x2.bmp"));
    WriteFile(dir / "scans/notes.txt", "no page\n");
    WriteFile(dir / "scans/Result/old.bmp", Golden("tiny_3x2.bmp"));
    WriteFile(dir / "bad.bmp", "BM too short");
}

const std::vector<std::string> kInputs = {"p.bmp", "p.tif", "a b.bmp", "book.tif", "scans", "bad.bmp", "gone.jpg"};

std::vector<std::string> Lines(const std::vector<FileProblem>& problems) {
    std::vector<std::string> lines;
    for (const auto& problem : problems) lines.push_back(problem.line);
    return lines;
}

// PlanFiles run in `dir`, which then is the current folder.
std::vector<PlannedFile> PlanIn(const TempDir& dir, const RunSettings& settings) {
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    std::vector<PlannedFile> files = PlanFiles(settings);
    fs::current_path(before);
    return files;
}

TEST(PlanFiles, NamesAndRefusesAsWhitenPages) {
    struct Planned {
        std::string input;
        std::vector<std::string> paths;
        OutputFormat format;
        std::string output;               // for WhitenFile
        std::vector<std::string> refused; // the lines of its refused pages
    };
    struct Case {
        const char* name;
        std::vector<std::string> inputs;
        std::string outputFolder;
        std::optional<OutputFormat> format;
        std::vector<Planned> planned;
    };
    const std::vector<std::string> bookPages = {"./Result/book-0001.png", "./Result/book-0002.png",
                                                "./Result/book-0003.png"};
    const Case cases[] = {
        {"a page into Result beside it", {"p.bmp"}, "", {},
         {{"p.bmp", {"./Result/p.png"}, OutputFormat::Png, "./Result/p.png", {}}}},
        {"a book without a format: one TIFF", {"book.tif"}, "", {},
         {{"book.tif", {"./Result/book.tif"}, OutputFormat::Tiff, "./Result/book.tif", {}}}},
        {"a book to PNG: a file a page", {"book.tif"}, "", OutputFormat::Png,
         {{"book.tif", bookPages, OutputFormat::Png, "./Result/book.png", {}}}},
        {"into the folder named", {"p.bmp"}, "out", OutputFormat::Jpeg,
         {{"p.bmp", {"out/p.jpg"}, OutputFormat::Jpeg, "out/p.jpg", {}}}},
        {"a folder: its pages, not its text or its Result", {"scans"}, "", {},
         {{"scans/q.bmp", {"scans/Result/q.png"}, OutputFormat::Png, "scans/Result/q.png", {}}}},
        {"a missing file: one page, its failure told where it is whitened", {"gone.jpg"}, "", {},
         {{"gone.jpg", {"./Result/gone.png"}, OutputFormat::Png, "./Result/gone.png", {}}}},
        {"two inputs, one output", {"p.bmp", "p.tif"}, "", {},
         {{"p.bmp", {"./Result/p.png"}, OutputFormat::Png, "./Result/p.png", {}},
          {"p.tif", {"./Result/p.png"}, OutputFormat::Png, "./Result/p.png",
           {"p.tif: refused: its output ./Result/p.png is already the output of p.bmp"}}}},
        {"an output over its input, names quoted", {"a b.bmp"}, ".", OutputFormat::Bmp,
         {{"a b.bmp", {"./a b.bmp"}, OutputFormat::Bmp, "./a b.bmp",
           {"'a b.bmp': refused: its output './a b.bmp' would replace an input"}}}},
        {"a book's page over another input: every page refused", {"book.tif", "Result/book-0002.png"}, "",
         OutputFormat::Png,
         {{"book.tif", bookPages, OutputFormat::Png, "./Result/book.png",
           {"book.tif (page 1 of 3): refused: its output ./Result/book-0002.png would replace an input",
            "book.tif (page 2 of 3): refused: its output ./Result/book-0002.png would replace an input",
            "book.tif (page 3 of 3): refused: its output ./Result/book-0002.png would replace an input"}},
          {"Result/book-0002.png", {"Result/Result/book-0002.png"}, OutputFormat::Png, "Result/Result/book-0002.png",
           {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        AddInputs(dir);
        RunSettings settings;
        settings.inputs = c.inputs;
        settings.outputFolder = c.outputFolder;
        settings.formatGiven = c.format.has_value();
        settings.format = c.format.value_or(OutputFormat::Png);
        const std::vector<PlannedFile> files = PlanIn(dir, settings);
        ASSERT_EQ(files.size(), c.planned.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Planned& expected = c.planned[i];
            SCOPED_TRACE(expected.input);
            EXPECT_EQ(files[i].input, expected.input);
            EXPECT_EQ(files[i].outputs.paths, expected.paths);
            EXPECT_EQ(files[i].outputs.format, expected.format);
            EXPECT_EQ(files[i].output, expected.output);
            ASSERT_EQ(files[i].refused.has_value(), !expected.refused.empty());
            if (!files[i].refused) continue;
            EXPECT_EQ(Lines(files[i].refused->problems), expected.refused);
            EXPECT_EQ(files[i].refused->lines, expected.refused);
            EXPECT_TRUE(files[i].refused->refused);
            EXPECT_EQ(files[i].refused->pages, static_cast<int>(expected.refused.size()));
        }
        EXPECT_FALSE(fs::exists(dir / "Result")) << "planning writes nothing";
    }
}

std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = testsupport::ReadFile(entry.path());
    return files;
}

// The lines of whiten-pages' standard output before its summary, sorted.
std::vector<std::string> SortedPageLines(const std::string& out) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        if (out.compare(at, 14, "whiten-pages: ") != 0) lines.push_back(out.substr(at, end - at));
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What whiten.dask does: the plan here, each file whitened by absolute paths
// (as a worker elsewhere would) and told by the names given.
std::vector<std::string> PlannedRunLines(const TempDir& dir, const RunSettings& settings) {
    std::vector<std::string> lines;
    for (const PlannedFile& file : PlanIn(dir, settings)) {
        WhitenFileOutcome outcome;
        if (file.refused) {
            outcome = *file.refused;
        } else {
            WhitenFileRequest request;
            request.input = dir / file.input;
            request.output = dir / file.output;
            request.format = file.outputs.format;
            request.shownInput = file.input;
            request.shownOutput = file.output;
            outcome = WhitenFile(request);
        }
        lines.insert(lines.end(), outcome.lines.begin(), outcome.lines.end());
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(PlanFiles, WhitenedOneFileACallIsTheRunOfWhitenPages) {
    struct Case {
        const char* name;
        std::vector<std::string> options;  // of whiten-pages, and as settings:
        std::string outputFolder;
        std::optional<OutputFormat> format;
    };
    const Case cases[] = {
        {"Result beside each input", {}, "", {}},
        {"pages one a file, into a folder", {"-f", "png", "-o", "out"}, "out", OutputFormat::Png},
        {"bitmaps into the current folder", {"-f", "bmp", "-o", "."}, ".", OutputFormat::Bmp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir pages, planned;
        AddInputs(pages);
        AddInputs(planned);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), kInputs.begin(), kInputs.end());
        const auto run = testsupport::RunProgram(WHITEN_PAGES_BINARY, arguments, pages.Path().string());
        EXPECT_EQ(run.exitStatus, 1) << run.err;  // the broken page, the missing file, the clash
        RunSettings settings;
        settings.inputs = kInputs;
        settings.outputFolder = c.outputFolder;
        settings.formatGiven = c.format.has_value();
        settings.format = c.format.value_or(OutputFormat::Png);
        EXPECT_EQ(PlannedRunLines(planned, settings), SortedPageLines(run.out));
        EXPECT_EQ(FilesUnder(planned.Path()), FilesUnder(pages.Path()));
    }
}

}  // namespace
