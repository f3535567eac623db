// Error texts on Windows: the C runtime's for errno values, the system's
// (FormatMessage) for the codes of the Win32 calls.
#if defined(_WIN32)

#include "platform/SystemError.h"

#include "platform/WindowsApi.h"

#include <cstring>

namespace platform {

std::string ErrorReason(const std::error_code& error) {
    if (error.category() == std::generic_category()) return std::strerror(error.value());
    if (error.category() != std::system_category()) return error.message();  // the program's own
    char text[512];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error.value()), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                       sizeof text, nullptr);
    if (length == 0) return "error " + std::to_string(error.value());
    std::string reason(text, length);
    // The text ends in ".\r\n"; the other reasons have neither.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    return reason;
}

}  // namespace platform

#endif
