// The bytes the tool should write for a page, made in process with the
// straightforward reference flattening, for comparing against what the job and
// the binary write.
#pragma once

#include <string>

#include "image/CBmp24.h"
#include "support/temp_dir.h"
#include "reference/Reference.h"

namespace testbmp {

inline std::string WhitenedReference(const std::string& pageBytes) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "in.bmp", pageBytes);
    CBmp24_<0> page;
    page.Load(dir / "in.bmp");
    WhitenPageReference(page);
    page.Save(dir / "out.bmp");
    return testsupport::ReadFile(dir / "out.bmp");
}

}  // namespace testbmp
