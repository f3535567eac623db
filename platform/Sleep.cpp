// Pauses through the standard thread library on the POSIX platforms.
#if !defined(_WIN32)

#include "platform/Sleep.h"

#include <chrono>
#include <thread>

namespace platform {

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform

#endif
