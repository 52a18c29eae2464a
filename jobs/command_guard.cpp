#include "jobs/command_guard.h"

#include <exception>

#include "base/error.h"

namespace picaxo {

std::optional<std::string> RunGuarded(const std::function<void()>& command,
                                      const std::string& doing) {
  try {
    command();
  } catch (...) {
    return UserErrorMessage(std::current_exception(), doing);
  }
  return std::nullopt;
}

}  // namespace picaxo
