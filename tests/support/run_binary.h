// Runs the built `whiten` binary as a child process and collects what it leaves.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct RunResult {
    int exitStatus = -1;      // exit code, or -1 when the process did not exit normally
    std::string out;          // standard output, bytes as written
    std::string err;          // standard error
    double seconds = 0;       // wall time
};

// Runs WHITEN_BINARY with the arguments in `workDir`. `environment` entries
// ("NAME=value") are added to a minimal environment (PATH and HOME kept).
RunResult RunWhiten(const std::vector<std::string>& args, const std::string& workDir,
                    const std::vector<std::string>& environment = {});

}  // namespace testsupport
