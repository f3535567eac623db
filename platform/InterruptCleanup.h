// Removing half-written files when the user or the system interrupts the process.
#pragma once

#include <string>
#include <system_error>

namespace platform {

// One entry of the process-wide set of temporary files that an interrupt
// removes: every signal whose default action ends the process (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM and the others, but for the
// program's own faults such as SIGSEGV; on Windows the console's Ctrl+C,
// Ctrl+Break and close) first removes every file in the set and then ends
// the process as it would have without it: by the same signal, so that the
// caller still sees it. Each entry, as it is made, installs the handler for
// the interrupts then at their default action, and it stays for the rest of
// the process (with the set empty it only ends the process); interrupts the
// process ignores stay ignored, and those it handles itself (a fuzzing
// driver's timer) keep their handler. The SIGXFSZ by which
// the system refuses to grow a file beyond the file size limit ends nothing:
// the write fails instead ("File too large").
//
// Any thread may add and remove entries at any time, each output file its
// own; the handler reads the set without a lock (a fixed number of slots,
// each published atomically).
class InterruptCleanup {
public:
    InterruptCleanup();   // takes over the interrupts at their default action
    ~InterruptCleanup();  // forgets its file
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    // Holds interrupts back while it lives, on every thread: an interrupt
    // that comes meanwhile waits until every Hold of the process has ended
    // (they last a system call or two; at most about two seconds are waited
    // for). So a file and its entry come and go together: Remember the file
    // and create it, or rename it and Forget it, inside one Hold. Holds nest.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;  // one release for each hold
    };

    // The file this entry has an interrupt remove from now on, in place of
    // the one before. Fails, remembering nothing, with EINTR once an
    // interrupt is under way (make no file then) and with EMFILE when every
    // slot of the set is taken.
    std::error_code Remember(const std::string& path);
    void Forget();

private:
    int slot_ = -1;  // the entry's place in the set, taken by the first Remember
};

}  // namespace platform
