// Writes the page fuzzers' seeds made from the damaged-file tables into the
// folder given (fuzz): each file of at most 16 KiB (the fuzzers' longest input)
// into corpus-jpeg, corpus-png or corpus-tiff by its kind.
//   make_page_seeds fuzz
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/formats/damaged_files.h"

namespace {

// The corpus and file ending for a file's first bytes; null for no page kind.
const char* KindOf(const formattest::Bytes& file) {
    if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8) return "jpeg";
    if (file.size() >= 8 && std::memcmp(file.data(), "\x89PNG", 4) == 0) return "png";
    if (file.size() >= 4 && (std::memcmp(file.data(), "II", 2) == 0 || std::memcmp(file.data(), "MM", 2) == 0)) return "tiff";
    return nullptr;
}

bool Write(const std::string& folder, const std::string& name, const formattest::Bytes& file) {
    const char* kind = KindOf(file);
    if (kind == nullptr || file.size() > (1u << 14)) return true;
    const std::string ending = std::strcmp(kind, "jpeg") == 0 ? "jpg" : std::strcmp(kind, "png") == 0 ? "png" : "tif";
    const std::string path = folder + "/corpus-" + kind + "/" + name + "." + ending;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_page_seeds FOLDER\n");
        return 2;
    }
    bool ok = true;
    for (const formattest::HostileCase& c : formattest::HostileTable()) ok = Write(argv[1], std::string("refused-") + c.name, c.file) && ok;
    for (const formattest::WholeCase& c : formattest::WarnedButWholeTable()) ok = Write(argv[1], std::string("whole-") + c.name, c.file) && ok;
    // Many pages, read one after the other; a page amid others whose colour map is lost.
    using formattest::EncodeTiff;
    using formattest::NumberedPages;
    ok = Write(argv[1], "pages-100", EncodeTiff(NumberedPages(100, 1))) && ok;
    ok = Write(argv[1], "refused-tiff-second-page-colour-map-beyond-the-end",
               formattest::WithTagValue(EncodeTiff(NumberedPages(3, 4, {false, true, false})), 1, TIFFTAG_COLORMAP, 0x7FFF0000)) && ok;
    return ok ? 0 : 1;
}
