// The page storage and transforms every reader shares.
#include "formats/PageDecoding.h"

#include "platform/LargeBlock.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace formats {

void CheckPageSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels) {
    const std::string problem = limits::PageSizeProblem(width, height, maxPixels);
    if (!problem.empty()) throw PageRefused(problem);
}

void StartPage(PageImage& page, std::int64_t width, std::int64_t height, int channels, std::int64_t maxPixels) {
    CheckPageSize(width, height, maxPixels);
    page.samples.clear();
    page.samples.shrink_to_fit();
    page.width = static_cast<std::int32_t>(width);
    page.height = static_cast<std::int32_t>(height);
    page.channels = channels;
}

std::uint8_t* AddRows(PageImage& page, std::int64_t rows) {
    const std::size_t rowBytes = static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.channels);
    const std::size_t held = page.samples.size();
    const std::size_t wanted = static_cast<std::size_t>(rows) * rowBytes;
    if (wanted > page.samples.capacity()) {
        // Doubling up to 1 MiB, then the whole page at once: a file whose data
        // end or break in its first rows takes little, and a page that decodes
        // is moved only once, while small. (Doubling up to the page's size
        // copied and faulted in its rows again and again: whiten-pages took
        // 27 % more wall time on a book of A4 JPEG pages.)
        constexpr std::size_t kSmall = std::size_t{1} << 20;
        const std::size_t whole = static_cast<std::size_t>(page.height) * rowBytes;
        const std::size_t doubled = std::max(wanted, 2 * page.samples.capacity());
        page.samples.reserve(doubled < kSmall ? doubled : whole);
        if (doubled >= kSmall) platform::AdviseLargeBlock(page.samples.data(), page.samples.capacity());
    }
    page.samples.resize(std::max(held, wanted));
    return page.samples.data() + held;
}

void ApplyOrientation(PageImage& page, int orientation) {
    if (orientation < 2 || orientation > 8) return;
    // Shown pixel (x, y) is stored pixel (ix, iy): swapped for 5 .. 8, then mirrored.
    const bool transposed = orientation >= 5;
    const bool flipX = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool flipY = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    const std::size_t w = static_cast<std::size_t>(page.width);
    const std::size_t h = static_cast<std::size_t>(page.height);
    const std::size_t c = static_cast<std::size_t>(page.channels);
    const std::size_t outW = transposed ? h : w;
    const std::size_t outH = transposed ? w : h;
    std::vector<std::uint8_t> out(page.samples.size());
    for (std::size_t y = 0; y < outH; ++y) {
        std::uint8_t* row = out.data() + y * outW * c;
        for (std::size_t x = 0; x < outW; ++x) {
            std::size_t ix = transposed ? y : x;
            std::size_t iy = transposed ? x : y;
            if (flipX) ix = w - 1 - ix;
            if (flipY) iy = h - 1 - iy;
            std::memcpy(row + x * c, page.samples.data() + (iy * w + ix) * c, c);
        }
    }
    page.samples = std::move(out);
    page.width = static_cast<std::int32_t>(outW);
    page.height = static_cast<std::int32_t>(outH);
    if (transposed) std::swap(page.dpiX, page.dpiY);
}

}  // namespace formats
