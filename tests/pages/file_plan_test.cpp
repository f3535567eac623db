// PlanFiles, its files whitened one WhitenFile call a file by paths made
// absolute (as whiten.dask's workers do), against the run of whiten-pages:
// the same files, bytes and lines, folders listed, names numbered, refusals.
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

// Pages, a book, a folder with a page, a text and a Result, a broken page;
// names that clash (p.bmp, p.tif; the book's pages and book-0002.bmp) and one
// that the lines quote.
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
    WriteFile(dir / "book-0002.bmp", Golden("tiny_3x2.bmp"));  // where a book's page may go
    WriteFile(dir / "bad.bmp", "BM too short");
}

const std::vector<std::string> kInputs = {"p.bmp",  "p.tif",         "a b.bmp", "book.tif",
                                          "scans", "book-0002.bmp", "bad.bmp", "gone.jpg"};

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
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const std::vector<PlannedFile> files = PlanFiles(settings);
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(dir / "Result")) << "planning writes nothing";
    std::vector<std::string> lines;
    for (const PlannedFile& file : files) {
        WhitenFileOutcome outcome;
        if (file.refused) {
            outcome = *file.refused;
            EXPECT_TRUE(outcome.refused && !outcome.failed) << file.input;
            EXPECT_EQ(outcome.problems.size(), static_cast<std::size_t>(outcome.pages)) << "a problem a page";
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
