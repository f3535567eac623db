#include "image/PageLimits.h"

namespace limits {

std::string PageSizeProblem(std::int64_t width, std::int64_t height, std::int64_t maxPixels) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width < 1 || height < 1) return size + ": an empty page";
    if (!FitsLimits(width, height, maxPixels))
        return size + ": beyond the largest page (" + std::to_string(kMaxSide) + " pixels a side, " +
               std::to_string(maxPixels) + " in all)";
    return {};
}

}  // namespace limits
