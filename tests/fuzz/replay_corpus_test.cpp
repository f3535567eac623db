// Replays the fuzz targets' seed corpus and every input the fuzzers ever found
// wanting (fuzz/regressions) through the same checks the fuzz targets run, so
// that the normal and the sanitizer test builds guard against their return.
#include "fuzz/FuzzChecks.h"

#include "support/golden.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// The files of fuzz/<folder>, by name; names starting with "." are not inputs.
std::vector<fs::path> Inputs(const std::string& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(testsupport::DataPath("../../fuzz/" + folder))) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void Replay(const std::vector<fs::path>& files) {
    testsupport::TempDir loadDir, jobDir;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string bytes = testsupport::ReadFile(file.string());
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        EXPECT_EQ(fuzzcheck::CheckBitmapFile(data, bytes.size(), loadDir.Path().string()), "");
        EXPECT_EQ(fuzzcheck::CheckJob(data, bytes.size(), jobDir.Path().string()), "");
    }
}

TEST(FuzzReplay, SeedCorpus) {
    const auto files = Inputs("corpus");
    EXPECT_GE(files.size(), 30u);
    Replay(files);
}

TEST(FuzzReplay, Regressions) { Replay(Inputs("regressions")); }

}  // namespace
