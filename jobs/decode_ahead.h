#pragma once
// Decoding ahead for the window: once the current image is shown, the next image and then the
// previous one are decoded on a background thread, so that moving to them shows them at once.
//
// Memory stays bounded: at most the two neighbours asked for last are held besides the current
// image, and fewer when photos are huge: the neighbours may take what is left of three rasters of
// the current size, and never more than kMaxAheadBytes with it. Each new wish replaces the
// previous ones, so holding Page Down never queues more than the two decodes of the image the
// user is on. The thread never touches the window: the window's thread takes a decode when it
// moves to that image (waiting for one that is under way rather than starting it again).
//
// It also loads the current image in the background when the window moves to one that is not
// ready (Request): that decode goes first, and a newer move replaces it, giving up the decode
// under way, so a burst of moves costs at most one decode besides that of the image it ends on.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/decoded_source.h"

namespace picaxo {

inline constexpr size_t kMaxAheadBytes = size_t{1} << 30;

// The bytes the neighbours of a picture of currentBytes may take.
size_t AheadBudget(size_t currentBytes);

class TDecodeAhead : public ISourceSupplier {
 public:
  using TDecode = std::function<TDecodedSource(const std::string&, const TSourceOptions&)>;
  // decode: how a file is decoded (tests give one they can hold up).
  explicit TDecodeAhead(TDecode decode = DecodeWholeSource);
  ~TDecodeAhead() override;
  TDecodeAhead(const TDecodeAhead&) = delete;
  TDecodeAhead& operator=(const TDecodeAhead&) = delete;

  std::optional<TDecodedSource> Take(const std::string& path,
                                     const TSourceOptions& options) override;
  void Drop(const std::string& path) override;
  void Ahead(const std::vector<std::string>& wanted, const TSourceOptions& options,
             size_t currentBytes) override;
  std::optional<TDecodedSource> TakeReady(const std::string& path,
                                          const TSourceOptions& options) override;
  bool Request(const std::string& path, const TSourceOptions& options) override;
  bool Arrived(const std::string& path) const override;

  // For tests and benchmarks: waits until every wish is decoded (or left out by the budget).
  void WaitIdle();
  size_t HeldCount() const { return store_.HeldCount(); }
  size_t HeldBytes() const { return store_.HeldBytes(); }
  // How many loads took a decode made ahead.
  int Hits() const;
  // The files whose decode began, in order (for tests).
  std::vector<std::string> Started() const;

 private:
  void Loop();

  TDecode decode_;
  TDecodedStore store_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::string> wanted_;
  TSourceOptions options_;
  size_t budget_ = 0;
  size_t estimate_ = 0;  // the expected size of one neighbour
  bool busy_ = false;
  bool idle_ = true;  // nothing left to decode for the wishes now
  std::condition_variable idled_;
  bool stopping_ = false;
  int hits_ = 0;
  std::string current_;  // the file the window waits for, decoded before any neighbour
  TSourceOptions currentOptions_;
  std::string inFlight_;             // the file being decoded while busy_
  std::atomic<bool> cancel_{false};  // the decode in flight is no longer wanted
  std::vector<std::string> started_;
  std::thread thread_;  // last: started once everything it uses exists
};

}  // namespace picaxo
