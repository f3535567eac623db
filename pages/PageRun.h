// A run of whiten-pages: every page of every input decoded, whitened and
// written, several pages at once, each outcome told to the front end.
#pragma once

#include <string>
#include <vector>

#include "formats/PageWriter.h"
#include "pages/RunEvents.h"

struct RunSettings {
    std::vector<std::string> inputs;  // files, and folders whose pages are whitened (InputList)
    bool recursive = false;           // a folder's sub-folders too
    std::string outputFolder;   // empty: Result beside each input
    std::string outputPath;     // non-empty: the output of the only input (PlanOutputsAt), in place
                                // of outputFolder; its folder is made as outputFolder is
    // With outputPath: the names lines give the input and outputPath (and the
    // names made from it) in place of the paths opened; empty: the paths.
    std::string shownInput;
    std::string shownOutputPath;
    bool keepExisting = false;  // an input whose every output exists is passed over (RunTotals::skipped):
                                // not opened when its output is one file whatever its pages (TIFF)
    bool formatGiven = false;
    OutputFormat format = OutputFormat::Png;
    WriterOptions writer;
    int jobs = 1;               // pages at once, at least 1
    int threadsPerPage = 0;     // threads whitening each page; 0: the cores shared among
                                // the pages at once (all of them for a single page)
};

// Pages are handed out in input order. A page that is refused or fails is
// told and the run goes on; a failure that no later page can escape (the
// output folder cannot be made, the disk or quota is full, the folder is
// read-only or not writable) stops the run: no new page starts, the pages
// under way finish, and RunTotals::stopReason says why.
// Peak memory: about `jobs` pages' working sets (decoded samples, the
// whitening's float plane, the gray page).
// Throws std::invalid_argument for an outputPath with other than one input.
RunTotals RunPages(const RunSettings& settings, RunReport& report);
