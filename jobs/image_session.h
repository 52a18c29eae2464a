#pragma once
// The image session: the listed source folder and its entries, the current image, the settings in
// effect, saving and the batch passes. picaxo-cli drives it alone; the window's model (TAppState)
// builds on it.
//
// Owners: the image list and the position (TImageList), the decoded source (TCurrentImage), the
// destination field, the batch flags and the saving questions (TSaver). Questions go through an
// IPrompt, everything shown through an IJobObserver.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/current_image.h"
#include "jobs/entry.h"
#include "jobs/image_list.h"
#include "jobs/observer.h"
#include "jobs/prompt.h"
#include "jobs/row_selection.h"
#include "jobs/saver.h"

namespace picaxo {

class TBatchRun;

enum class TNavigate : bool { No, Yes };
enum class TSkipExcluded : bool { No, Yes };
// Whether a pass covers only the selected rows of the job list (more than one row selected).
enum class TPassScope : bool { AllRows, SelectedRows };

// Called for one entry by ForEachJob: the entry, its index, an in-out success flag (true on entry)
// and the job list's row (the index in a pass restricted to selected rows, none otherwise).
using TJobProc =
    std::function<void(TFileEntry& entry, int index, bool& success, std::optional<int> row)>;

// What happened to one index of a ForEachJob pass.
enum class TJobResult {
  Filtered,         // left out: excluded or not among the selected rows
  ExistingSkipped,  // never-overwrite: its destination file exists
  Succeeded,        // the job procedure left the success flag set
  Declined,         // the job procedure cleared the success flag
  Failed,           // the job procedure raised an error (message in Error)
};
struct TJobOutcome {
  TJobResult Result = TJobResult::Filtered;
  std::string Error;
};

// Shows the batch dialog modally and returns when it has been closed (or leaves the closing to
// the caller). Tests and picaxo-cli drive the run directly.
using TBatchDialogRunner = std::function<void(TBatchRun& run)>;

class TImageSession {
 public:
  explicit TImageSession(IPrompt& prompt, IJobObserver& observer = NoObserver());
  virtual ~TImageSession() = default;
  TImageSession(const TImageSession&) = delete;
  TImageSession& operator=(const TImageSession&) = delete;

  // --- Owners ---
  const TImageList& List() const { return list_; }
  const TCurrentImage& Image() const { return image_; }
  const TSaver& Saver() const { return saver_; }
  int32_t Count() const { return list_.Count(); }
  int32_t CurrentIndex() const { return list_.CurrentIndex(); }
  const TFileEntry* CurrentEntry() const { return list_.Current(); }
  const std::string& SourceFolder() const { return list_.SourceFolder(); }
  IPrompt& Prompt() { return prompt_; }
  IJobObserver& Observer() { return observer_; }

  // --- What is listed and how it is read ---
  const std::string& SourceFolderField() const { return sourceFolderField_; }
  void SetSourceFolderField(std::string text) { sourceFolderField_ = std::move(text); }
  bool RecursiveInput() const { return recursiveInput_; }
  void SetRecursiveInput(bool on) { recursiveInput_ = on; }
  // "Auto-Rotate by EXIF": JPEG sources are turned upright by their EXIF orientation. A change
  // loads the current image again (view, labels and preview follow).
  bool AutoOrient() const { return image_.Options().AutoOrient; }
  void SetAutoOrient(bool on);
  // How loading holds the source: whole (the window, which shows it), or opened for streaming
  // (picaxo-cli, which only saves it). Streaming changes no text, question or byte of a save; a
  // source that fails behind a sound header fails when the save decodes it, before anything is
  // asked, as it failed on loading before. Set it before the scan.
  TSourceAccess SourceAccess() const { return image_.Access(); }
  void SetSourceAccess(TSourceAccess access) { image_.SetAccess(access); }
  // Where decodes made ahead come from (the window's decoding ahead; null: none). The supplier
  // outlives the session's use of it.
  void SetSourceSupplier(ISourceSupplier* supplier) { image_.SetSupplier(supplier); }
  // EOutputDir: every change updates the marker and status panel 2 (FileExistsMarkerChanged).
  const std::string& DestinationFolderField() const { return saver_.DestinationField(); }
  void SetDestinationFolderField(std::string text);

