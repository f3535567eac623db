// Identity by stat(): what a path names now, links followed.
#include "pages/InputIdentities.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

std::string ResolvedPath(const std::string& path) {
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return error ? path : resolved.string();
}

void InputIdentities::Add(const std::string& input) {
    struct stat status {};
    if (stat(input.c_str(), &status) == 0) files_.insert({status.st_dev, status.st_ino});
    paths_.insert(ResolvedPath(input));
}

bool InputIdentities::IsInput(const std::string& output, const std::string& resolvedOutput) const {
    struct stat status {};
    if (stat(output.c_str(), &status) == 0 && files_.count({status.st_dev, status.st_ino}) != 0) return true;
    return paths_.count(resolvedOutput) != 0;
}
