#include "jobs/parallel_save.h"

#include <algorithm>
#include <chrono>

#include "base/error.h"
#include "base/file_util.h"
#include "jobs/batch.h"
#include "jobs/destination.h"

namespace picaxo {

namespace {
// How long the window's thread waits for a worker before it lets the interface run again: well
// within the 100 ms in which a repaint or Cancel must show.
constexpr std::chrono::milliseconds kPollInterval{15};
}  // namespace

TParallelSave::TParallelSave(TImageSession& state, TBatchRun& run, unsigned workers)
    : state_(state), run_(run), workers_(std::max(1u, workers)), pool_(workers_) {}

TParallelSave::~TParallelSave() {
  stop_ = true;
  // The pool's destructor (the last member) waits for the tasks still running.
}

std::optional<TDecodedSource> TParallelSave::Take(const std::string& path,
                                                  const TSourceOptions& options) {
  return store_.Take(path, options);
}

void TParallelSave::Drop(const std::string& path) {
  store_.Drop(path);
}

bool TParallelSave::Cancelled() const {
  return state_.Flags().BatchJobCancelled;
}

bool TParallelSave::Selected(int32_t index) const {
  const TFileEntry& entry = state_.List().At(index);
  if (entry.Excluded) return false;
  return scope_ == TPassScope::AllRows || state_.JobRowSelection().Contains(index);
}

std::vector<TJobOutcome> TParallelSave::Run() {
  if (state_.ReportEmptyList()) return {};
  count_ = state_.Count();
  outcomes_.assign(static_cast<size_t>(count_), {});
  run_.SavedCount = 0;
  run_.TotalCount = 0;
  run_.SkippedCount = 0;
  run_.FailedCount = 0;
  scope_ = state_.PassScope();
  previousSupplier_ = state_.image_.Supplier();
  // Decoding ahead for browsing stops and gives back its memory while the run needs the cores.
  if (previousSupplier_) previousSupplier_->Ahead({}, state_.Image().Options(), 0);
  state_.image_.SetSupplier(this);
  try {
    for (;;) {
      // Reports first: each one frees a worker, which the dispatch then fills before any wait
      // (a wait with every worker idle would last the whole poll interval).
      ReportDone(true);
      DispatchDecodes();
      if (!Cancelled() && head_ < count_) {
        if (HeadReady()) {
          HeadStep();
          state_.Observer().ProcessEvents();
          continue;
        }
      } else if (Idle()) {
        break;
      }
      WaitBriefly();
      state_.Observer().ProcessEvents();
    }
  } catch (...) {
    // An error outside the per-image guard ends the pass; what the workers still do ends first.
    Drain();
    state_.image_.SetSupplier(previousSupplier_);
    throw;
  }
  state_.image_.SetSupplier(previousSupplier_);
  state_.Observer().FileExistsMarkerChanged();
  return std::move(outcomes_);
}

void TParallelSave::DispatchDecodes() {
  if (dispatch_ < head_) dispatch_ = head_;
  while (!Cancelled() && dispatch_ < count_ && busy_ < workers_) {
    const int32_t index = dispatch_++;
    auto slot = std::make_shared<TSlot>();
    slot->Index = index;
    slots_.push_back(slot);
    if (!Selected(index)) continue;
    const TFileEntry& entry = state_.List().At(index);
    const std::string destination = state_.DestinationPathOf(&entry);
    // Images the run will not convert are not decoded: kept existing files, destinations this
    // run wrote, the image shown already. Should the window's thread want one after all, it
    // decodes it itself.
    if ((state_.Flags().BatchJobOverwriteNone && FileExists(destination)) ||
        run_.WrittenFiles().WriterOf(destination) ||
        state_.Image().LoadedFileName() == entry.FileName)
      continue;
    TSourceOptions options = state_.Image().Options();
    options.Color = ColorProfilePolicyOf(state_.Settings());
    const uint64_t ticket = store_.Begin(entry.FileName, options);
    slot->Decoding = true;
    ++busy_;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++running_;
    }
    pool_.Submit([this, slot, ticket, path = entry.FileName, options] {
      if (stop_) {
        store_.Put(ticket, std::nullopt, {});
      } else {
        const std::optional<TFileStamp> stamp = StampOf(path);
        store_.Put(ticket, stamp, DecodeWholeSource(path, options));
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slot->Decoded = true;
        --running_;
        ++events_;
      }
      changed_.notify_all();
    });
  }
}

bool TParallelSave::HeadReady() {
  // Every index up to the head has a slot: the dispatch never falls behind it.
  const TSlot* slot = nullptr;
  for (const auto& s : slots_)
    if (s->Index == head_) slot = s.get();
  if (!slot) return false;
  if (slot->Decoding) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!slot->Decoded) return false;
  }
  if (!Selected(head_)) return true;
  // An earlier image going to the same file is reported first, so that the run knows it wrote it.
  const std::string destination = state_.DestinationPathOf(&state_.List().At(head_));
  for (const auto& s : slots_)
    if (s->Index < head_ && s->Converting && s->Path == destination) return false;
  return true;
}