  // --- Settings in effect ---
  const TResizeSettings& Settings() const { return settings_; }
  // Settings from elsewhere (a settings file, picaxo-cli): nothing is stored into entries.
  void SetSettings(const TResizeSettings& settings) { settings_ = settings; }
  // The Options menu's "Colour Profile" and "Metadata" choices, kept in the settings: the current
  // image is decoded again (colour) or its preview rendered again (metadata).
  void SetColorProfilePolicy(TColorProfilePolicy policy);
  void SetMetadataPolicy(TMetadataPolicy policy);
  // The current image's own crop and exclusion, as its entry and the controls hold them.
  bool Excluded() const { return extras_.Excluded; }
  const std::optional<TSelection>& ViewSelection() const { return extras_.Selection; }

  // --- Status line ---
  // To the batch dialog's label while one exists, else to the status line.
  void SetStatusText(const std::string& text, TRepaint repaint = TRepaint::Later);
  const std::string& StatusText() const { return statusText_; }

  // --- Source folder scan and navigation ---
  // Rebuilds the list from the source folder field unless it names the folder already listed.
  // Errors of the scan are thrown after the list, the rows and the current image are up to date.
  // Subfolders that could not be listed are kept in UnreadableFolders, and the status line names
  // them once the current image has loaded without an error.
  void ScanSourceFolder();
  // The subfolders the last scan could not list (wholly or in part), in the order met.
  const std::vector<std::string>& UnreadableFolders() const { return unreadableFolders_; }
  // Enter in the source folder field: scan again even when the folder is unchanged.
  void RescanSourceFolder();
  // The command-line argument: a folder, or a file whose folder is listed with that file current.
  // Does not scan.
  void TakeCommandLineArgument(const std::string& argument);
  // Files or folders dropped onto the window (jobs/drop.h): lists the folder they name and shows
  // the dropped image; a folder listed already is not read again. False (nothing done) when the
  // drop names no folder and no source image.
  bool OpenDropped(const std::vector<std::string>& paths);
  // Makes image index current (clamped). Outside a batch the source-name box gets its rename
  // check first and the current job row is redrawn.
  void GoToImage(int64_t index);
  void GoPrevious();
  void GoNext();
  void GoFirst();
  void GoLast();
  void GoToPreviousIndex();                      // Backspace: back to the previous index, if any
  void GoToNumberText(const std::string& text);  // text of the image-number box, from 1
  // Decodes the current file when it is not the one loaded and puts its entry's settings into
  // effect; then CurrentImageLoaded.
  void LoadCurrentImage();
  void ReloadCurrentImage();
  // Moves to another image load it in the background when the supplier can (the window): the
  // move shows the image's name, texts and settings at once and its picture once it arrives
  // (FinishPendingLoad). Off by default: every load is done when the call returns.
  void SetLoadsInBackground(bool on) { loadsInBackground_ = on; }
  // The current image's picture is still being decoded in the background.
  bool LoadPending() const { return image_.Pending(); }
  // Shows the picture of the pending load once it has arrived (when wait, after waiting for it),
  // as LoadCurrentImage shows one. True while it is still pending.
  bool FinishPendingLoad(bool wait);
  // A copy of lead's list, folders, settings, flags and source access, with nothing loaded: a
  // parallel picaxo-cli worker.
  void TakeWorkFrom(const TImageSession& lead);

  // --- Destination ---
  std::string DestinationFolderOf(const TFileEntry* entry) const;
  std::string DestinationFileNameOf(const TFileEntry* entry) const;
  std::string DestinationPathOf(const TFileEntry* entry) const;
  bool CurrentDestinationExists() const;  // the "X" marker
  // The images (not excluded) that share their destination file with another such image, in
  // groups of two or more indices in list order: a run saves only the first of each group.
  std::vector<std::vector<int32_t>> DestinationCollisions() const;
  // Whether image index is in such a group (the job list's "C" flag). Worked out once for the
  // whole list and again only after the list, an entry or the destination field changed.
  bool SharesDestination(int32_t index) const;
  // Writes the destination file of the current image (see TSaver::Save).
  TSaveOutcome SaveCurrentImage();
  // What the last save's conversion ignored (see TSaveOutcome::Warning); empty when nothing.
  const std::string& LastSaveWarning() const { return lastSaveWarning_; }
  // Saves and moves on; after the last image tells "Finished !".
  TSaveOutcome SaveAndNext();

