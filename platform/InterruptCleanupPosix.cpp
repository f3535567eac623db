// Signal handlers that unlink a path prepared beforehand and then re-raise the
// signal with its default action; only async-signal-safe calls in between.
#if !defined(_WIN32)

#include "platform/InterruptCleanup.h"

#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// Read by the handler; changed only while the signals are blocked.
const char* volatile pathToRemove = nullptr;
struct sigaction previous[kSignalCount];
bool installed[kSignalCount];
// Holds nest; the outermost one restores the mask it found.
int holdDepth = 0;
sigset_t maskBeforeHold;

sigset_t Interrupts() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) sigaddset(&set, signal);
    return set;
}

extern "C" void RemoveAndReraise(int signal) {
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
    handler.sa_handler = RemoveAndReraise;
    handler.sa_mask = Interrupts();
    for (int i = 0; i < kSignalCount; ++i) {
        installed[i] = false;
        if (sigaction(kSignals[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN) continue;
        installed[i] = sigaction(kSignals[i], &handler, nullptr) == 0;
    }
}

InterruptCleanup::~InterruptCleanup() {
    Forget();
    for (int i = 0; i < kSignalCount; ++i)
        if (installed[i]) sigaction(kSignals[i], &previous[i], nullptr);
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
