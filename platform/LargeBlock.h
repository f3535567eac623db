// A hint for freshly allocated, untouched large blocks (planes, pixel rows):
// where the system offers it, back them with huge pages. On virtual machines a
// first touch of ordinary 4 KiB pages can cost more than the processing of the
// page itself. The hint changes no value; without support it does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

inline void AdviseLargeBlock(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    constexpr std::uintptr_t kPage = 4096;
    if (block == nullptr || bytes < kHugePage) return;
    // madvise takes whole pages: advise the pages that lie wholly inside the block.
    const auto start = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kPage - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

// Makes every block of a megabyte or more come from, and go back to, the system
// on its own, so that a freed plane no longer counts towards the process's
// memory. (By default the C library may keep freed blocks of up to 32 MiB for
// reuse, which would add a page's worth of memory to the peak.) Call once at
// start-up.
inline void ReturnLargeBlocksToSystem() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

}  // namespace platform
