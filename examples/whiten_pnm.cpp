// Whitens a binary PPM or PGM page (8-bit samples) into a PGM with libwhiten:
//   whiten-pnm [INPUT [OUTPUT]]
// INPUT and OUTPUT are files; without them, or given as "-", standard input
// and standard output. Any failure is one line on standard error and exit
// status 1; a bad command line gets the usage line and status 2.
#include <whiten.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct PnmPage {
    std::int64_t width = 0;
    std::int64_t height = 0;
    int channels = 0;  // 1 for P5 (gray), 3 for P6 (RGB)
    std::vector<std::uint8_t> samples;
};

// The next header number, after blanks and "#" comments.
std::int64_t ReadNumber(std::istream& in) {
    for (int c = in.peek(); c == '#' || std::isspace(c); c = in.peek()) {
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else {
            in.get();
        }
    }
    std::int64_t value = -1;
    if (!(in >> value) || value < 0) throw std::runtime_error("the PNM header is broken");
    return value;
}

PnmPage ReadPnm(std::istream& in) {
    PnmPage page;
    char magic[2] = {};
    in.read(magic, 2);
    if (!in || magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6'))
        throw std::runtime_error("not a binary PPM (P6) or PGM (P5) file");
    page.channels = magic[1] == '6' ? 3 : 1;
    page.width = ReadNumber(in);
    page.height = ReadNumber(in);
    if (ReadNumber(in) != 255) throw std::runtime_error("only 8-bit samples (maximum value 255) are read");
    if (!std::isspace(in.get())) throw std::runtime_error("the PNM header is broken");
    // The library's limits, checked before the samples are allocated.
    if (page.width < 1 || page.height < 1 || page.width > whiten::kMaxSide || page.height > whiten::kMaxSide ||
        page.width * page.height > whiten::kMaxPixels)
        throw std::runtime_error("the page's size is outside what the library whitens");
    page.samples.resize(std::size_t(page.width * page.height * page.channels));
    in.read(reinterpret_cast<char*>(page.samples.data()), std::streamsize(page.samples.size()));
    if (in.gcount() != std::streamsize(page.samples.size())) throw std::runtime_error("the page is truncated");
    return page;
}

void WritePgm(std::ostream& out, const whiten::GrayPage& gray) {
    out << "P5\n" << gray.width << ' ' << gray.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(gray.bytes.data()), std::streamsize(gray.bytes.size()));
    out.flush();
}

whiten::GrayPage WhitenPage(std::istream& in) {
    const PnmPage page = ReadPnm(in);
    const auto width = std::int32_t(page.width);
    return whiten::Whiten({page.samples.data(), width, std::int32_t(page.height), width * page.channels,
                           page.channels});
}

// The output file is made only once the page is whitened. A file that cannot
// be written in full is removed again, but never a device such as /dev/full.
void Run(const std::string& input, const std::string& output) {
    std::ifstream file;
    if (input != "-") {
        file.open(input, std::ios::binary);
        if (!file) throw std::runtime_error("can't open " + input);
    }
    const whiten::GrayPage gray = WhitenPage(input == "-" ? std::cin : file);
    if (output == "-") {
        WritePgm(std::cout, gray);
        if (!std::cout) throw std::runtime_error("can't write standard output");
        return;
    }
    std::ofstream out(output, std::ios::binary);
    if (out) WritePgm(out, gray);
    if (!out) {
        out.close();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(output, ignored)) std::filesystem::remove(output, ignored);
        throw std::runtime_error("can't write " + output);
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 3 || (argc > 1 && std::string(argv[1]) == "--help")) {
        std::cerr << "usage: whiten-pnm [INPUT.ppm|INPUT.pgm|- [OUTPUT.pgm|-]]\n";
        return 2;
    }
    try {
        Run(argc > 1 ? argv[1] : "-", argc > 2 ? argv[2] : "-");
        return 0;
    } catch (const std::bad_alloc&) {
        std::cerr << "whiten-pnm: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "whiten-pnm: " << error.what() << '\n';
    }
    return 1;
}
