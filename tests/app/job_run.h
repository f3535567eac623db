// Runs the per-file job in process and keeps what it printed, for tests of its
// lines and result codes.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/ProcessFile.h"

namespace testjob {

struct JobRun {
    int result = -1;
    std::string printed;
};

// The job's result and standard output; an error escaping the job passes on.
inline JobRun Process(const std::string& path) {
    testing::internal::CaptureStdout();
    JobRun run;
    try {
        run.result = ProcessFile(path);
    } catch (...) {
        run.printed = testing::internal::GetCapturedStdout();
        throw;
    }
    run.printed = testing::internal::GetCapturedStdout();
    return run;
}

// The progress line the job prints for an accepted path.
inline std::string Progress(const std::string& folder, const std::string& name) {
    return "strTargetFolder = " + folder + ", strTargetFileName = " + name + "\n";
}

}  // namespace testjob