void TParallelSave::Fail(int32_t index, bool counted) {
  TJobOutcome& outcome = outcomes_[static_cast<size_t>(index)];
  outcome.Result = TJobResult::Failed;
  if (counted) ++run_.FailedCount;
  outcome.Error = UserErrorMessage(std::current_exception(),
                                   "process " + SplitPath(state_.List().At(index).FileName).Name);
}

void TParallelSave::HeadStep() {
  const int32_t index = head_++;
  std::shared_ptr<TSlot> slot;
  for (const auto& s : slots_)
    if (s->Index == index) slot = s;
  const std::string source = state_.List().At(index).FileName;
  TJobOutcome& outcome = outcomes_[static_cast<size_t>(index)];
  bool counted = false;
  try {
    // The steps of TImageSession::HandleJob, TBatchRun::Start's job and SaveCurrentJob, in their
    // order.
    const TFileEntry& entry = state_.List().At(index);
    if (Selected(index)) {
      ++run_.TotalCount;
      counted = true;
      const std::string path = state_.DestinationPathOf(&entry);
      if (const auto writer = run_.WrittenFiles().WriterOf(path)) {
        outcome.Result = TJobResult::Failed;
        outcome.Error =
            CollisionMessage(JobFileNameText(&entry, state_.SourceFolder()), *writer, path);
        ++run_.FailedCount;
      } else if (state_.Flags().BatchJobOverwriteNone && FileExists(path)) {
        outcome.Result = TJobResult::ExistingSkipped;
        ++run_.SkippedCount;
      } else {
        state_.GoToImage(index);
        run_.ProgressPosition = run_.JobCounter;
        state_.Observer().BatchProgressChanged(run_.ProgressPosition, run_.ProgressMax);
        ++run_.JobCounter;
        if (state_.Image().Failed()) throw EPicaxoError(state_.Image().LoadError());
        state_.lastSaveWarning_.clear();
        TSaveRequest request = state_.MakeSaveRequest();
        TSaveOutcome prepared;
        if (!state_.saver_.Prepare(request, state_.SourceFolder(), prepared)) {
          outcome.Result = TJobResult::Declined;
          ++run_.SkippedCount;
        } else {
          state_.SetStatusText("Saving...", TRepaint::Now);
          slot->Entry = *request.Entry;
          request.Entry = &slot->Entry;
          slot->Request = std::move(request);
          slot->Outcome = std::move(prepared);
          slot->Path = slot->Outcome.Path;
          slot->Converting = true;
        }
      }
    }
  } catch (...) {
    Fail(index, counted);
  }
  // Pixels decoded for an image that is not converted go now.
  store_.Drop(source);
  if (!slot->Converting) {
    if (slot->Decoding) --busy_;
    return;
  }
  if (!slot->Decoding) ++busy_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++running_;
  }
  pool_.Submit([this, slot] {
    TSaveOutcome outcome = slot->Outcome;
    std::exception_ptr error;
    try {
      TSaver::WriteWhole(slot->Request, outcome);
    } catch (...) {
      error = std::current_exception();
    }
    // The pixels go with the worker's last use of them.
    slot->Request.Image.reset();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot->Outcome = std::move(outcome);
      slot->Error = error;
      slot->Done = true;
      --running_;
      ++events_;
    }
    changed_.notify_all();
  });
}

void TParallelSave::ReportDone(bool processEvents) {
  // Slots leave in list order; one still converting holds back the reports after it.
  while (!slots_.empty()) {
    TSlot& slot = *slots_.front();
    if (slot.Index >= head_) break;
    if (slot.Converting) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!slot.Done) break;
      }
      Report(slot);
      --busy_;
      if (processEvents) state_.Observer().ProcessEvents();
    }
    slots_.pop_front();
  }
}

void TParallelSave::Report(TSlot& slot) {
  TJobOutcome& outcome = outcomes_[static_cast<size_t>(slot.Index)];
  try {
    if (slot.Error) std::rethrow_exception(slot.Error);
    state_.lastSaveWarning_ = slot.Outcome.Warning;
    state_.saver_.ReportWritten(slot.Outcome, state_.SourceFolder());
    if (slot.Outcome.Saved()) {
      run_.WrittenFiles().Record(slot.Outcome.Path,
                                 JobFileNameText(&slot.Entry, state_.SourceFolder()));
      outcome.Result = TJobResult::Succeeded;
      ++run_.SavedCount;
    } else {
      outcome.Result = TJobResult::Declined;
      ++run_.SkippedCount;
    }
  } catch (...) {
    Fail(slot.Index, true);
  }
}

void TParallelSave::WaitBriefly() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, kPollInterval, [this] { return events_ != seen_; });
  seen_ = events_;
}

bool TParallelSave::Idle() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_ > 0) return false;
  for (const auto& s : slots_)
    if (s->Converting && s->Index < head_) return false;
  return true;
}

void TParallelSave::Drain() {
  stop_ = true;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; });
  }
  try {
    ReportDone(false);
  } catch (...) {
    // The error that ended the pass is the one reported.
  }
}

}  // namespace picaxo
