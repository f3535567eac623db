// Splits a range of independent work items across threads. Each item is done
// by exactly one thread with the same operations as on a single thread, so
// results never depend on the thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <pthread.h>
#include <sys/resource.h>
#endif

// Threads to use: the hardware's count (at least 1, at most 64), and under an
// address-space limit (ulimit -v) one for each 16 MiB of it. A worker's stack
// and scratch take well under 1 MiB on an A4 page, so whatever the core count
// they stay a few percent of the limit, and the page itself gets the rest.
inline int DefaultThreadCount() {
    const unsigned n = std::thread::hardware_concurrency();
    int threads = n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
#if !defined(_WIN32)
    constexpr rlim_t kAddressSpacePerThread = rlim_t{16} << 20;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        threads = static_cast<int>(std::clamp<rlim_t>(limit.rlim_cur / kAddressSpacePerThread, 1, static_cast<rlim_t>(threads)));
#endif
    return threads;
}

#if !defined(_WIN32)

// A worker thread with a small stack of its own. The system's default (8 MiB
// on Linux) is reserved whole for every thread, and under an address-space
// limit (ulimit -v) on a machine with many cores those reservations alone
// would take more than the page; the bodies keep their data on the heap and
// need only a few KiB.
class WorkerThread {
public:
    static constexpr std::size_t kStackBytes = std::size_t{256} << 10;

    template <class Run>
    WorkerThread(Run& run, int worker) : task_(std::make_unique<std::function<void()>>([&run, worker] { run(worker); })) {
        pthread_attr_t attributes;
        if (int error = pthread_attr_init(&attributes); error != 0) throw std::system_error(error, std::generic_category());
        // Where the system wants more (PTHREAD_STACK_MIN), its default is kept.
        pthread_attr_setstacksize(&attributes, kStackBytes);
        const int error = pthread_create(&thread_, &attributes, &Enter, task_.get());
        pthread_attr_destroy(&attributes);
        if (error != 0) throw std::system_error(error, std::generic_category());
        joinable_ = true;
    }
    WorkerThread(WorkerThread&& other) noexcept
        : task_(std::move(other.task_)), thread_(other.thread_), joinable_(std::exchange(other.joinable_, false)) {}
    WorkerThread& operator=(WorkerThread&&) = delete;
    ~WorkerThread() {
        if (joinable_) join();
    }

    void join() {
        pthread_join(thread_, nullptr);
        joinable_ = false;
    }

private:
    static void* Enter(void* task) {
        (*static_cast<std::function<void()>*>(task))();
        return nullptr;
    }

    std::unique_ptr<std::function<void()>> task_;
    pthread_t thread_{};
    bool joinable_ = false;
};

#endif

// Starts one worker thread running run(worker), which catches everything its
// body throws. Tests pass their own to make thread starts fail; theirs may
// give a std::thread, anything with join().
struct StartWorker {
    template <class Run>
    auto operator()(Run& run, int worker) const {
#if defined(_WIN32)
        return std::thread(run, worker);
#else
        return WorkerThread(run, worker);
#endif
    }
};

// A stop asked for by another thread while a long call runs (the Python
// module's Ctrl-C): a thread that points tStopRequest at a flag has the
// ParallelFor loops it starts check the flag between items, on every worker,
// and throw StopRequested once it is set.
struct StopRequested {};
inline thread_local const std::atomic<bool>* tStopRequest = nullptr;

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
    const std::atomic<bool>* stop = tStopRequest;
    const auto item = [&](std::int64_t i, int worker) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) throw StopRequested{};
        body(i, worker);
    };
    if (workers <= 1) {
        for (std::int64_t i = 0; i < count; ++i) item(i, 0);
        return;
    }
    std::atomic<std::int64_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&](int worker) {
        try {
            for (std::int64_t i = next++; i < count; i = next++) item(i, worker);
        } catch (...) {
            const std::lock_guard<std::mutex> guard(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<decltype(start(run, 1))> pool;
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
