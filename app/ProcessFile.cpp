// The per-file job: name check, Result folder, progress line, load, whitening
// and save of one page, and the result code the argument loop acts on.
#include "app/ProcessFile.h"

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"
#include "platform/Path.h"
#include "platform/StandardOutput.h"
#include "platform/SystemError.h"
#include "whiten/WhitenPage.h"

namespace {

// ".bmp" in any letter case; ASCII only, independent of the locale.
bool IsBmpExtension(const std::string& extension) {
    static const char kBmp[] = ".bmp";
    if (extension.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kBmp[i]) return false;
    }
    return true;
}

}  // namespace

int ProcessFile(const std::string& path) {
    if (!IsBmpExtension(platform::PathExtension(path))) return kJobRefused;

    const std::string strSourceFolder = platform::PathFolder(path);
    const std::string strTargetFileName = platform::PathFileName(path);
    const std::string strTargetFolder = platform::PathJoin(strSourceFolder, "Result");
    const std::error_code folderError = platform::MakeFolders(strTargetFolder);
    std::printf("strTargetFolder = %s, strTargetFileName = %s\n", strTargetFolder.c_str(), strTargetFileName.c_str());
    platform::NoteStandardOutputError();
    if (!platform::IsFolder(strTargetFolder)) {
        const std::string message = "TargetPath " + strTargetFolder + " is NOT exist";
        std::printf("%s\n", message.c_str());
        platform::NoteStandardOutputError();
        // Standard output keeps its line as it always was; standard error says why.
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", platform::WithReason(message, folderError).c_str());
        return kJobNoTargetFolder;
    }

    auto input = std::make_unique<CBmp24_<0>>();
    try {
        // Checked again as it is read: the file may have been replaced since.
        if (!input->IsThisType(path) || !input->LoadIfThisType(path)) {
            std::printf("File type is NOT Bmp24!\n");
            platform::NoteStandardOutputError();
            return kJobRefused;
        }
    } catch (const BmpFileBroken& broken) {
        std::printf("File is broken: %s\n", broken.what());
        platform::NoteStandardOutputError();
        return kJobRefused;
    }

    // Where Result is the input's own folder (a link to ".") or the input a link
    // to its output, the save would replace the scan itself: the run stops
    // there, as for an output that cannot be written, before anything is written.
    const std::string strOutputPath = platform::PathJoin(strTargetFolder, strTargetFileName);
    if (platform::IsSameFile(path, strOutputPath))
        throw std::string("ProcessFile : can't write " + strOutputPath + ": it is the input file " + path);

    // The input image becomes the output page in place.
    WhitenPage(*input);
    input->Save(strOutputPath);
    return kJobDone;
}
