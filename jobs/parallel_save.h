#pragma once
// The working pass of a batch run with the conversions on worker threads.
//
// The window's thread walks the images in list order exactly as the one-thread pass does: the
// filters, the counts, moving to the image (whose pixels a worker has decoded meanwhile), the
// progress, the questions with their All answers, the status texts. Only the decoding of the
// images ahead and the conversion and writing of each image leave it; their results come back in
// list order. At most one image per worker is in flight (decoding, waiting for its questions or
// converting), so memory stays bounded. While it waits the window's thread lets the interface
// process its events every few milliseconds, so that it repaints and Cancel reaches the run.
//
// Cancel (the button, or Cancel to a question) lets the images being converted finish and writes
// nothing after them. The bytes written are those of the one-thread pass.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jobs/decoded_source.h"
#include "jobs/image_session.h"
#include "jobs/saver.h"
#include "jobs/worker_pool.h"

namespace picaxo {

class TBatchRun;

class TParallelSave : private ISourceSupplier {
 public:
  TParallelSave(TImageSession& state, TBatchRun& run, unsigned workers);
  ~TParallelSave() override;
  TParallelSave(const TParallelSave&) = delete;
  TParallelSave& operator=(const TParallelSave&) = delete;

  // The pass: what happened to each index, in list order (as TImageSession::ForEachJob).
  std::vector<TJobOutcome> Run();

 private:
  // One image between the start of its decode and the report of its conversion.
  struct TSlot {
    int32_t Index = 0;
    bool Decoding = false;  // a decode was given to a worker
    bool Converting = false;
    std::string Path;  // the destination file, once the questions allowed writing it
    // Copies the worker reads while the window's thread moves on.
    TFileEntry Entry;
    TSaveRequest Request;
    // Written by the worker, read after Done under the mutex.
    bool Decoded = false;
    bool Done = false;
    TSaveOutcome Outcome;
    std::exception_ptr Error;
  };

  std::optional<TDecodedSource> Take(const std::string& path,
                                     const TSourceOptions& options) override;
  void Drop(const std::string& path) override;

  bool Cancelled() const;
  bool Selected(int32_t index) const;
  void DispatchDecodes();
  bool HeadReady();
  void HeadStep();
  void ReportDone(bool processEvents);
  void Report(TSlot& slot);
  void WaitBriefly();
  bool Idle();
  void Drain();
  void Fail(int32_t index, bool counted);

  TImageSession& state_;
  TBatchRun& run_;
  unsigned workers_;
  TPassScope scope_ = TPassScope::AllRows;
  int32_t count_ = 0;
  int32_t head_ = 0;      // the next index the window's thread handles
  int32_t dispatch_ = 0;  // the next index whose decode may start
  unsigned busy_ = 0;     // slots holding a worker's task or pixels
  std::vector<TJobOutcome> outcomes_;
  std::deque<std::shared_ptr<TSlot>> slots_;  // in list order, from the oldest not reported
  ISourceSupplier* previousSupplier_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int running_ = 0;      // tasks given to the workers and not yet ended
  uint64_t events_ = 0;  // tasks ended so far
  uint64_t seen_ = 0;    // events_ at the last wait of the window's thread
  std::atomic<bool> stop_{false};
  TDecodedStore store_;
  TWorkerPool pool_;  // last: joined before anything its tasks use goes
};

}  // namespace picaxo
