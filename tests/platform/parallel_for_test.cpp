// ParallelFor when the system refuses some of its worker threads: every item is
// still done once, by the threads that did start, and a body's error still
// reaches the caller.
#include "platform/ParallelFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Starts `allowed` workers, then fails as std::thread does when the system
// refuses a thread (or the memory for its state).
struct FailingStart {
    int allowed;
    bool outOfMemory;
    std::atomic<int>* started;
    template <class Run>
    std::thread operator()(Run& run, int worker) const {
        if (started->load() == allowed) {
            if (outOfMemory) throw std::bad_alloc();
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        ++*started;
        return std::thread(run, worker);
    }
};

TEST(ParallelFor, RefusedThreadStartsLeaveTheWorkToTheStartedOnes) {
    struct Case { const char* name; int threads; int allowed; bool outOfMemory; };
    const Case cases[] = {
        {"no worker starts", 8, 0, false},
        {"the first of seven starts", 8, 1, false},
        {"five of seven start", 8, 5, false},
        {"memory runs out after two", 8, 2, true},
        {"one of one starts", 2, 1, false},
    };
    constexpr std::int64_t kItems = 20000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::atomic<int>> done(kItems);
        std::vector<std::atomic<bool>> workerSeen(static_cast<std::size_t>(c.threads));
        std::atomic<int> started{0};
        ParallelFor(kItems, c.threads, [&](std::int64_t item, int worker) {
            ++done[static_cast<std::size_t>(item)];
            workerSeen[static_cast<std::size_t>(worker)] = true;
        }, FailingStart{c.allowed, c.outOfMemory, &started});
        for (std::int64_t i = 0; i < kItems; ++i) ASSERT_EQ(done[static_cast<std::size_t>(i)].load(), 1) << i;
        for (int w = c.allowed + 1; w < c.threads; ++w) EXPECT_FALSE(workerSeen[static_cast<std::size_t>(w)]) << w;

        started = 0;
        EXPECT_THROW(ParallelFor(kItems, c.threads, [](std::int64_t item, int) {
            if (item == kItems / 2) throw std::string("body failed");
        }, FailingStart{c.allowed, c.outOfMemory, &started}), std::string);
    }
}

}  // namespace
