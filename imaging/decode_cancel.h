#pragma once
// Giving up a decode that is no longer wanted. A thread that decodes on someone else's behalf
// (the window's background loads) runs the decode inside a TDecodeCancelScope; when its flag is
// raised the JPEG decoder stops between rows with EDecodeCancelled instead of finishing a picture
// nobody will look at. Decoders without the check simply finish.
#include <atomic>

#include "base/error.h"

namespace picaxo {

class EDecodeCancelled : public EPicaxoError {
 public:
  EDecodeCancelled() : EPicaxoError("The decode was given up") {}
};

class TDecodeCancelScope {
 public:
  explicit TDecodeCancelScope(const std::atomic<bool>& flag);
  ~TDecodeCancelScope();
  TDecodeCancelScope(const TDecodeCancelScope&) = delete;
  TDecodeCancelScope& operator=(const TDecodeCancelScope&) = delete;

 private:
  const std::atomic<bool>* outer_;
};

// Whether the decode on this thread was given up (false outside a scope).
bool DecodeCancelled();
// Throws EDecodeCancelled when DecodeCancelled().
void ThrowIfDecodeCancelled();

}  // namespace picaxo
