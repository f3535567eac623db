// Folders are read with std::filesystem; an entry's type is taken with stat,
// so that a link to a page counts as the page.
#include "pages/InputList.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include "pages/QuotedName.h"
#include "platform/Path.h"
#include "platform/SystemError.h"

namespace {

namespace fs = std::filesystem;

class Lister {
public:
    Lister(bool recursive, const std::string& outputFolder) : recursive_(recursive), outputFolder_(outputFolder) {}

    void Argument(const std::string& path) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            inputs_.push_back({path, false, {}});
        } else if (!IsOutputFolder(path)) {
            Folder(path);
        }
    }

    std::vector<Input> Take() { return std::move(inputs_); }

private:
    void Folder(const std::string& folder) {
        std::vector<std::string> names;
        std::error_code error;
        for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error))
            names.push_back(entry->path().filename().string());
        if (error) {
            inputs_.push_back({folder, false, platform::WithReason("can't read the folder " + QuotedName(folder), error)});
            return;
        }
        std::sort(names.begin(), names.end());
        for (const auto& name : names) Entry(platform::PathJoin(folder, name));
    }

    // Only regular files can be pages; what cannot be looked at but is there may be one.
    void Entry(const std::string& path) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) inputs_.push_back({path, true, {}});  // its failure is told
        } else if (S_ISREG(status.st_mode)) {
            inputs_.push_back({path, true, {}});
        } else if (S_ISDIR(status.st_mode) && recursive_ && !IsLink(path) && !IsOutputFolder(path)) {
            Folder(path);
        }
    }

    static bool IsLink(const std::string& path) {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
    }

    bool IsOutputFolder(std::string path) const {
        if (!outputFolder_.empty()) return platform::IsSameFile(path, outputFolder_);
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return platform::PathFileName(path) == "Result";
    }

    bool recursive_;
    const std::string& outputFolder_;
    std::vector<Input> inputs_;
};

}  // namespace

std::vector<Input> ListInputs(const std::vector<std::string>& arguments, bool recursive,
                              const std::string& outputFolder) {
    Lister lister(recursive, outputFolder);
    for (const auto& argument : arguments) lister.Argument(argument);
    return lister.Take();
}
