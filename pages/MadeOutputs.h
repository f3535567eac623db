// The outputs a run has made, known by the file each name reaches (device
// and inode), so that a later output whose name reaches one of them (names
// that differ in letter case only, on a case-insensitive file system) is
// refused instead of replacing it.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <sys/types.h>

#include "formats/PageWriter.h"

class MadeOutputs {
public:
    // Commits `writer`, the output `path` (`shownPath` in lines) of the input
    // shown as `shownInput`, and records the file it made; commits take turns.
    // Throws PageRefused ("its output PATH is already the output of INPUT")
    // when `path` now names an output of this run, which is then left as it
    // is; the writer's errors as PageWriter::Commit.
    void Commit(PageWriter& writer, const std::string& path, const std::string& shownPath,
                const std::string& shownInput);

private:
    std::mutex lock_;
    std::map<std::pair<dev_t, ino_t>, std::string> inputOf_;  // the shown input
};
