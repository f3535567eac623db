// Removing a half-written file when the user or the system interrupts the run.
#pragma once

#include <string>

namespace platform {

// While an InterruptCleanup lives, an interrupt (every signal whose default
// action ends the process, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM
// and the others, but for the program's own faults such as SIGSEGV; on Windows
// the console's Ctrl+C, Ctrl+Break and close) first removes the file named by
// Remember and then ends the process as it would have without this object: by
// the same signal, so that the caller still sees it. Interrupts the process
// ignores stay ignored, and those it handles itself (a fuzzing driver's timer)
// keep their handler. The SIGXFSZ by which the system refuses to grow a file
// beyond the file size limit ends nothing: the write fails instead ("File too
// large"). One object at a time.
class InterruptCleanup {
public:
    InterruptCleanup();
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    // Holds interrupts back while it lives, so that a file and the record of
    // it come and go together: create the file and Remember it, or rename it
    // and Forget it, inside one Hold. On POSIX systems it masks the signals of
    // the calling thread only; that is enough because a save runs after every
    // worker thread has been joined, so no other thread is there to take them.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;  // one release for each hold
    };

    // The file an interrupt removes from now on (empty: none).
    void Remember(const std::string& path);
    void Forget() { Remember(std::string()); }

private:
    std::string path_;
};

}  // namespace platform
