#include "jobs/batch.h"

#include <sys/stat.h>

#include <exception>

#include "base/error.h"
#include "base/file_util.h"

#include "jobs/destination.h"
#include "jobs/parallel_save.h"
#include "jobs/worker_pool.h"

namespace picaxo {

namespace {
const char kNoFiles[] = "No files in current folder!";

std::optional<std::pair<uint64_t, uint64_t>> FileIdentity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
}

}  // namespace

// --- Destinations written by a run ---

std::optional<std::string> TWrittenFiles::WriterOf(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (const auto it = byPath_.find(path); it != byPath_.end()) return it->second;
  if (byIdentity_.empty()) return std::nullopt;
  if (const auto identity = FileIdentity(path)) {
    if (const auto it = byIdentity_.find(*identity); it != byIdentity_.end()) return it->second;
  }
  return std::nullopt;
}

void TWrittenFiles::Record(const std::string& path, const std::string& source) {
  const auto identity = FileIdentity(path);
  std::lock_guard<std::mutex> lock(mutex_);
  byPath_.emplace(path, source);
  if (identity) byIdentity_.emplace(*identity, source);
}

std::string CollisionMessage(const std::string& source, const std::string& earlierSource,
                             const std::string& destination) {
  return "Not saved: " + source + " and " + earlierSource + " both go to \"" + destination +
         "\", which this run already saved from " + earlierSource + ".";
}

std::string BatchResultText(int saved, int total, int skipped, int failed) {
  if (saved == total)
    return "Successfully saved " + std::to_string(saved) + " of " + std::to_string(total) +
           " images!";
  return "Saved " + std::to_string(saved) + " of " + std::to_string(total) +
         " images: " + std::to_string(skipped) + " skipped, " + std::to_string(failed) + " failed.";
}

// --- The walk over the entries ---

TPassScope TImageSession::PassScope() const {
  return jobRows_.Count() > 1 ? TPassScope::SelectedRows : TPassScope::AllRows;
}

TJobOutcome TImageSession::HandleJob(int32_t index, TNavigate navigate, TSkipExcluded skipExcluded,
                                     TPassScope scope, const TJobProc& jobProc) {
  TJobOutcome outcome;
  const bool restricted = scope == TPassScope::SelectedRows;
  bool counted = false;
  try {
    const TFileEntry& entry = list_.At(index);
    const bool selected = !restricted || jobRows_.Contains(index);
    if ((skipExcluded == TSkipExcluded::Yes && entry.Excluded) || !selected) return outcome;
    if (batchForm_) {
      ++batchForm_->TotalCount;
      counted = true;
      // A destination this run has written is never replaced by a later image of the run,
      // whatever the overwrite boxes say: it did not exist before the run.
      const std::string path = DestinationPathOf(&entry);
      if (const auto writer = batchForm_->WrittenFiles().WriterOf(path)) {
        outcome.Result = TJobResult::Failed;
        outcome.Error = CollisionMessage(JobFileNameText(&entry, SourceFolder()), *writer, path);
        ++batchForm_->FailedCount;
        return outcome;
      }
      if (Flags().BatchJobOverwriteNone && FileExists(path)) {
        outcome.Result = TJobResult::ExistingSkipped;
        ++batchForm_->SkippedCount;
        return outcome;
      }
    }
    if (navigate == TNavigate::Yes) GoToImage(index);
    bool success = true;
    // The entry is looked up again: navigation never changes the list, but the reference is the
    // job procedure's to use.
    jobProc(list_.At(index), index, success, restricted ? std::optional<int>(index) : std::nullopt);
    if (batchForm_) ++(success ? batchForm_->SavedCount : batchForm_->SkippedCount);
    outcome.Result = success ? TJobResult::Succeeded : TJobResult::Declined;
  } catch (...) {
    outcome.Result = TJobResult::Failed;
    if (counted && batchForm_) ++batchForm_->FailedCount;
    const bool known = index >= 0 && index < Count();
    outcome.Error = UserErrorMessage(std::current_exception(),
                                     known ? "process " + SplitPath(list_.At(index).FileName).Name
                                           : "process image " + std::to_string(int64_t{index} + 1));
  }
  return outcome;
}

bool TImageSession::ReportEmptyList() {
  if (!list_.Empty()) return false;
  prompt_.Ask({TQuestionId::NoFiles, TPromptKind::Error, kNoFiles, TPromptButton::Cancel});
  return true;
}

