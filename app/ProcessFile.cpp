#include "app/ProcessFile.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "array/UnclearedStorage.h"
#include "image/BmpFileBroken.h"
#include "image/CBmp24.h"
#include "image/GrayConversion.h"
#include "platform/Path.h"
#include "whiten/FlattenBackgroundFast.h"
#include "whiten/ToneBytes.h"
#include "whiten/ToneMap.h"

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
    platform::MakeFolders(strTargetFolder);
    std::printf("strTargetFolder = %s, strTargetFileName = %s\n", strTargetFolder.c_str(), strTargetFileName.c_str());
    if (!platform::IsFolder(strTargetFolder)) {
        std::printf("TargetPath %s is NOT exist\n", strTargetFolder.c_str());
        return kJobNoTargetFolder;
    }

    auto input = std::make_unique<CBmp24_<0>>();
    try {
        if (!input->IsThisType(path)) {
            std::printf("File type is NOT Bmp24!\n");
            return kJobRefused;
        }
        input->Load(path);
    } catch (const BmpFileBroken& broken) {
        std::printf("File is broken: %s\n", broken.what());
        return kJobRefused;
    }

    // The page's road: loaded image -> gray plane -> flattened plane -> output
    // image through the tone curve. Once the gray plane holds the page, the
    // loaded pixels are dead: their storage serves the flattening's byte copy of
    // the page and then becomes the output image, instead of being released and
    // asked for again. The job never holds more than it did while converting the
    // image to the plane.
    // The storage outlives the plane that uses it (declared first, destroyed last).
    std::unique_ptr<float[]> planeStorage;
    CArray2D<float> plane;
    planeStorage = GiveUnclearedStorage(plane, 0, input->Width() - 1, 0, input->Height() - 1);  // filled next
    BitmapToGray(plane, *input);
    std::vector<int> toneBins;
    FastFlattenOptions flattening;
    flattening.scratch = {input->Pixels(),
                          static_cast<std::size_t>(input->RowBytes()) * static_cast<std::size_t>(input->Height())};
    flattening.toneBins = &toneBins;
    FlattenBackgroundFast(plane, flattening);
    // The tone curve's values go straight into the output image as its bytes.
    const ToneByteMap toneBytes(FindToneCurve(plane, DefaultThreadCount(), &toneBins));
    CBmp24_<0>& output = *input;
    GrayToBitmap(output, plane, DefaultThreadCount(),
                 [&toneBytes](const float* values, std::int32_t count, std::uint8_t* pixels) {
                     toneBytes.WritePixels(values, count, pixels);
                 });
    plane.Resize(0, -1, 0, -1);
    planeStorage.reset();

    const std::string strOutputPath = platform::PathJoin(strTargetFolder, strTargetFileName);
    output.Save(strOutputPath);
    return kJobDone;
}
