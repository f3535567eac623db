// libwhiten: makes the paper of a scanned page held in memory white.
//
// A page is whitened exactly as the whiten tool whitens a 24-bit bitmap of the
// same picture: the output bytes are the gray bytes the tool writes. Calls keep
// no state and may run at once on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace whiten {

// Each side of a page is 1 .. kMaxSide pixels, and a page has at most
// kMaxPixels pixels (fewer than 2^30), as for the tool.
inline constexpr std::int64_t kMaxSide = std::int64_t{1} << 20;
inline constexpr std::int64_t kMaxPixels = (std::int64_t{1} << 30) - 1;

// A page of 8-bit samples, top row first: `width` x `height` pixels of
// `channels` samples each, row y at samples + y * stride (the stride may be
// negative, for a page stored bottom row first).
//   channels 1: gray;
//   channels 3: three colour bytes in any order (the gray level is their
//               truncated mean, so the order does not matter);
//   channels 4: three colour bytes and a fourth that is ignored.
struct Page {
    const std::uint8_t* samples = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
    int channels = 1;
};

// A whitened page: `width` x `height` gray bytes, rows top first, no padding.
struct GrayPage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> bytes;
};

// Whitens `page` into the caller's gray buffer: row y of the result at
// gray + y * grayStride, `width` bytes each; nothing else is written. A gray
// page may be whitened in place (gray == page.samples, same stride); otherwise
// the buffer must not overlap the page.
// `threads`: 0 uses every core (DefaultThreads()); a larger count than can
// run is lowered, before anything is sized, to at most 4 a core and at most
// the page's longer side, so that memory does not grow with the count. The
// bytes are the same for any count.
// Throws std::invalid_argument with a one-line message naming the limit for a
// null pointer, a side outside 1 .. kMaxSide, more than kMaxPixels pixels,
// channels other than 1, 3 or 4, a stride shorter than a row, an overlap or a
// negative thread count; std::bad_alloc when storage cannot be had.
// Memory beyond the buffers: one float per pixel and small working sets.
void WhitenInto(const Page& page, std::uint8_t* gray, std::ptrdiff_t grayStride, int threads = 0);

// WhitenInto on a new buffer of width x height bytes.
GrayPage Whiten(const Page& page, int threads = 0);

// The threads a call with `threads` 0 uses: the machine's cores.
int DefaultThreads();

// The library's version, "MAJOR.MINOR.PATCH".
const char* Version();

}  // namespace whiten
