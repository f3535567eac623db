// getopt_long over the program's options; numbers and format names are checked
// here, so that the run itself never meets a bad setting.
#include "pages/Options.h"

#include <getopt.h>

#include <charconv>
#include <string_view>

namespace {

constexpr int kMaxJobs = 256;
constexpr int kMaxThreads = 256;

enum LongOnly { kQuality = 256, kThreads };

const option kLongOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"recursive", no_argument, nullptr, 'r'},
    {"format", required_argument, nullptr, 'f'},
    {"quality", required_argument, nullptr, kQuality},
    {"jobs", required_argument, nullptr, 'j'},
    {"threads", required_argument, nullptr, kThreads},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

int Number(std::string_view text, const char* option, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + std::string(text) + "'");
    }
    return value;
}

OutputFormat Format(std::string_view name) {
    if (name == "png") return OutputFormat::Png;
    if (name == "tiff" || name == "tif") return OutputFormat::Tiff;
    if (name == "jpeg" || name == "jpg") return OutputFormat::Jpeg;
    if (name == "bmp") return OutputFormat::Bmp;
    throw UsageError("--format takes png, tiff, jpeg or bmp, not '" + std::string(name) + "'");
}

// The option as the user wrote it, for messages about it: a long option by
// its name, a short one by its letter (it may sit in a cluster such as -qx).
std::string Spelled(int argc, char* argv[], int code) {
    const std::string last = optind > 0 && optind <= argc ? argv[optind - 1] : "";
    if (last.rfind("--", 0) == 0) return last.substr(0, last.find('='));
    if (code > 0 && code < 256) return std::string("-") + static_cast<char>(code);
    return last;
}

}  // namespace

PagesOptions ParseOptions(int argc, char* argv[]) {
    PagesOptions options;
    opterr = 0;  // the front end prints; getopt_long only reports
    optind = 1;
    int code;
    while ((code = getopt_long(argc, argv, ":o:rf:j:qhV", kLongOptions, nullptr)) != -1) {
        switch (code) {
            case 'o':
                if (*optarg == '\0') throw UsageError("-o/--output needs a folder name");
                options.outputFolder = optarg;
                break;
            case 'r': options.recursive = true; break;
            case 'f':
                options.format = Format(optarg);
                options.formatGiven = true;
                break;
            case kQuality: options.writer.jpegQuality = Number(optarg, "--quality", 1, 100); break;
            case 'j': options.jobs = Number(optarg, "-j/--jobs", 1, kMaxJobs); break;
            case kThreads: options.threads = Number(optarg, "--threads", 1, kMaxThreads); break;
            case 'q': options.quiet = true; break;
            case 'h': options.help = true; break;
            case 'V': options.version = true; break;
            case ':':
                throw UsageError("option " + Spelled(argc, argv, optopt) + " needs a value");
            default:
                throw UsageError("unknown option " + Spelled(argc, argv, optopt));
        }
    }
    for (int i = optind; i < argc; ++i) options.inputs.emplace_back(argv[i]);
    if (options.inputs.empty() && !options.help && !options.version) throw UsageError("no input file given");
    return options;
}

const char* HelpText() {
    return "Usage: whiten-pages [OPTIONS] FILE...\n"
           "Makes the paper of scanned pages white: JPEG, PNG, TIFF (every page) and\n"
           "24-bit BMP files in, gray pages out, into the folder Result beside each input.\n"
           "A folder among the files gives the pages in it, sorted by name, but for its\n"
           "Result (or DIR) folder and the files that are no pages.\n"
           "\n"
           "  -o, --output DIR     write every output into DIR instead\n"
           "  -r, --recursive      with a folder, the pages in its sub-folders too\n"
           "  -f, --format FORMAT  png (the default), tiff, jpeg or bmp; a multi-page\n"
           "                       input gives one multi-page TIFF unless png, jpeg or bmp\n"
           "                       is asked for, which give NAME-0001.png, NAME-0002.png ...\n"
           "      --quality N      JPEG quality, 1 to 100 (default 90)\n"
           "  -j, --jobs N         pages whitened at once (default: the number of cores)\n"
           "      --threads N      threads whitening each page (default: cores / jobs)\n"
           "  -q, --quiet          no progress, no line per page, no summary\n"
           "  -h, --help           this text\n"
           "  -V, --version        the program's version\n"
           "\n"
           "Exit status: 0 every page whitened, 1 some page refused or failed, or the run\n"
           "stopped, 2 a bad command line. See whiten-pages(1).\n";
}
