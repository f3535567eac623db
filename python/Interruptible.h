// Long calls into the engine that answer Ctrl-C while they run.
#pragma once

#include <functional>

namespace wrap {

// Runs `work` (C++ alone, no Python) with the GIL released. Called on
// Python's main thread, where signals are handled, `work` runs on a thread of
// its own while this one takes the GIL every few hundredths of a second to run
// the signal handlers; when one raises (Ctrl-C: KeyboardInterrupt), `work` is
// asked to stop between the items of its loops (platform/ParallelFor.h), is
// waited for, and the handler's exception is raised. On other threads, or
// when no thread can be started, `work` runs on the caller's thread and a
// signal is seen when it returns.
void RunInterruptibly(const std::function<void()>& work);

}  // namespace wrap
