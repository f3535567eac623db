// A run's inputs listed and their outputs planned as whiten-pages plans them,
// but not whitened: for a front end that has each input whitened elsewhere,
// one WhitenFile call a file (whiten.dask's workers).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pages/FileOutcome.h"
#include "pages/OutputNames.h"
#include "pages/PageRun.h"

struct PlannedFile {
    std::string input;   // as listed: named, or found in a folder named
    OutputPlan outputs;  // the outputs' folder, the format chosen and their names
    // The output to give WhitenFile, with that format, for it to write every
    // one of them: paths[0], or the name pages one a file are numbered after.
    std::string output;
    // The outcome of an input whose outputs cannot be written (one would
    // replace an input, or is another input's output too): each page refused
    // unread, with whiten-pages' lines. Empty for an input to whiten.
    std::optional<WhitenFileOutcome> refused;
};

// The inputs of `settings` (its inputs, recursive, outputFolder, formatGiven
// and format) in the order whiten-pages takes them, each file opened once to
// count its pages (a file found in a folder that is no page is passed over).
// A file that cannot be opened is planned as one page; why, its WhitenFile
// tells. Whether outputs exist already is WhitenFile's to tell (keepExisting).
std::vector<PlannedFile> PlanFiles(const RunSettings& settings);
