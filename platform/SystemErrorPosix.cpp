// Error texts from the C library (strerror), in the "C" locale the program keeps.
#if !defined(_WIN32)

#include "platform/SystemError.h"

#include <cstring>

namespace platform {

std::string ErrorReason(const std::error_code& error) {
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return error.message();  // the program's own (NotARegularFile ...)
    return std::strerror(error.value());
}

}  // namespace platform

#endif
