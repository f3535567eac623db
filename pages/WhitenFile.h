// One file's whole job, as whiten-pages does it for each of its inputs: for
// callers that whiten one file a call (the Python module's whiten_file, a
// scale-out that reruns only the files whose outputs are missing).
#pragma once

#include <optional>
#include <string>

#include "formats/PageWriter.h"
#include "pages/FileOutcome.h"

struct WhitenFileRequest {
    std::string input;
    // The file to write; its folder is made, with any missing folder above
    // it. The pages of a multi-page input written one a file (any format but
    // TIFF) go to STEM-0001.EXT, STEM-0002.EXT ... beside it instead, STEM and
    // EXT being the output's name without and with its extension as given
    // ("out/p.PNG": "out/p-0001.PNG"); to TIFF they all go into the output.
    std::string output;
    // None: the format of the output's extension, in any letter case: .png,
    // .tif, .tiff, .jpg, .jpeg, .bmp.
    std::optional<OutputFormat> format;
    WriterOptions writer;
    int threads = 0;  // threads whitening each page (one page at a time); 0: every core
    // True: when every output the file would make is there already, nothing
    // is written, no page decoded, and the outcome says skipped. The input is
    // opened only to count its pages, and not at all for a TIFF output.
    bool keepExisting = false;
    // The names the outcome and its lines give the input and the output (and
    // the names made from it), when the paths opened are not the caller's own
    // (made absolute for another process); empty: the paths themselves.
    std::string shownInput;
    std::string shownOutput;
};

// The same run as whiten-pages with this one input and its output: the same
// pages, bytes and lines. An output is complete or absent and never replaces
// the input (that page is refused: "its output OUT would replace an input").
// Throws std::invalid_argument, before anything is read, for an output whose
// format cannot be told (the message names its extension), an empty output,
// a JPEG quality outside 1 .. 100 or a negative number of threads; std::bad_alloc when the
// run itself cannot be set up. Everything else is told in the outcome. Calls
// may run at once on different threads, each with outputs of its own.
WhitenFileOutcome WhitenFile(const WhitenFileRequest& request);

// The format of a file by its extension, in any letter case; throws
// std::invalid_argument naming the extension for any other.
OutputFormat FormatOfExtension(const std::string& path);
