// The error a bitmap file raises when its headers cannot describe a sound image
// or the file does not hold what they promise. The per-file job refuses such a
// file and goes on; every other error of the bitmap class ends the run.
#pragma once

#include <stdexcept>
#include <string>

class BmpFileBroken : public std::runtime_error {
public:
    // reason: a short lower-case phrase, e.g. "pixel data is truncated".
    explicit BmpFileBroken(const std::string& reason) : std::runtime_error(reason) {}
};
