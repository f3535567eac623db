// Fuzz target: the page readers of whiten-pages on a file in memory, every page
// decoded. The reader is picked by the file's first bytes, so one source serves
// the JPEG, PNG and TIFF targets, which differ only in their seed corpora.
// Pages above 2^20 pixels are refused by the lowered limit, so that no
// allocation follows a fuzzed header's size; a refusal is an outcome, any other
// exception a finding.
#include <cstdlib>

#include "formats/PageReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1 << 16)) return 0;
    try {
        const auto reader = OpenPageReaderFromMemory(std::vector<std::uint8_t>(data, data + size), 1 << 20);
        for (int i = 0; i < reader->PageCount() && i < 8; ++i) {
            PageImage page;
            try {
                reader->Read(i, page);
            } catch (const PageRefused&) {
                continue;
            }
            if (page.samples.size() != std::size_t(page.width) * page.height * page.channels) std::abort();
        }
    } catch (const PageRefused&) {
    }
    return 0;
}