  // --- Batch ---
  TBatchFlags& Flags() { return saver_.Flags(); }
  const TBatchFlags& Flags() const { return saver_.Flags(); }
  TBatchRun* BatchForm() const { return batchForm_; }  // set while a batch dialog exists
  // The selected job rows: a pass covers these while more than one is selected (none in the
  // Simple Resize view and in picaxo-cli). The job list reports every change.
  const TRowSelection& JobRowSelection() const { return jobRows_; }
  void SetJobRowSelection(TRowSelection selection) { jobRows_ = std::move(selection); }
  // The walk over the entries. The result holds what happened to each index, in list order
  // (indices after a cancel stay Filtered); empty for an empty list.
  std::vector<TJobOutcome> ForEachJob(TNavigate navigate, TSkipExcluded skipExcluded,
                                      const TJobProc& jobProc);
  // One index of a pass (steps shared by ForEachJob and the parallel picaxo-cli workers).
  TJobOutcome HandleJob(int32_t index, TNavigate navigate, TSkipExcluded skipExcluded,
                        TPassScope scope, const TJobProc& jobProc);
  // The scope of a pass made now.
  TPassScope PassScope() const;
  // The job procedure that saves: success is whether the file was written.
  TJobProc SaveCurrentJob();
  // Apply: the settings in effect into every (selected) entry, all groups but selection and name.
  void ApplySettingsToJobs();
  // Reset: clears every stored setting of every (selected) entry except the output name.
  void ResetJobs();
  // Simple Resize "Save All": every image with the settings in effect, keeping each image's crop,
  // exclusion and output name.
  void SaveAll(const TBatchDialogRunner& runDialog);
  // Batch Resize "Execute": every (selected) image with its own stored settings.
  void ExecuteJobs(const TBatchDialogRunner& runDialog);
  // How many images a run of the batch dialog converts at a time (0: one per core). One by
  // default; the window sets it from its settings.
  unsigned BatchWorkers() const { return batchWorkers_; }
  void SetBatchWorkers(unsigned workers) { batchWorkers_ = workers; }

 protected:
  // What the window adds to a session's steps; nothing here.
  // Before another image becomes current outside a batch (the rename check of the name box).
  virtual void LeavingImage() {}
  // The current entry's base name is put into the name boxes (before its image is decoded).
  virtual void ShowBaseName();
  // The current image has been decoded and its entry's settings put into effect (or there is
  // none any more).
  virtual void EntryLoaded() {}
  // The view must show the current image (or its preview) again; errors are thrown.
  virtual void RenderView() {}
  // A batch run starts: the view shows the source again.
  virtual void LeavePreview() {}
  void ClearStoredResizeSettings();

  IPrompt& prompt_;
  IJobObserver& observer_;
  TImageList list_;
  TCurrentImage image_;
  TSaver saver_;
  TResizeSettings settings_;
  TEntryExtras extras_;  // the view's selection, the exclusion box, the output-name text
  std::string sourceFolderField_;
  bool recursiveInput_ = false;
  bool decodedJpeg_ = false;  // the last load decoded a JPEG (the size text carries a ratio)
  TRowSelection jobRows_;

 private:
  friend class TBatchRun;
  friend class TParallelSave;
  bool ReportEmptyList();
  void RunBatchDialog(const TBatchDialogRunner& runDialog);
  TSaveRequest MakeSaveRequest();
  void DecodeNeighboursAhead();
  void LoadImage(bool background);
  void ShowPendingImage(TFileEntry& entry);
  void ShowLoadedImage(TLoadResult result);

  std::string lastSaveWarning_;
  std::string fileToSelectAfterScan_;
  std::vector<std::string> unreadableFolders_;
  std::string statusText_;
  TBatchRun* batchForm_ = nullptr;
  unsigned batchWorkers_ = 1;
  bool loadsInBackground_ = false;
  struct TCollisionCache {
    bool valid = false;
    uint64_t generation = 0;
    std::string sourceFolder;
    std::string destinationField;
    uint8_t outputFormat = 0;  // names of images without a format of their own follow it
    std::vector<bool> shared;
  };
  mutable TCollisionCache collisions_;
};

// The number typed into the image-number box: its decimal value, 0 when it is not a 32-bit
// decimal number (surrounding blanks are allowed).
int32_t ParseImageNumber(const std::string& text);

}  // namespace picaxo
