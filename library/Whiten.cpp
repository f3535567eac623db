// The library's entry points: a caller's page is checked once, then whitened
// through the tool's page stage with its rows in the order the tool holds them.
#include "library/whiten.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>

#include "array/UnclearedStorage.h"
#include "image/GrayConversion.h"
#include "image/PageLimits.h"
#include "platform/ParallelFor.h"
#include "whiten/WhitenPage.h"

#ifndef WHITEN_VERSION
#error "WHITEN_VERSION must name the project's version"
#endif

namespace whiten {

// The public header states the limits for callers; they are the engine's own.
static_assert(kMaxSide == limits::kMaxSide && kMaxPixels == limits::kMaxPixels);

namespace {

[[noreturn]] void Refuse(const std::string& what) { throw std::invalid_argument("whiten: " + what); }

// The bytes [first, last) that `height` rows of `rowBytes` bytes, `stride`
// apart, cover. Unsigned arithmetic, so a negative stride wraps as it should.
struct ByteSpan {
    std::uintptr_t first, last;
    bool Overlaps(const ByteSpan& other) const { return first < other.last && other.first < last; }
};
ByteSpan RowsSpan(const std::uint8_t* start, std::int32_t height, std::ptrdiff_t stride, std::int64_t rowBytes) {
    const auto base = reinterpret_cast<std::uintptr_t>(start);
    const std::int64_t lastRow = static_cast<std::int64_t>(height - 1) * stride;
    return {base + static_cast<std::uintptr_t>(std::min<std::int64_t>(lastRow, 0)),
            base + static_cast<std::uintptr_t>(std::max<std::int64_t>(lastRow, 0) + rowBytes)};
}

// A row stride that reaches every row without overflowing the address arithmetic.
void CheckStride(const char* what, std::ptrdiff_t stride, std::int64_t rowBytes, std::int32_t height) {
    // The most negative stride has no magnitude that fits: it is compared before any is taken.
    const bool mostNegative = stride == std::numeric_limits<std::ptrdiff_t>::min();
    const std::int64_t magnitude = mostNegative ? 0 : stride < 0 ? -static_cast<std::int64_t>(stride) : stride;
    if (mostNegative || magnitude < rowBytes)
        Refuse(std::string(what) + " row stride must be at least " + std::to_string(rowBytes) + " bytes, got " +
               std::to_string(stride));
    if (magnitude > (std::numeric_limits<std::int64_t>::max() - rowBytes) / height)
        Refuse(std::string(what) + " row stride " + std::to_string(stride) + " is too large for " +
               std::to_string(height) + " rows");
}

void CheckPage(const Page& page, int threads) {
    if (threads < 0) Refuse("threads must be 0 (every core) or more, got " + std::to_string(threads));
    if (page.channels != 1 && page.channels != 3 && page.channels != 4)
        Refuse("channels must be 1, 3 or 4, got " + std::to_string(page.channels));
    const std::string problem = limits::PageSizeProblem(page.width, page.height);
    if (!problem.empty()) Refuse(problem);
    if (page.samples == nullptr) Refuse("the page's samples are null");
    CheckStride("the page's", page.stride, static_cast<std::int64_t>(page.width) * page.channels, page.height);
}

void CheckOutput(const Page& page, const std::uint8_t* gray, std::ptrdiff_t grayStride) {
    if (gray == nullptr) Refuse("the output buffer is null");
    CheckStride("the output's", grayStride, page.width, page.height);
    const bool inPlace = page.channels == 1 && gray == page.samples && grayStride == page.stride;
    if (!inPlace && RowsSpan(gray, page.height, grayStride, page.width)
                        .Overlaps(RowsSpan(page.samples, page.height, page.stride,
                                           static_cast<std::int64_t>(page.width) * page.channels)))
        Refuse("the output overlaps the page (only a gray page may be whitened in place, with its own stride)");
}

// The tool whitens a bitmap's rows in the order the file holds them, bottom
// row first: its row y is the picture's row height - 1 - y.
GrayBytes BottomRowFirst(const std::uint8_t* topRow, std::ptrdiff_t stride, std::int32_t width, std::int32_t height) {
    return {topRow + static_cast<std::ptrdiff_t>(height - 1) * stride, -stride, width, height};
}

// Each pixel's gray level (the truncated mean of its first three samples) into
// the gray buffer, which then holds the page the flattening reads.
GrayBytes GrayLevelsInto(const Page& page, std::uint8_t* gray, std::ptrdiff_t grayStride, int threads) {
    ParallelFor(page.height, threads, [&](std::int64_t row, int) {
        GrayLevelsOfRow(page.samples + static_cast<std::ptrdiff_t>(row) * page.stride, page.channels, page.width,
                        gray + static_cast<std::ptrdiff_t>(row) * grayStride);
    });
    return BottomRowFirst(gray, grayStride, page.width, page.height);
}

// The working sets of every phase are sized by the thread count, while no
// phase shares out more items than the page has rows or columns, and threads
// beyond a few a core only take turns: a count beyond both is lowered before
// anything is sized, so that memory follows the page, not the argument.
constexpr std::int64_t kThreadsPerCore = 4;

int UsableThreads(const Page& page, int threads) {
    const int asked = threads == 0 ? DefaultThreads() : threads;
    const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::int64_t most = std::min<std::int64_t>(std::max(page.width, page.height), kThreadsPerCore * cores);
    return static_cast<int>(std::clamp<std::int64_t>(asked, 1, most));
}

}  // namespace

void WhitenInto(const Page& page, std::uint8_t* gray, std::ptrdiff_t grayStride, int threads) {
    CheckPage(page, threads);
    CheckOutput(page, gray, grayStride);
    const int workers = UsableThreads(page, threads);
    try {
        UnclearedPlane flattened(page.width, page.height);
        const GrayBytes levels = page.channels == 1
                                     ? BottomRowFirst(page.samples, page.stride, page.width, page.height)
                                     : GrayLevelsInto(page, gray, grayStride, workers);
        const ToneByteMap toneBytes = FlattenForToneBytes(levels, flattened.plane, workers);
        const CArray2D<float>& values = flattened.plane;
        ParallelFor(page.height, workers, [&](std::int64_t row, int) {
            const auto y = static_cast<std::int32_t>(row);
            std::uint8_t* out = gray + static_cast<std::ptrdiff_t>(page.height - 1 - y) * grayStride;
            toneBytes.WriteBytes(values.Row(values.yFirst() + y), page.width, out);
        });
    } catch (const std::string& message) {
        // The engine's own errors; the checks above leave none but storage.
        throw std::runtime_error(message);
    }
}

GrayPage Whiten(const Page& page, int threads) {
    CheckPage(page, threads);
    GrayPage result;
    result.width = page.width;
    result.height = page.height;
    result.bytes.resize(static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height));
    WhitenInto(page, result.bytes.data(), page.width, threads);
    return result;
}

int DefaultThreads() { return DefaultThreadCount(); }

const char* Version() { return WHITEN_VERSION; }

}  // namespace whiten
