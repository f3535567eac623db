// Pausing the calling thread, for the pauses at the end of a run.
#pragma once

namespace platform {

// Blocks for at least the given number of milliseconds; 0 or less returns at once.
void SleepMilliseconds(int milliseconds);

}  // namespace platform
