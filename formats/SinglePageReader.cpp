// The page index check and clean-up of the one-page readers, and the bytes
// of a file taken whole.
#include "formats/SinglePageReader.h"

#include <string>
#include <vector>

namespace formats {

void SinglePageReader::Read(int index, PageImage& page) {
    if (index != 0) throw PageRefused("no page " + std::to_string(index + 1) + " in a " + format_ + " file");
    try {
        ReadPage(page);
    } catch (...) {
        page.samples = {};
        throw;
    }
}

void WholeFileReader::ReadPage(PageImage& page) {
    std::vector<std::uint8_t> loaded;
    DecodeBytes(SourceBytes(source_, loaded), maxPixels_, page);
}

}  // namespace formats
