// Pauses through the system's own Sleep.
#if defined(_WIN32)

#include "platform/Sleep.h"

#include "platform/WindowsApi.h"

namespace platform {

void SleepMilliseconds(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace platform

#endif
