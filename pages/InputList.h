// The inputs of a run: the files named, and the pages in the folders named.
#pragma once

#include <string>
#include <vector>

struct Input {
    std::string path;
    bool inFolder = false;  // found in a folder: passed over quietly when it is no page
    std::string listError;  // a folder that could not be read: its one line, told as a failed page
};

// Each argument in order: a folder (links followed) gives its files sorted by
// name, and with `recursive` its sub-folders' too, where they sort (links to
// folders are not followed inside a folder); anything else is an input as it
// is. The run's own output folders are passed over, named or found: the folder
// `outputFolder`, or without one every folder named Result.
std::vector<Input> ListInputs(const std::vector<std::string>& arguments, bool recursive,
                              const std::string& outputFolder);
