// A bindfs mount of a fresh folder: a FUSE file system, which has no unnamed
// files (O_TMPFILE), so that the named temporary file of a save is tested on a
// real one. Needs bindfs and FUSE (/dev/fuse, and root or fusermount).
#pragma once

#if !defined(_WIN32)

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace testsupport {

class BindfsMount {
public:
    BindfsMount() {
        std::filesystem::create_directory(dir_ / "back");
        std::filesystem::create_directory(dir_ / "fuse");
        mounted_ = std::system("command -v bindfs >/dev/null 2>&1") == 0 &&
                   std::system(("bindfs '" + (dir_ / "back") + "' '" + (dir_ / "fuse") + "' 2>/dev/null").c_str()) == 0;
    }
    ~BindfsMount() {
        if (mounted_)
            std::system(("fusermount -u '" + Folder() + "' 2>/dev/null || umount '" + Folder() + "'").c_str());
    }
    BindfsMount(const BindfsMount&) = delete;
    BindfsMount& operator=(const BindfsMount&) = delete;

    bool Mounted() const { return mounted_; }
    // The mounted folder; what is made there lands in Backing().
    std::string Folder() const { return dir_ / "fuse"; }
    std::string Backing() const { return dir_ / "back"; }

private:
    TempDir dir_;
    bool mounted_ = false;
};

}  // namespace testsupport

#endif
