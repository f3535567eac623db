// Fuzz target: the whole per-file job (ProcessFile) on small pages, checked
// against an independent reading of the bytes and the reference flattening.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzFolder.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = fuzzcheck::CheckJob(data, size, fuzzcheck::ScratchFolder());
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_process_file: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
