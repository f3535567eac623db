// Where the pages of one input go: the folder Result beside it or the folder
// the user named, the input's name with the output format's extension, and
// for the pages of a multi-page input written one a file, NAME-0001.EXT ...
#pragma once

#include <string>
#include <vector>

#include "formats/PageWriter.h"

struct OutputPlan {
    std::string folder;                // made before the first output is written
    OutputFormat format = OutputFormat::Png;
    bool oneFile = false;              // every page into paths[0] (a multi-page TIFF)
    std::vector<std::string> paths;    // one path, or one a page
};

// `formatGiven` false: PNG, and one multi-page TIFF for an input of several pages.
OutputPlan PlanOutputs(const std::string& input, int pageCount, bool formatGiven, OutputFormat format,
                       const std::string& outputFolder);
// An output the caller named: `output` itself, or for the pages of a
// multi-page input written one a file, STEM-0001.EXT ... beside it (EXT as
// `output` spells it).
OutputPlan PlanOutputsAt(const std::string& output, int pageCount, OutputFormat format);

// The extension of the format's files, with its dot (".png", ".tif", ".jpg", ".bmp").
const char* FormatExtension(OutputFormat format);
