// The files a run reads, known by device and inode and by their resolved
// path, so that no output is ever written over one of them (through another
// spelling of its path, a symbolic or a hard link).
#pragma once

#include <set>
#include <string>
#include <utility>

#include <sys/types.h>

class InputIdentities {
public:
    // Records an input; one that cannot be looked at now is known by its path alone.
    void Add(const std::string& input);
    // True when writing `output` would replace one of the inputs;
    // `resolvedOutput` is its ResolvedPath, or its folder's and its name.
    bool IsInput(const std::string& output, const std::string& resolvedOutput) const;

private:
    std::set<std::pair<dev_t, ino_t>> files_;
    std::set<std::string> paths_;
};

// The path with "." and ".." resolved and symbolic links followed as far as
// the path exists; two spellings of one place give the same text.
std::string ResolvedPath(const std::string& path);
