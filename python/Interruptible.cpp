// The engine on a thread of its own while Python's main thread watches for signals.
#include "python/Interruptible.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/ParallelFor.h"

namespace py = pybind11;

namespace wrap {
namespace {

// How often the waiting thread looks for signals: a Ctrl-C is answered within
// this and the engine's longest item (a block of rows), and the GIL is taken
// twenty times a second, which other Python threads do not notice.
constexpr std::chrono::milliseconds kSignalCheck{50};

bool OnMainThread() {
    const py::object main = py::module_::import("threading").attr("main_thread")();
    return main.attr("ident").cast<unsigned long>() == PyThread_get_thread_ident();
}

// One run of `work` on its own thread, and what the waiting thread learns of it.
class Watched {
public:
    explicit Watched(const std::function<void()>& work) : work_(work) {}

    // Starts the thread; false when the system gives none.
    bool Start() {
        try {
            thread_ = std::thread([this] { Run(); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    // Waits, the GIL released, until `work` is done; true when a signal
    // handler raised meanwhile (its exception is then set in Python).
    bool Wait() {
        bool interrupted = false;
        {
            py::gil_scoped_release release;
            std::unique_lock<std::mutex> guard(lock_);
            while (!finished_.wait_for(guard, kSignalCheck, [this] { return done_; })) {
                guard.unlock();
                {
                    py::gil_scoped_acquire acquire;
                    interrupted = PyErr_CheckSignals() != 0;
                }
                guard.lock();
                if (interrupted) {
                    stop_ = true;
                    finished_.wait(guard, [this] { return done_; });
                }
            }
            guard.unlock();
            thread_.join();
        }
        return interrupted;
    }

    // The exception `work` ended with, if any.
    void Rethrow() const {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    void Run() {
        tStopRequest = &stop_;
        try {
            work_();
        } catch (...) {
            failure_ = std::current_exception();
        }
        const std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
        finished_.notify_one();
    }

    const std::function<void()>& work_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::exception_ptr failure_;
    std::mutex lock_;
    std::condition_variable finished_;
    bool done_ = false;
};

}  // namespace

void RunInterruptibly(const std::function<void()>& work) {
    Watched watched(work);
    if (!OnMainThread() || !watched.Start()) {
        py::gil_scoped_release release;
        work();
        return;
    }
    if (watched.Wait()) throw py::error_already_set();
    watched.Rethrow();
}

}  // namespace wrap
