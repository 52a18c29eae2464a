#pragma once
// The one error policy of the core: every failure of a user-level operation is thrown as an
// exception derived from std::runtime_error whose what() is a plain English message fit to be
// shown to the user as it stands. Codec-specific types (EJPEG, ...) derive from EPicaxoError.
//
// Exceptions of other origins (the standard library running out of memory, a file-system call)
// never reach the user with their raw texts: the places that turn errors into messages go through
// ErrorReason or UserErrorMessage.
#include <exception>
#include <stdexcept>
#include <string>

namespace picaxo {

class EPicaxoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plain English reason of a caught error: an EPicaxoError's own message, the system's text of
// a std::system_error ("Permission denied"), "Not enough memory" for a failed allocation and
// "An internal error occurred" for anything else. Never a type name or "Unknown error".
std::string ErrorReason(std::exception_ptr error);

// The message shown when doing (a verb phrase such as "load a.jpg") failed: an EPicaxoError's own
// message as it stands, "Not enough memory to load a.jpg", or "Could not load a.jpg: " + the
// reason for the rest.
std::string UserErrorMessage(std::exception_ptr error, const std::string& doing);

}  // namespace picaxo
