// Watches the blocks a test program takes from the global allocation functions:
// the most bytes held at once while a watch is on. Include in exactly one
// source file of a test program: it replaces operator new and delete for the
// whole program.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace testsupport {

inline std::atomic<bool> allocationWatchOn{false};
inline std::atomic<std::ptrdiff_t> heldWhileWatched{0};  // taken minus given back since the watch began
inline std::atomic<std::ptrdiff_t> mostHeldWhileWatched{0};

// The most bytes held at once, beyond those held before, while `work` ran.
template <class Work>
std::size_t PeakBytesHeldBy(Work&& work) {
    heldWhileWatched = 0;
    mostHeldWhileWatched = 0;
    allocationWatchOn = true;
    work();
    allocationWatchOn = false;
    return static_cast<std::size_t>(mostHeldWhileWatched.load());
}

// Each block carries its size in a header of its own, so that a release can be counted.
constexpr std::size_t kWatchHeader = alignof(std::max_align_t);

inline void NoteHeld(std::ptrdiff_t change) {
    if (!allocationWatchOn.load(std::memory_order_relaxed)) return;
    const std::ptrdiff_t held = heldWhileWatched += change;
    std::ptrdiff_t most = mostHeldWhileWatched.load();
    while (held > most && !mostHeldWhileWatched.compare_exchange_weak(most, held)) {
    }
}

}  // namespace testsupport

// The replaced operators pair malloc with free themselves; GCC cannot see that
// through the inlined calls and would warn about a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t bytes) {
    auto* block = static_cast<unsigned char*>(std::malloc(bytes + testsupport::kWatchHeader));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = bytes;
    testsupport::NoteHeld(static_cast<std::ptrdiff_t>(bytes));
    return block + testsupport::kWatchHeader;
}
void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}
void operator delete(void* block) noexcept {
    if (block == nullptr) return;
    auto* start = static_cast<unsigned char*>(block) - testsupport::kWatchHeader;
    testsupport::NoteHeld(-static_cast<std::ptrdiff_t>(*reinterpret_cast<std::size_t*>(start)));
    std::free(start);
}
void operator delete[](void* block) noexcept {
    ::operator delete(block);
}
void operator delete(void* block, std::size_t) noexcept {
    ::operator delete(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    ::operator delete(block);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, const std::nothrow_t& tag) noexcept {
    return ::operator new(bytes, tag);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    ::operator delete(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    ::operator delete(block);
}
