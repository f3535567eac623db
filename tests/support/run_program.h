// Runs any built program as a child process (POSIX), optionally with its
// standard error on a pseudo-terminal, and collects what it writes.
#pragma once

#include "support/run_binary.h"

#include <string>
#include <vector>

namespace testsupport {

struct RunOptions {
    std::vector<std::string> environment;  // "NAME=value", added to PATH, HOME and the sanitizers' settings
    bool stderrIsTerminal = false;         // standard error on a pseudo-terminal (what it shows lands in err)
};

// Runs `program` with `args` in `workDir`; standard input is /dev/null.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir, const RunOptions& options = {});

}  // namespace testsupport
