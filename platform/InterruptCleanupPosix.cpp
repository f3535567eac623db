// Signal handlers that unlink every path of the process-wide set and then
// re-raise the signal with its default action; only async-signal-safe calls
// and lock-free atomics in between.
#if !defined(_WIN32)

#include "platform/InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

// Every signal whose default action ends the process, but for the program's own
// faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS): after those its
// state cannot be trusted, and debuggers and sanitizers handle them.
constexpr int kFixedSignals[] = {
    SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGABRT, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF,
    SIGXCPU, SIGXFSZ,
#if defined(SIGPOLL)
    SIGPOLL,
#endif
#if defined(SIGPWR)
    SIGPWR,
#endif
#if defined(SIGSTKFLT)
    SIGSTKFLT,
#endif
};
constexpr int kMaxSignal = 128;

// More slots than files a process has open at once: whiten-pages holds one
// a page under way and one a multi-page output, at most 256 jobs.
constexpr int kSlots = 4096;
// An interrupt waits this long, at most, for the Holds under way to end.
constexpr int kHoldWaitMilliseconds = 2000;

static_assert(std::atomic<char*>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
              std::atomic<int>::is_always_lock_free);

std::atomic<bool> taken[kSlots];
std::atomic<char*> paths[kSlots];  // a slot's file; owned by its entry until an interrupt begins
std::atomic<bool> interrupted{false};
std::atomic<int> holds{0};         // Holds under way, on all threads

// Holds nest; the outermost one of a thread restores the mask it found.
thread_local int holdDepth = 0;
thread_local sigset_t maskBeforeHold;

template <class Each>
void ForEachSignal(Each each) {
    for (const int signal : kFixedSignals) each(signal);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    // The real-time signals end the process too; the C library keeps the first few.
    for (int signal = SIGRTMIN; signal <= SIGRTMAX && signal < kMaxSignal; ++signal) each(signal);
#endif
}

sigset_t Interrupts() {
    sigset_t set;
    sigemptyset(&set);
    ForEachSignal([&set](int signal) { sigaddset(&set, signal); });
    return set;
}

extern "C" void RemoveAndReraise(int signal, siginfo_t* info, void*) {
    // A write beyond the file size limit (ulimit -f) raises SIGXFSZ as if the
    // process had sent it to itself, and the write fails with EFBIG, which the
    // save reports as its error; so that one is let pass. SIGXFSZ from another
    // process ends this one like any other signal here.
    if (signal == SIGXFSZ && info != nullptr && info->si_code == SI_USER && info->si_pid == ::getpid()) return;
    // From here on no new file is made, and no path is freed while being read
    // here (Release). Holds under way end within a system call or two; the
    // interrupt never runs on a thread inside one, which blocks it.
    interrupted.store(true);
    for (int waited = 0; holds.load() > 0 && waited < kHoldWaitMilliseconds; ++waited) ::poll(nullptr, 0, 1);
    for (auto& slot : paths) {
        if (const char* path = slot.load()) ::unlink(path);
    }
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    // Blocked until the handler returns, then delivered with its default action.
    ::raise(signal);
}

// The signals at their default action now get the handler; those that have
// it keep it. Checked for each entry, so that a signal the program has set
// back to its default action since is taken over again (one query a signal,
// about 10 microseconds in all).
void TakeOverInterrupts() {
    struct sigaction handler {};
    handler.sa_sigaction = RemoveAndReraise;
    handler.sa_flags = SA_SIGINFO;
    handler.sa_mask = Interrupts();
    ForEachSignal([&handler](int signal) {
        // Only signals at their default action: ignored ones stay ignored, and
        // a handler of the program's own (a test driver's timer, say) keeps them.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) != 0 || (previous.sa_flags & SA_SIGINFO) != 0 ||
            previous.sa_handler != SIG_DFL)
            return;
        sigaction(signal, &handler, nullptr);
    });
}

// A path taken out of the set. Once an interrupt has begun the handler may be
// reading it, so it is left to the process's end. (The exchange that took it
// out comes before the load of `interrupted`, the handler's store before its
// loads of the slots: a handler that can still see the path sets the flag
// first, so seeing it unset means no handler will.)
void Release(char* path) {
    if (path != nullptr && !interrupted.load()) delete[] path;
}

int TakeSlot() {
    for (int slot = 0; slot < kSlots; ++slot) {
        bool expected = false;
        if (!taken[slot].load(std::memory_order_relaxed) && taken[slot].compare_exchange_strong(expected, true))
            return slot;
    }
    return -1;
}

}  // namespace

InterruptCleanup::InterruptCleanup() { TakeOverInterrupts(); }

InterruptCleanup::~InterruptCleanup() {
    if (slot_ < 0) return;
    Forget();
    taken[slot_].store(false);
}

InterruptCleanup::Hold::Hold() {
    if (holdDepth++ > 0) return;
    const sigset_t set = Interrupts();
    pthread_sigmask(SIG_BLOCK, &set, &maskBeforeHold);
    holds.fetch_add(1);
}

InterruptCleanup::Hold::~Hold() {
    if (--holdDepth > 0) return;
    holds.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &maskBeforeHold, nullptr);
}

std::error_code InterruptCleanup::Remember(const std::string& path) {
    const Hold hold;
    // Read after this Hold is counted: an interrupt that begins later waits for it.
    if (interrupted.load()) return std::make_error_code(std::errc::interrupted);
    if (slot_ < 0 && (slot_ = TakeSlot()) < 0) return std::make_error_code(std::errc::too_many_files_open);
    char* copy = new char[path.size() + 1];
    std::memcpy(copy, path.c_str(), path.size() + 1);
    Release(paths[slot_].exchange(copy));
    return {};
}

void InterruptCleanup::Forget() {
    if (slot_ < 0) return;
    const Hold hold;
    Release(paths[slot_].exchange(nullptr));
}

}  // namespace platform

#endif
