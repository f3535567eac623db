// Error texts shared by all platforms; the system's own words come from
// ErrorReason, one implementation per platform.
#include "platform/SystemError.h"

#include <cerrno>

namespace platform {

std::error_code LastCError() {
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::string WithReason(const std::string& message, const std::error_code& error) {
    if (!error) return message;
    return message + ": " + ErrorReason(error);
}

}  // namespace platform