std::vector<TJobOutcome> TImageSession::ForEachJob(TNavigate navigate, TSkipExcluded skipExcluded,
                                                   const TJobProc& jobProc) {
  std::vector<TJobOutcome> outcomes;
  if (ReportEmptyList()) return outcomes;
  outcomes.resize(static_cast<size_t>(Count()));
  if (batchForm_) {
    batchForm_->SavedCount = 0;
    batchForm_->TotalCount = 0;
    batchForm_->SkippedCount = 0;
    batchForm_->FailedCount = 0;
  }
  const TPassScope scope = PassScope();
  for (int32_t index = 0; index < Count(); ++index) {
    outcomes[static_cast<size_t>(index)] = HandleJob(index, navigate, skipExcluded, scope, jobProc);
    observer_.ProcessEvents();
    if (batchForm_ && Flags().BatchJobCancelled) break;
  }
  observer_.FileExistsMarkerChanged();
  return outcomes;
}

TJobProc TImageSession::SaveCurrentJob() {
  return [this](TFileEntry& entry, int, bool& success, std::optional<int>) {
    // A source that did not load fails with the load's reason, never as a quiet "not saved".
    if (image_.Failed()) throw EPicaxoError(image_.LoadError());
    const TSaveOutcome saved = SaveCurrentImage();
    success = saved.Saved();
    if (success && batchForm_)
      batchForm_->WrittenFiles().Record(saved.Path, JobFileNameText(&entry, SourceFolder()));
  };
}

void TImageSession::ApplySettingsToJobs() {
  ForEachJob(TNavigate::No, TSkipExcluded::No,
             [this](TFileEntry& entry, int, bool&, std::optional<int>) {
               StoreSettingsToEntry(&entry, cmApplyAll, settings_, extras_);
             });
  observer_.JobRowsChanged(TJobRows::All);
}

void TImageSession::ResetJobs() {
  ForEachJob(
      TNavigate::No, TSkipExcluded::No,
      [](TFileEntry& entry, int, bool&, std::optional<int>) { entry.ResetEntry(cmResetAll); });
  observer_.JobRowsChanged(TJobRows::All);
}

void TImageSession::ClearStoredResizeSettings() {
  ForEachJob(
      TNavigate::No, TSkipExcluded::No,
      [](TFileEntry& entry, int, bool&, std::optional<int>) { entry.ResetEntry(cmSaveAllReset); });
  observer_.JobRowsChanged(TJobRows::All);
}

void TImageSession::RunBatchDialog(const TBatchDialogRunner& runDialog) {
  TBatchRun run(*this, SaveCurrentJob());
  run.SetWorkers(WorkerCount(batchWorkers_));
  runDialog(run);
  // The destructor closes a dialog the runner left open.
}

void TImageSession::SaveAll(const TBatchDialogRunner& runDialog) {
  if (ReportEmptyList()) return;
  ClearStoredResizeSettings();
  // The second reset runs however the dialog ended.
  try {
    RunBatchDialog(runDialog);
  } catch (...) {
    ClearStoredResizeSettings();
    throw;
  }
  ClearStoredResizeSettings();
}

void TImageSession::ExecuteJobs(const TBatchDialogRunner& runDialog) {
  if (ReportEmptyList()) return;
  RunBatchDialog(runDialog);
}

// --- The batch dialog ---

void TBatchChoices::CheckOverwriteAll(bool checked) {
  OverwriteAll = checked;
  if (checked && DontOverwrite) DontOverwrite = false;
}

void TBatchChoices::CheckDontOverwrite(bool checked) {
  DontOverwrite = checked;
  if (checked && OverwriteAll) OverwriteAll = false;
}

std::string BatchTitleText(TJobCaptionMode mode) {
  switch (mode) {
    case TJobCaptionMode::Hidden:
      return "Clicking on Start will save all images to the destination folder with the current "
             "settings.";
    case TJobCaptionMode::Selected:
      return "Clicking on Start will save all selected images to the destination folder.";
    case TJobCaptionMode::All:
      break;
  }
  return "Clicking on Start will save all images to the destination folder.";
}

TBatchRun::TBatchRun(TImageSession& state, TJobProc jobProc)
    : state_(state), jobProc_(std::move(jobProc)) {
  state_.batchForm_ = this;
}

TBatchRun::~TBatchRun() {
  // A dialog destroyed mid-run (an error escaped its runner) still ends batch mode: the state
  // must never keep a pointer to it.
  if (stage_ == TStage::Running) stage_ = TStage::Finished;
  try {
    Close();
  } catch (...) {
    // The status text could not be shown; batch mode has already ended.
  }
  if (state_.batchForm_ == this) state_.batchForm_ = nullptr;
}

