// Pauses through the standard thread library, which every platform we build for has.
#include "platform/Sleep.h"

#include <chrono>
#include <thread>

namespace platform {

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
