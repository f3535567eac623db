// Error texts shared by all platforms; the system's own words come from
// ErrorReason, one implementation per platform.
#include "platform/SystemError.h"

#include <cerrno>

namespace platform {

std::error_code LastCError() {
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

namespace {

enum class OwnError { kNotARegularFile = 1, kDanglingSymbolicLink };

class OwnErrors : public std::error_category {
public:
    const char* name() const noexcept override { return "whiten"; }
    std::string message(int value) const override {
        switch (static_cast<OwnError>(value)) {
        case OwnError::kNotARegularFile: return "Not a regular file";
        case OwnError::kDanglingSymbolicLink: return "Dangling symbolic link";
        }
        return "Unknown error";
    }
};

const OwnErrors ownErrors;

}  // namespace

std::error_code NotARegularFile() { return {static_cast<int>(OwnError::kNotARegularFile), ownErrors}; }

std::error_code DanglingSymbolicLink() { return {static_cast<int>(OwnError::kDanglingSymbolicLink), ownErrors}; }

std::string WithReason(const std::string& message, const std::error_code& error) {
    if (!error) return message;
    return message + ": " + ErrorReason(error);
}

}  // namespace platform
