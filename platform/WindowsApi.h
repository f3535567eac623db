// The Windows API as the platform's Windows files use it: without the rarely
// used parts and without the min and max macros.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <system_error>

namespace platform {

// The error of the Win32 call that just failed.
inline std::error_code LastWindowsError() {
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

}  // namespace platform

#endif
