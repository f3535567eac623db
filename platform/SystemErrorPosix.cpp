// Error texts from the C library (strerror), in the "C" locale the program keeps.
#if !defined(_WIN32)

#include "platform/SystemError.h"

#include <cstring>

namespace platform {

std::string ErrorReason(const std::error_code& error) {
    return std::strerror(error.value());
}

}  // namespace platform

#endif
