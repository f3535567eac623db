// The command line of whiten-pages: what the user asked for, checked once here.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "formats/PageWriter.h"

// A command line that cannot be run; what() is the one-line reason.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PagesOptions {
    std::vector<std::string> inputs;  // files and folders
    bool recursive = false;        // a folder's sub-folders too
    std::string outputFolder;      // empty: the folder Result beside each input
    bool formatGiven = false;      // without --format: PNG, and one TIFF for a multi-page input
    OutputFormat format = OutputFormat::Png;
    WriterOptions writer;
    int jobs = 0;                  // 0: as many pages at once as the machine has cores
    int threads = 0;               // threads whitening one page; 0: cores shared among the jobs
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses argv with getopt_long (options and files may be mixed; "--" ends the
// options). Throws UsageError for an unknown option, a missing or bad value,
// or no file at all (unless --help or --version is given).
PagesOptions ParseOptions(int argc, char* argv[]);

// The --help text, ending in a newline.
const char* HelpText();
