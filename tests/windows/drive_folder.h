// A folder at the root of a drive letter set aside for tests, so that they can
// use paths such as D:\pages\p1.bmp without touching a real drive. The test run
// names the drive in WHITEN_TEST_DRIVE ("D:"); .ci/windows maps one to a
// temporary folder under wine.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testwin {

class DriveFolder {
public:
    // name: the folder at the drive's root, made empty for the test and removed after it.
    explicit DriveFolder(const std::string& name) {
        const char* drive = std::getenv("WHITEN_TEST_DRIVE");
        if (drive == nullptr || *drive == '\0') return;
        if (GetDriveTypeA((std::string(drive) + "\\").c_str()) == DRIVE_NO_ROOT_DIR) return;
        path_ = std::string(drive) + "\\" + name;
        std::error_code error;
        std::filesystem::remove_all(path_, error);
        if (!std::filesystem::create_directory(path_, error)) path_.clear();
    }
    ~DriveFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    DriveFolder(const DriveFolder&) = delete;
    DriveFolder& operator=(const DriveFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }  // "D:\pages"

private:
    std::string path_;
};

}  // namespace testwin