TBatchChoices TBatchRun::Show() {
  state_.Flags().BatchJobCancelled = false;
  TBatchChoices choices;
  choices.PromptForCreateDir = !state_.Flags().BatchJobCreateAllDirs;
  choices.CheckOverwriteAll(state_.Flags().BatchJobOverwriteAll);
  // Checking "never overwrite" after "overwrite all" leaves only the former checked.
  choices.CheckDontOverwrite(state_.Flags().BatchJobOverwriteNone);
  ProgressPosition = 0;
  state_.observer_.BatchProgressChanged(ProgressPosition, ProgressMax);
  return choices;
}

void TBatchRun::Start(const TBatchChoices& choices) {
  if (stage_ != TStage::Ready) return;
  TakeChoices(choices);
  try {
    CountJobs();
    state_.LeavePreview();
    if (workers_ > 1 && state_.SourceAccess() == TSourceAccess::Whole)
      Outcomes = TParallelSave(state_, *this, workers_).Run();
    else
      Outcomes = state_.ForEachJob(
          TNavigate::Yes, TSkipExcluded::Yes,
          [this](TFileEntry& entry, int index, bool& success, std::optional<int> row) {
            ProgressPosition = JobCounter;
            state_.observer_.BatchProgressChanged(ProgressPosition, ProgressMax);
            ++JobCounter;
            jobProc_(entry, index, success, row);
          });
  } catch (...) {
    Interrupt(ErrorReason(std::current_exception()));
  }
  Finish();
}

void TBatchRun::TakeChoices(const TBatchChoices& choices) {
  TBatchFlags& flags = state_.Flags();
  flags.BatchJobCreateAllDirs = !choices.PromptForCreateDir;
  flags.BatchJobOverwriteAll = choices.OverwriteAll;
  flags.BatchJobOverwriteNone = choices.DontOverwrite;
  stage_ = TStage::Running;
  ProgressPosition = 0;
  JobCounter = 0;
  state_.observer_.BatchProgressChanged(ProgressPosition, ProgressMax);
}

int TBatchRun::CountJobs() {
  JobCounter = 0;
  state_.ForEachJob(TNavigate::No, TSkipExcluded::Yes,
                    [this](TFileEntry&, int, bool&, std::optional<int>) { ++JobCounter; });
  ProgressMax = JobCounter;
  JobCounter = 0;
  state_.observer_.BatchProgressChanged(ProgressPosition, ProgressMax);
  return ProgressMax;
}

void TBatchRun::Interrupt(const std::string& message) {
  if (InterruptedBy.empty()) InterruptedBy = message;
}

void TBatchRun::Finish() {
  stage_ = TStage::Finished;
  if (state_.Flags().BatchJobCancelled) {
    Close(TCloseResult::Cancel);
    return;
  }
  ResultText = BatchResultText(SavedCount, TotalCount, SkippedCount, FailedCount);
  if (!InterruptedBy.empty())
    ResultText = "Saved " + std::to_string(SavedCount) + " of " + std::to_string(TotalCount) +
                 " images, then the run stopped: " + InterruptedBy;
  // A close asked for by the frame during the run takes effect now, showing the result.
  if (closeRequested_) Close(TCloseResult::Cancel);
}

std::string TBatchRun::FailureDetails() const {
  std::string details;
  for (size_t i = 0; i < Outcomes.size() && i < static_cast<size_t>(state_.Count()); ++i) {
    if (Outcomes[i].Result != TJobResult::Failed) continue;
    if (!details.empty()) details += '\n';
    details += JobFileNameText(&state_.List().At(static_cast<int32_t>(i)), state_.SourceFolder()) +
               ": " + Outcomes[i].Error;
  }
  return details;
}

void TBatchRun::Cancel() {
  if (stage_ == TStage::Ready) {
    Close(TCloseResult::Cancel);
  } else if (stage_ == TStage::Running) {
    CancelCaption = "Closing...";
    state_.Flags().BatchJobCancelled = true;
  }
}

void TBatchRun::Close(TCloseResult result) {
  if (stage_ == TStage::Closed) return;
  if (stage_ == TStage::Running) {
    closeRequested_ = true;
    return;
  }
  stage_ = TStage::Closed;
  closeResult_ = result;
  if (state_.batchForm_ == this) state_.batchForm_ = nullptr;
  // With the dialog gone the text reaches the main window's status line.
  state_.SetStatusText(ResultText, TRepaint::Later);
  state_.Flags().BatchJobCancelled = true;
  CancelCaption = "Closing...";
}

}  // namespace picaxo
