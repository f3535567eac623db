// The page index check and clean-up of the one-page readers.
#include "formats/SinglePageReader.h"

#include <string>

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

}  // namespace formats
