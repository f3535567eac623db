// Fuzz target: the bitmap type test, header checks and loading, and a save and
// reload of every page that loads.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzFolder.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = fuzzcheck::CheckBitmapFile(data, size, fuzzcheck::ScratchFolder());
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_bmp_load: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
