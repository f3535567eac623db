// Signal handlers that unlink a path prepared beforehand and then re-raise the
// signal with its default action; only async-signal-safe calls in between.
#if !defined(_WIN32)

#include "platform/InterruptCleanup.h"

#include <csignal>
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

// Read by the handler; changed only while the signals are blocked.
const char* volatile pathToRemove = nullptr;
struct sigaction previous[kMaxSignal];
bool installed[kMaxSignal];
// Holds nest; the outermost one restores the mask it found.
int holdDepth = 0;
sigset_t maskBeforeHold;

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
    if (const char* path = pathToRemove) ::unlink(path);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    // Blocked until the handler returns, then delivered with its default action.
    ::raise(signal);
}

}  // namespace

InterruptCleanup::InterruptCleanup() {
    struct sigaction handler {};
    handler.sa_sigaction = RemoveAndReraise;
    handler.sa_flags = SA_SIGINFO;
    handler.sa_mask = Interrupts();
    ForEachSignal([&handler](int signal) {
        installed[signal] = false;
        // Only signals at their default action: ignored ones stay ignored, and
        // a handler of the program's own (a test driver's timer, say) keeps them.
        if (sigaction(signal, nullptr, &previous[signal]) != 0 || (previous[signal].sa_flags & SA_SIGINFO) != 0 ||
            previous[signal].sa_handler != SIG_DFL)
            return;
        installed[signal] = sigaction(signal, &handler, nullptr) == 0;
    });
}

InterruptCleanup::~InterruptCleanup() {
    Forget();
    ForEachSignal([](int signal) {
        if (installed[signal]) sigaction(signal, &previous[signal], nullptr);
    });
}

InterruptCleanup::Hold::Hold() {
    if (holdDepth++ > 0) return;
    const sigset_t set = Interrupts();
    pthread_sigmask(SIG_BLOCK, &set, &maskBeforeHold);
}

InterruptCleanup::Hold::~Hold() {
    if (--holdDepth == 0) pthread_sigmask(SIG_SETMASK, &maskBeforeHold, nullptr);
}

void InterruptCleanup::Remember(const std::string& path) {
    const Hold hold;
    pathToRemove = nullptr;
    path_ = path;
    if (!path_.empty()) pathToRemove = path_.c_str();
}

}  // namespace platform

#endif
