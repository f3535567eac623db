// Fuzz target: the page readers of whiten-pages on a file in memory, every page
// decoded (PageReadCheck.h). The reader is picked by the file's first bytes, so
// one source serves the JPEG, PNG and TIFF targets, which differ only in their
// seed corpora.
#include <cstdio>
#include <cstdlib>

#include "fuzz/PageReadCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = fuzzcheck::CheckPageRead(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "page reader check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
