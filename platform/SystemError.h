// The operating system's own words for why a call failed, for the messages of
// errors that end a run ("... can't write P: No space left on device").
#pragma once

#include <string>
#include <system_error>

namespace platform {

// The error of the C library call that just failed (errno); EIO when it left
// errno unset, so that a failure is never taken for success.
std::error_code LastCError();

// The system's text for the error, e.g. "No space left on device"; Windows
// errors read as the system phrases them, without the closing full stop.
std::string ErrorReason(const std::error_code& error);

// Failures the system has no error number for, found by this program's own
// checks; ErrorReason gives their text as for the system's errors.
std::error_code NotARegularFile();     // "Not a regular file": a pipe, a device
std::error_code DanglingSymbolicLink(); // "Dangling symbolic link": a link to nothing

// message + ": " + the reason, or the message alone when there is no error.
std::string WithReason(const std::string& message, const std::error_code& error);

}  // namespace platform
