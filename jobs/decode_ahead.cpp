#include "jobs/decode_ahead.h"

#include <algorithm>

namespace picaxo {

size_t AheadBudget(size_t currentBytes) {
  const size_t cap = std::min(kMaxAheadBytes, 3 * currentBytes);
  return cap > currentBytes ? cap - currentBytes : 0;
}

TDecodeAhead::TDecodeAhead() : thread_([this] { Loop(); }) {}

TDecodeAhead::~TDecodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::optional<TDecodedSource> TDecodeAhead::Take(const std::string& path,
                                                 const TSourceOptions& options) {
  std::optional<TDecodedSource> decoded = store_.Take(path, options);
  if (decoded) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++hits_;
  }
  return decoded;
}

void TDecodeAhead::Drop(const std::string& path) {
  store_.Drop(path);
}

void TDecodeAhead::Ahead(const std::vector<std::string>& wanted, const TSourceOptions& options,
                         size_t currentBytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wanted_ = wanted;
    idle_ = false;
    options_ = options;
    budget_ = AheadBudget(currentBytes);
    estimate_ = currentBytes;
  }
  // What is no longer a neighbour goes at once.
  store_.KeepOnly(wanted);
  wake_.notify_all();
}

void TDecodeAhead::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idled_.wait(lock, [this] { return idle_ && !busy_; });
}

int TDecodeAhead::Hits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hits_;
}

void TDecodeAhead::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The first wish not held yet, if the budget has room for it.
    std::string path;
    wake_.wait(lock, [&] {
      if (stopping_) return true;
      path.clear();
      size_t held = store_.HeldBytes();
      for (const std::string& wish : wanted_) {
        if (store_.Holds(wish)) continue;
        if (held + estimate_ > budget_) break;
        path = wish;
        break;
      }
      idle_ = path.empty();
      if (idle_) idled_.notify_all();
      return !path.empty();
    });
    if (stopping_) return;
    const TSourceOptions options = options_;
    const uint64_t ticket = store_.Begin(path, options);
    busy_ = true;
    lock.unlock();
    const std::optional<TFileStamp> stamp = StampOf(path);
    TDecodedSource decoded = DecodeWholeSource(path, options);
    const size_t bytes = decoded.Bytes();
    store_.Put(ticket, stamp, std::move(decoded));
    lock.lock();
    busy_ = false;
    // A neighbour larger than the estimate may not fit: it goes again rather than exceed the cap.
    if (store_.HeldBytes() > budget_ && bytes > 0) {
      store_.Drop(path);
      wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), path), wanted_.end());
    }
    // Wishes changed during the decode: what is no longer wanted goes.
    store_.KeepOnly(wanted_);
    wake_.notify_all();
  }
}

}  // namespace picaxo
