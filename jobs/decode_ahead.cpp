#include "jobs/decode_ahead.h"

#include <algorithm>

#include "imaging/decode_cancel.h"

namespace picaxo {

size_t AheadBudget(size_t currentBytes) {
  const size_t cap = std::min(kMaxAheadBytes, 3 * currentBytes);
  return cap > currentBytes ? cap - currentBytes : 0;
}

TDecodeAhead::TDecodeAhead(TDecode decode)
    : decode_(std::move(decode)), thread_([this] { Loop(); }) {}

TDecodeAhead::~TDecodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    cancel_ = true;
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

std::optional<TDecodedSource> TDecodeAhead::TakeReady(const std::string& path,
                                                      const TSourceOptions& options) {
  std::optional<TDecodedSource> decoded = store_.TakeReady(path, options);
  if (decoded) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++hits_;
  }
  return decoded;
}

bool TDecodeAhead::Request(const std::string& path, const TSourceOptions& options) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = path;
    currentOptions_ = options;
    // No neighbour until the image arrives: its size sets their budget.
    wanted_.clear();
    budget_ = estimate_ = 0;
    idle_ = false;
    if (busy_ && inFlight_ != path) cancel_ = true;
  }
  store_.KeepOnly({path});
  wake_.notify_all();
  return true;
}

bool TDecodeAhead::Arrived(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (store_.Decoding(path)) return false;
  return path != current_ || store_.Holds(path);
}

void TDecodeAhead::Drop(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (busy_ && (path.empty() || path == inFlight_)) cancel_ = true;
  }
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
    // The current image has arrived: the wait for it is over.
    current_.clear();
    if (busy_ && std::find(wanted.begin(), wanted.end(), inFlight_) == wanted.end()) cancel_ = true;
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

std::vector<std::string> TDecodeAhead::Started() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_;
}

void TDecodeAhead::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // The first wish not held yet, if the budget has room for it.
    std::string path;
    wake_.wait(lock, [&] {
      if (stopping_) return true;
      path.clear();
      if (!current_.empty()) {
        // The image the window waits for comes first, and nothing else until it is taken.
        if (!store_.Holds(current_)) path = current_;
      } else {
        size_t held = store_.HeldBytes();
        for (const std::string& wish : wanted_) {
          if (store_.Holds(wish)) continue;
          if (held + estimate_ > budget_) break;
          path = wish;
          break;
        }
      }
      idle_ = path.empty();
      if (idle_) idled_.notify_all();
      return !path.empty();
    });
    if (stopping_) return;
    const bool forCurrent = path == current_;
    const TSourceOptions options = forCurrent ? currentOptions_ : options_;
    const uint64_t ticket = store_.Begin(path, options);
    busy_ = true;
    inFlight_ = path;
    cancel_ = false;
    started_.push_back(path);
    lock.unlock();
    const std::optional<TFileStamp> stamp = StampOf(path);
    TDecodedSource decoded;
    {
      TDecodeCancelScope scope(cancel_);
      decoded = decode_(path, options);
    }
    const size_t bytes = decoded.Bytes();
    // A decode given up ends in an error that is not the file's: it is never handed out. One that
    // finished all the same is as good as any.
    if (cancel_ && !decoded.Error.empty())
      store_.Drop(path);
    else
      store_.Put(ticket, stamp, std::move(decoded));
    lock.lock();
    busy_ = false;
    inFlight_.clear();
    // A neighbour larger than the estimate may not fit: it goes again rather than exceed the cap.
    if (path != current_ && store_.HeldBytes() > budget_ && bytes > 0) {
      store_.Drop(path);
      wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), path), wanted_.end());
    }
    // Wishes changed during the decode: what is no longer wanted goes.
    std::vector<std::string> keep = wanted_;
    if (!current_.empty()) keep.push_back(current_);
    store_.KeepOnly(keep);
    wake_.notify_all();
  }
}

}  // namespace picaxo
