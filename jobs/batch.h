#pragma once
// The batch dialog's logic without its widgets: the three option boxes, the counting pass and the
// working pass of a run, progress, cancellation and the result text. The window shows it as a
// modal dialog; tests and picaxo-cli drive it directly.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jobs/commands.h"
#include "jobs/image_session.h"

namespace picaxo {

// The dialog's check boxes.
struct TBatchChoices {
  bool OverwriteAll = false;       // "Overwrite existing files without prompting"
  bool DontOverwrite = false;      // "Never overwrite existing files"
  bool PromptForCreateDir = true;  // "Prompt when a folder needs to be created"

  // The two overwrite boxes exclude each other: checking one unchecks the other.
  void CheckOverwriteAll(bool checked);
  void CheckDontOverwrite(bool checked);
};

// The dialog's title text for the job captions' form (Hidden: the Simple Resize view).
std::string BatchTitleText(TJobCaptionMode mode);

// The destination files one run has written, with the source each came from. A later image of
// the same run whose destination is one of them is not saved (it would destroy what the run made
// moments before). Files are known by path and by identity (device and inode), so that another
// spelling of the same file (a folder that ignores letter case, a linked folder) is caught too.
// picaxo-cli's workers share one; it is safe to use from several threads.
class TWrittenFiles {
 public:
  // The source that wrote path in this run, if any.
  std::optional<std::string> WriterOf(const std::string& path) const;
  void Record(const std::string& path, const std::string& source);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> byPath_;
  std::map<std::pair<uint64_t, uint64_t>, std::string> byIdentity_;
};

// The reason a colliding image is not saved, naming both sources (relative names) and the file.
std::string CollisionMessage(const std::string& source, const std::string& earlierSource,
                             const std::string& destination);

// The result text of a finished run: "Successfully saved N of N images!" only when every counted
// image was saved; otherwise how many were saved, skipped and failed.
std::string BatchResultText(int saved, int total, int skipped, int failed);

class TBatchRun {
 public:
  enum class TStage { Ready, Running, Finished, Closed };
  enum class TCloseResult { None, OK, Cancel };

  // Creating the dialog puts the state into batch mode; closing (or destroying) it ends that.
  TBatchRun(TImageSession& state, TJobProc jobProc);
  ~TBatchRun();
  TBatchRun(const TBatchRun&) = delete;
  TBatchRun& operator=(const TBatchRun&) = delete;

  // When the dialog is shown: clears the cancel flag and gives the boxes from the flags.
  TBatchChoices Show();
  // Start: copies the boxes into the flags, counts the images, then saves them one by one.
  // Ends Finished (ResultText set) or, when cancelled, Closed with the Cancel result.
  //
  // Errors: an error while one image is handled fails that image only (HandleJob). An error
  // outside that guard (the observer failing between images, leaving preview mode) ends the run
  // in either pass alike: no further pass runs, the run finishes with the counts reached and
  // ResultText says that it stopped and why (InterruptedBy).
  void Start(const TBatchChoices& choices);
  // The steps of Start, for a caller that runs the working pass itself (picaxo-cli's workers):
  // the boxes into the flags, the counting pass (returns the number of images to save), and the
  // end of the run with SavedCount and TotalCount of the working pass.
  void TakeChoices(const TBatchChoices& choices);
  int CountJobs();
  void Finish();
  // An error outside the per-image guard ended a pass (picaxo-cli's workers report it here).
  void Interrupt(const std::string& message);
  // The Cancel button: before a run it closes the dialog; during one it asks the run to stop
  // after the image it is on.
  void Cancel();
  // Closing by Close, by the frame or at the end of a cancelled run. During a run (only reachable
  // from the interface's event processing) the close waits for the run to end.
  void Close(TCloseResult result = TCloseResult::Cancel);

  TStage Stage() const { return stage_; }
  TCloseResult CloseResult() const { return closeResult_; }

  int SavedCount = 0;  // counts of the last pass
  int TotalCount = 0;
  int SkippedCount = 0;  // kept because the destination existed, or a question answered No
  int FailedCount = 0;   // an error, or a destination this run had written already
  int JobCounter = 0;
  int ProgressMax = 0;
  int ProgressPosition = 0;
  std::string ResultText;  // BatchResultText after a finished run
  std::string CancelCaption = "Cancel";
  // What happened to each image in the working pass of Start, in list order.
  std::vector<TJobOutcome> Outcomes;
  // The message of the error that ended a pass early, empty when none did.
  std::string InterruptedBy;
  // The failed images of the working pass, one line each: "relative name: reason" (empty when
  // none failed). The window shows them below the result.
  std::string FailureDetails() const;

  // The destination files written in this run. A picaxo-cli worker's run shares the lead's.
  TWrittenFiles& WrittenFiles() { return *written_; }
  // How many images Start converts at a time (1: all on the calling thread).
  void SetWorkers(unsigned workers) { workers_ = workers; }
  void ShareWrittenFiles(const TBatchRun& lead) { written_ = lead.written_; }

 private:
  TImageSession& state_;
  TJobProc jobProc_;
  TStage stage_ = TStage::Ready;
  TCloseResult closeResult_ = TCloseResult::None;
  bool closeRequested_ = false;
  unsigned workers_ = 1;
  std::shared_ptr<TWrittenFiles> written_ = std::make_shared<TWrittenFiles>();
};

}  // namespace picaxo
