// Splits a range of independent work items across threads. Each item is done
// by exactly one thread with the same operations as on a single thread, so
// results never depend on the thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Threads to use: the hardware's count (at least 1).
inline int DefaultThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
}

// Starts one worker thread running run(worker). Tests pass their own to make
// thread starts fail.
struct StartWorker {
    template <class Run>
    std::thread operator()(Run& run, int worker) const {
        return std::thread(run, worker);
    }
};

// Calls body(item, worker) for every item in [0, count), items handed out in
// order as threads become free; worker is 0 .. threads - 1 and lets a body use
// per-thread scratch. The first exception thrown by a body is rethrown here
// after every thread has stopped.
//
// A worker that cannot be started (the system's limits on threads, processes
// or address space) leaves its share to the threads already running and the
// calling thread: the results are the same for any number of threads.
template <class Body, class Start = StartWorker>
void ParallelFor(std::int64_t count, int threads, Body&& body, Start start = {}) {
    const int workers = static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(threads, count)));
    if (workers <= 1) {
        for (std::int64_t i = 0; i < count; ++i) body(i, 0);
        return;
    }
    std::atomic<std::int64_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&](int worker) {
        try {
            for (std::int64_t i = next++; i < count; i = next++) body(i, worker);
        } catch (...) {
            const std::lock_guard<std::mutex> guard(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        try {
            pool.push_back(start(run, w));  // capacity reserved: only the start can throw
        } catch (...) {
            break;
        }
    }
    run(0);
    for (auto& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}
