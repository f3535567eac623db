// Whole pages through the built binary, in one run: every output file equal
// byte for byte to the golden page, and equal to what the reference flattening
// gives in process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/reference_page.h"
#include "support/golden.h"
#include "support/run_binary.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;

TEST(GoldenPages, TheBinaryWritesEveryGoldenPageByteForByte) {
    const std::string folder = testsupport::DataPath("golden/pages");
    std::vector<std::string> names;
    {
        std::ifstream cases(folder + "/CASES.txt");
        std::string line;
        while (std::getline(cases, line) && line != "end") {
            if (!line.empty() && line[0] != '#') names.push_back(line.substr(0, line.find(' ')));
        }
    }
    ASSERT_EQ(names.size(), 8u);

    testsupport::TempDir dir;
    std::vector<std::string> args;
    for (const auto& name : names) {
        fs::copy_file(folder + "/" + name + ".bmp", dir / (name + ".bmp"));
        args.push_back(name + ".bmp");
    }
    const auto run = testsupport::RunWhiten(args, dir.Path().string(), {"LANG=C"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const std::string written = ReadFile(dir / ("Result/" + name + ".bmp"));
        const std::string expected = ReadFile(folder + "/" + name + ".out.bmp");
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(written == expected) << "first difference at byte "
                                         << std::mismatch(written.begin(), written.end(), expected.begin()).first -
                                                written.begin();
        EXPECT_TRUE(written == testbmp::WhitenedReference(ReadFile(folder + "/" + name + ".bmp")));
    }
}
