#include "jobs/batch.h"

#include <exception>

#include "base/error.h"
#include "base/file_util.h"
#include "jobs/destination.h"

namespace picaxo {

namespace {
const char kNoFiles[] = "No files in current folder!";
}

// --- The walk over the entries ---

bool TAppState::PassIsRestricted() const {
  return Hooks.SelectedRowCount && Hooks.SelectedRowCount() > 1;
}

TJobOutcome TAppState::HandleJob(int32_t index, TNavigate navigate, TSkipExcluded skipExcluded,
                                 bool restricted, const TJobProc& jobProc) {
  TJobOutcome outcome;
  try {
    TFileEntry& entry = FileList.at(static_cast<size_t>(index));
    const bool selected = !restricted || (Hooks.IsRowSelected && Hooks.IsRowSelected(index));
    if ((skipExcluded == TSkipExcluded::Yes && entry.Excluded) || !selected) return outcome;
    if (BatchForm) ++BatchForm->TotalCount;
    if (BatchForm && Flags.BatchJobOverwriteNone && FileExists(DestinationPathOf(&entry))) {
      outcome.Result = TJobResult::ExistingSkipped;
      return outcome;
    }
    if (navigate == TNavigate::Yes) GoToImage(index);
    bool success = true;
    // The entry is looked up again: navigation never changes the list, but the reference is the
    // job procedure's to use.
    jobProc(FileList.at(static_cast<size_t>(index)), index, success, restricted ? index : -1);
    if (success && BatchForm) ++BatchForm->SavedCount;
    outcome.Result = success ? TJobResult::Succeeded : TJobResult::Declined;
  } catch (...) {
    outcome.Result = TJobResult::Failed;
    const bool known = index >= 0 && index < Count();
    outcome.Error = UserErrorMessage(
        std::current_exception(),
        known ? "process " + SplitPath(FileList[static_cast<size_t>(index)].FileName).Name
              : "process image " + std::to_string(int64_t{index} + 1));
  }
  return outcome;
}

bool TAppState::ReportEmptyList() {
  if (!FileList.empty()) return false;
  Prompt.Ask(TPromptKind::Error, kNoFiles, TPromptButton::Cancel);
  return true;
}

void TAppState::ForEachJob(TNavigate navigate, TSkipExcluded skipExcluded,
                           const TJobProc& jobProc) {
  if (ReportEmptyList()) return;
  if (BatchForm) {
    BatchForm->SavedCount = 0;
    BatchForm->TotalCount = 0;
  }
  const bool restricted = PassIsRestricted();
  for (int32_t index = 0; index < Count(); ++index) {
    HandleJob(index, navigate, skipExcluded, restricted, jobProc);
    if (Hooks.ProcessEvents) Hooks.ProcessEvents();
    if (BatchForm && Flags.BatchJobCancelled) break;
  }
  if (Hooks.FileExistsMarkerChanged) Hooks.FileExistsMarkerChanged();
}

TJobProc TAppState::SaveCurrentJob() {
  return [this](TFileEntry&, int, bool& success, int) { success = SaveCurrentImage(); };
}

void TAppState::ApplySettingsToJobs() {
  ForEachJob(TNavigate::No, TSkipExcluded::No, [this](TFileEntry& entry, int, bool&, int) {
    StoreSettingsToEntry(&entry, cmApplyAll, Settings, Extras);
  });
  if (Hooks.JobRowsChanged) Hooks.JobRowsChanged();
}

void TAppState::ResetJobs() {
  ForEachJob(TNavigate::No, TSkipExcluded::No,
             [](TFileEntry& entry, int, bool&, int) { entry.ResetEntry(cmResetAll); });
  if (Hooks.JobRowsChanged) Hooks.JobRowsChanged();
}

void TAppState::ClearStoredResizeSettings() {
  ForEachJob(TNavigate::No, TSkipExcluded::No,
             [](TFileEntry& entry, int, bool&, int) { entry.ResetEntry(cmSaveAllReset); });
  if (Hooks.JobRowsChanged) Hooks.JobRowsChanged();
}

void TAppState::RunBatchDialog(const TBatchDialogRunner& runDialog) {
  TBatchRun run(*this, SaveCurrentJob());
  runDialog(run);
  // The destructor closes a dialog the runner left open.
}

void TAppState::SaveAll(const TBatchDialogRunner& runDialog) {
  if (ReportEmptyList()) return;
  ClearStoredResizeSettings();
  RunBatchDialog(runDialog);
  ClearStoredResizeSettings();
}

void TAppState::ExecuteJobs(const TBatchDialogRunner& runDialog) {
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

std::string BatchTitleText(TBatchView view, bool selectedForm) {
  if (view == TBatchView::SimpleResize)
    return "Clicking on Start will save all images to the destination folder with the current "
           "settings.";
  if (selectedForm)
    return "Clicking on Start will save all selected images to the destination folder.";
  return "Clicking on Start will save all images to the destination folder.";
}

TBatchRun::TBatchRun(TAppState& state, TJobProc jobProc)
    : state_(state), jobProc_(std::move(jobProc)) {
  state_.BatchForm = this;
}

TBatchRun::~TBatchRun() {
  // A dialog destroyed mid-run (an error escaped its runner) still ends batch mode: the state
  // must never keep a pointer to it.
  if (stage_ == TStage::Running) stage_ = TStage::Finished;
  try {
    Close();
  } catch (...) {
    // The status hook failed; batch mode has already ended.
  }
  if (state_.BatchForm == this) state_.BatchForm = nullptr;
}

TBatchChoices TBatchRun::Show() {
  state_.Flags.BatchJobCancelled = false;
  TBatchChoices choices;
  choices.PromptForCreateDir = !state_.Flags.BatchJobCreateAllDirs;
  choices.CheckOverwriteAll(state_.Flags.BatchJobOverwriteAll);
  // Checking "never overwrite" after "overwrite all" leaves only the former checked.
  choices.CheckDontOverwrite(state_.Flags.BatchJobOverwriteNone);
  ProgressPosition = 0;
  if (ProgressChanged) ProgressChanged();
  return choices;
}

void TBatchRun::Start(const TBatchChoices& choices) {
  if (stage_ != TStage::Ready) return;
  TakeChoices(choices);
  CountJobs();
  try {
    if (state_.Hooks.LeavePreviewMode) state_.Hooks.LeavePreviewMode();
    state_.ForEachJob(TNavigate::Yes, TSkipExcluded::Yes,
                      [this](TFileEntry& entry, int index, bool& success, int row) {
                        ProgressPosition = JobCounter;
                        if (ProgressChanged) ProgressChanged();
                        ++JobCounter;
                        jobProc_(entry, index, success, row);
                      });
  } catch (...) {
    // An error outside the per-image guard ends the pass; the run reports what it reached.
  }
  Finish();
}

void TBatchRun::TakeChoices(const TBatchChoices& choices) {
  TBatchFlags& flags = state_.Flags;
  flags.BatchJobCreateAllDirs = !choices.PromptForCreateDir;
  flags.BatchJobOverwriteAll = choices.OverwriteAll;
  flags.BatchJobOverwriteNone = choices.DontOverwrite;
  stage_ = TStage::Running;
  ProgressPosition = 0;
  JobCounter = 0;
  if (ProgressChanged) ProgressChanged();
}

int TBatchRun::CountJobs() {
  JobCounter = 0;
  state_.ForEachJob(TNavigate::No, TSkipExcluded::Yes,
                    [this](TFileEntry&, int, bool&, int) { ++JobCounter; });
  ProgressMax = JobCounter;
  JobCounter = 0;
  if (ProgressChanged) ProgressChanged();
  return ProgressMax;
}

void TBatchRun::Finish() {
  stage_ = TStage::Finished;
  if (state_.Flags.BatchJobCancelled) {
    Close(TCloseResult::Cancel);
    return;
  }
  ResultText = "Successfully saved " + std::to_string(SavedCount) + " of " +
               std::to_string(TotalCount) + " images!";
  // A close asked for by the frame during the run takes effect now, showing the result.
  if (closeRequested_) Close(TCloseResult::Cancel);
}

void TBatchRun::Cancel() {
  if (stage_ == TStage::Ready) {
    Close(TCloseResult::Cancel);
  } else if (stage_ == TStage::Running) {
    CancelCaption = "Closing...";
    state_.Flags.BatchJobCancelled = true;
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
  if (state_.BatchForm == this) state_.BatchForm = nullptr;
  // With the dialog gone the text reaches the main window's status line.
  state_.SetStatusText(ResultText, false);
  state_.Flags.BatchJobCancelled = true;
  CancelCaption = "Closing...";
}

}  // namespace picaxo
