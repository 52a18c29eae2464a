#include "imaging/decode_cancel.h"

namespace picaxo {

namespace {
thread_local const std::atomic<bool>* tCancel = nullptr;
}

TDecodeCancelScope::TDecodeCancelScope(const std::atomic<bool>& flag) : outer_(tCancel) {
  tCancel = &flag;
}

TDecodeCancelScope::~TDecodeCancelScope() {
  tCancel = outer_;
}

bool DecodeCancelled() {
  return tCancel && tCancel->load(std::memory_order_relaxed);
}

void ThrowIfDecodeCancelled() {
  if (DecodeCancelled()) throw EDecodeCancelled();
}

}  // namespace picaxo
