#pragma once
// The one error policy of the core: every failure of a user-level operation is thrown as an
// exception derived from std::runtime_error whose what() is a plain English message fit to be
// shown to the user as it stands. Codec-specific types (EJPEG, ...) derive from EPicaxoError.
#include <stdexcept>
#include <string>

namespace picaxo {

class EPicaxoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace picaxo
