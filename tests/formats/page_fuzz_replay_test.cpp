// Replays the page fuzzers' seed corpora (fuzz/corpus-jpeg, -png, -tiff) and
// the page inputs that once went wrong (fuzz/regressions-pages) through the
// check the fuzz targets run, so that the normal and the sanitizer test builds
// guard them too.
#include "fuzz/PageReadCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/golden.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Inputs(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(testsupport::DataPath("../../fuzz/" + folder)))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(PageFuzzReplay, SeedCorporaAndRegressions) {
    for (const char* folder : {"corpus-jpeg", "corpus-png", "corpus-tiff", "regressions-pages"}) {
        const std::vector<fs::path> files = Inputs(folder);
        EXPECT_GE(files.size(), 5u) << folder;
        for (const fs::path& file : files) {
            SCOPED_TRACE(std::string(folder) + "/" + file.filename().string());
            const std::string bytes = testsupport::ReadFile(file.string());
            EXPECT_EQ(fuzzcheck::CheckPageRead(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "");
        }
    }
}

}  // namespace
