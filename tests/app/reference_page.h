// The bytes the tool should write for a page, made in process with the
// straightforward reference flattening, for comparing against what the job and
// the binary write.
#pragma once

#include <string>

#include "image/CBmp24.h"
#include "image/GrayConversion.h"
#include "support/temp_dir.h"
#include "whiten/FlattenBackground.h"
#include "whiten/ToneMap.h"

namespace testbmp {

inline std::string WhitenedReference(const std::string& pageBytes) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "in.bmp", pageBytes);
    CBmp24_<0> input;
    input.Load(dir / "in.bmp");
    CArray2D<float> plane;
    BitmapToGray(plane, input, 1);
    FlattenBackground(plane);
    ToneMap(plane, 1);
    CBmp24_<0> output(CBmp24_<0>::empty);
    GrayToBitmap(output, plane, 1);
    output.Save(dir / "out.bmp");
    return testsupport::ReadFile(dir / "out.bmp");
}

}  // namespace testbmp
