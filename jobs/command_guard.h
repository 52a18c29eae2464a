#pragma once
// The one way a window command fails: whatever it raises ends the command and becomes one plain
// message for the error box (base/error.h), so no type name or library text reaches the user and
// nothing escapes into the event loop.
#include <functional>
#include <optional>
#include <string>

namespace picaxo {

// Runs command. Nothing when it returned; otherwise the message to show: an EPicaxoError's own
// text, "Not enough memory to <doing>", "Could not <doing>: <the system's sentence>", or "Could not
// <doing>: an internal error occurred". doing is a verb phrase such as "save the image".
std::optional<std::string> RunGuarded(const std::function<void()>& command,
                                      const std::string& doing);

}  // namespace picaxo
