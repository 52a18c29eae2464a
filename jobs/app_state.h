#pragma once
// The model the main window drives: every decision of a window command, without widgets.
//
// Owners: the image list and the position (TImageList), the decoded source (TCurrentImage), the
// destination field, the batch flags and the saving questions (TSaver). TAppState joins them with
// the settings in effect, the texts of the name boxes, the view's selection, preview mode and
// zoom, and the job list's view state; it is the one object the window (and picaxo-cli) calls.
// Questions go through an IPrompt, everything shown through an IJobObserver, file deletion
// through an IFileRemover.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/geometry.h"
#include "imaging/raster.h"
#include "jobs/commands.h"
#include "jobs/controls.h"
#include "jobs/current_image.h"
#include "jobs/entry.h"
#include "jobs/fields.h"
#include "jobs/file_remover.h"
#include "jobs/image_list.h"
#include "jobs/keys.h"
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
// and the job list's row (the index in a pass restricted to selected rows, -1 otherwise).
using TJobProc = std::function<void(TFileEntry& entry, int index, bool& success, int row)>;

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

// Rotation of the source file: the values the rotate commands pass.
enum class TRotation : uint8_t { Right = 0, HalfTurn = 1, Left = 2 };
enum class TRotateResult {
  NoImage,              // no current image: nothing done
  NotAvailable,         // not a JPEG by name, or the lossless option is off: nothing done
  Rotated,              // rotated on disk, selection rotated, image reloaded
  RotatedWithWarnings,  // rotated, but the decoder gave harmless warnings: view and selection kept
};
struct TRotateOutcome {
  TRotateResult Result = TRotateResult::NoImage;
  int Warnings = 0;
  std::vector<std::string> NotKept;  // owner, group or attributes the rotated file lost
};
// The status text after a rotation that could not keep all of NotKept: "Rotated, but <...>; <...>."
std::string RotatedButNotKeptText(const std::vector<std::string>& notKept);

// Why the source-name box is checked for a rename.
enum class TRenameTrigger : uint8_t { EnterKey, FocusLoss, Navigation };
enum class TRenameResult { NoImage, Unchanged, Declined, Renamed, Failed };

enum class TDeleteResult {
  NoFile,      // nothing exists at the path: not asked
  Declined,    // the question was not answered Yes
  Deleted,     // removed
  NotDeleted,  // the remover failed; nothing is said, nothing changes
};

// The texts of the "Source File" and "Destination File" groups and the status panels for the
// current image.
struct TCurrentImageTexts {
  std::string SourceExtension;    // LExtIn: ".jpg", lower case
  std::string OriginalSize;       // LOriginalSize "%dx%d", empty without pixels
  std::string OriginalFileSize;   // LOriginalFileSize: size, and the ratio after a JPEG decode
  std::string EntryFolder;        // status panel 1
  std::string DestinationFolder;  // status panel 2
  std::string Dimension;          // LNewDimension "%dx%d", empty without pixels
  std::string Selection;          // LSelection "(%d,%d) - %dx%d" or "[all]"
  std::string FileExists;         // LFileExists: "X" or empty
  // LExtOut: the output format's extension, ".jpg" by default.
  std::string DestinationExtension;
};

// What the view shows.
struct TViewContent {
  enum class TKind { Empty, Source, Preview };
  TKind Kind = TKind::Empty;
  // Shared with the state: whoever shows it keeps it alive, and it is never changed.
  std::shared_ptr<const TRasterImage> Picture;
  bool Selectable = true;         // selections can be drawn (off in preview)
  std::string ImageFileSizeText;  // LImageFileSize (preview only)
};

class TAppState {
 public:
  explicit TAppState(IPrompt& prompt, IJobObserver& observer = NoObserver(),
                     IFileRemover& remover = DeletingFileRemover());
  TAppState(const TAppState&) = delete;
  TAppState& operator=(const TAppState&) = delete;

  // --- Owners ---
  const TImageList& List() const { return list_; }
  const TCurrentImage& Image() const { return image_; }
  const TSaver& Saver() const { return saver_; }
  int32_t Count() const { return list_.Count(); }
  int32_t CurrentIndex() const { return list_.CurrentIndex(); }
  const TFileEntry* CurrentEntry() const { return list_.Current(); }
  const std::string& SourceFolder() const { return list_.SourceFolder(); }

  // --- Fields of the window that the core reads ---
  const std::string& SourceFolderField() const { return sourceFolderField_; }
  void SetSourceFolderField(std::string text) { sourceFolderField_ = std::move(text); }
  bool RecursiveInput() const { return recursiveInput_; }
  void SetRecursiveInput(bool on) { recursiveInput_ = on; }
  bool LosslessRotate() const { return losslessRotate_; }
  void SetLosslessRotate(bool on) { losslessRotate_ = on; }
  // Whether the view may enlarge a small picture in its Auto zoom (kept for the settings).
  bool ViewAllowEnlargeInAutoMode() const { return viewAllowEnlarge_; }
  void SetViewAllowEnlargeInAutoMode(bool allow) { viewAllowEnlarge_ = allow; }
  // "Auto-Rotate by EXIF": JPEG sources are turned upright by their EXIF orientation. A change
  // loads the current image again (view, labels and preview follow).
  bool AutoOrient() const { return image_.Options().AutoOrient; }
  void SetAutoOrient(bool on);
  // EOutputDir: every change updates the marker and status panel 2 (FileExistsMarkerChanged).
  const std::string& DestinationFolderField() const { return saver_.DestinationField(); }
  void SetDestinationFolderField(std::string text);
  // Leaving EOutputDir or Enter in it: the text Escape restores.
  void CommitDestinationFolderField();
  // EInFilename: the source-name box as typed.
  const std::string& SourceNameText() const { return sourceNameText_; }
  void SetSourceNameText(std::string text) { sourceNameText_ = std::move(text); }
  // EOutFilename.
  const std::string& OutputNameText() const { return extras_.OutputName; }
  // Leaving EOutFilename or Enter in it: the text Escape restores.
  void CommitOutputNameText() { rememberedOutputName_ = extras_.OutputName; }
  // Enter in a text field, or leaving it: the field's commit (a scan, a rename check, a move to
  // the typed image number, the text Escape restores); text is the field's text. What the window
  // does next is returned (the settings fields report a change with the controls' values).
  TFieldCommit CommitField(TField field, TFieldEvent event, const std::string& text);
  // The text Escape puts back into the focused field; nothing for other fields.
  std::optional<std::string> EscapeRestoreText(TFocusedField field) const;

  // --- Settings in effect ---
  const TResizeSettings& Settings() const { return settings_; }
  // Settings from elsewhere (a settings file, picaxo-cli): nothing is stored into entries.
  void SetSettings(const TResizeSettings& settings) { settings_ = settings; }
  // The Options menu's "Colour Profile" and "Metadata" choices, kept in the settings: the current
  // image is decoded again (colour) or its preview rendered again (metadata).
  void SetColorProfilePolicy(TColorProfilePolicy policy);
  void SetMetadataPolicy(TMetadataPolicy policy);
  bool Excluded() const { return extras_.Excluded; }
  const std::optional<TSelection>& ViewSelection() const { return extras_.Selection; }
  // While the window fills its controls from the state, their change events are ignored: the
  // window holds a TFillingControls for that time.
  class TFillingControls {
   public:
    explicit TFillingControls(TAppState& state) : state_(state) { ++state_.filling_; }
    ~TFillingControls() { --state_.filling_; }
    TFillingControls(const TFillingControls&) = delete;
    TFillingControls& operator=(const TFillingControls&) = delete;

   private:
    TAppState& state_;
  };
  bool FillingControls() const { return filling_ > 0; }

  // --- Control changes ---
  // A destination-settings control changed: settings are the controls' values now. Stores the
  // groups of the control's mask into the current entry, or into every selected entry while the
  // job captions are in their Selected form, and says what to draw again. Ignored (nothing
  // stored, nothing to draw) while the window fills its controls.
  TRedraw ChangeSettings(TControl control, TTrigger trigger, const TResizeSettings& settings);
  // CBExcludeOutputFile / MExcludeInBatchMode.
  TRedraw ChangeExcluded(bool excluded);
  // Every text change of EOutFilename.
  TRedraw ChangeOutputName(const std::string& text);
  // Selection events of the view (selection is the view's, normalised; none when cleared).
  TRedraw ChangeSelection(const std::optional<TSelection>& selection, TSelectionPhase phase);
  // The dimension and selection label texts for the state now.
  std::string DimensionLabelText() const;
  std::string SelectionLabelText() const;

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
  // Where decodes made ahead come from (the window's decoding ahead; null: none). The supplier
  // outlives the state's use of it.
  void SetSourceSupplier(ISourceSupplier* supplier) { image_.SetSupplier(supplier); }
  // How loading holds the source: whole (the window, which shows it), or opened for streaming
  // (picaxo-cli, which only saves it). Streaming changes no text, question or byte of a save; a
  // source that fails behind a sound header fails when the save decodes it, before anything is
  // asked, as it failed on loading before. Set it before the scan.
  TSourceAccess SourceAccess() const { return image_.Access(); }
  void SetSourceAccess(TSourceAccess access) { image_.SetAccess(access); }
  // A copy of lead's list, folders, settings, flags and source access, with nothing loaded: a
  // parallel picaxo-cli worker.
  void TakeWorkFrom(const TAppState& lead);

  // --- What the window shows for the current image ---
  TCurrentImageTexts CurrentImageTexts() const;
  TCommandInputs CommandInputs() const;
  TCommandState EnabledCommands() const { return picaxo::EnabledCommands(CommandInputs()); }

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

  // --- Preview and zoom ---
  bool PreviewMode() const { return previewMode_; }
  // The preview toggle: sets the mode and renders the view (errors of the preview are thrown;
  // the view then shows nothing new).
  void SetPreviewMode(bool on);
  void TogglePreview() { SetPreviewMode(!previewMode_); }
  // RenderView: the preview when preview mode is on, otherwise the source.
  void RenderView();
  const TViewContent& View() const { return view_; }
  // The zoom shown. SelectZoom: true when it changed (the window applies it to the view).
  TZoom Zoom() const { return zoom_; }
  bool SelectZoom(TZoom zoom);
  // The zoom chosen before preview mode forced 1:1.
  TZoom SavedZoomChoice() const { return savedZoomChoice_; }
  // The zoom used outside preview mode, as the settings file keeps it ("NormalZoom").
  TZoom NormalZoom() const { return previewMode_ ? savedZoomChoice_ : zoom_; }
  void SetNormalZoom(TZoom zoom) { savedZoomChoice_ = zoom; }

  // --- Job list view ---
  bool JobsListVisible() const { return jobsListVisible_; }
  // SetJobsListVisible: the Batch Resize view shown or hidden; the captions follow.
  void SetJobsListVisible(bool show);
  TJobCaptionMode JobCaptionMode() const { return jobCaptionMode_; }
  // The captions after a change of the job rows' selection.
  void UpdateJobCaptions();
  // The user changed the job list's selection: row is the one selected row (-1: none or several,
  // or the list followed the current image). One selected row makes its image current.
  void JobRowsSelected(int row, TRowSelection selection);
  // Rows were added or dropped: the list's selection now, with nothing else following.
  void SetJobRowSelection(TRowSelection selection) { jobRows_ = std::move(selection); }
  // The selected job rows: a pass and a change of the controls cover these while more than one
  // is selected (none in the Simple Resize view).
  const TRowSelection& JobRowSelection() const { return jobRows_; }

  // --- Source file commands ---
  // Rotate Right / Left (lossless). Errors of the rotation are thrown; the cursor is restored.
  TRotateOutcome RotateCurrentImage(TRotation direction);
  // The rename check of the source-name box. Enter compares case-sensitively, the other
  // triggers ignore case.
  TRenameResult CheckSourceRename(TRenameTrigger trigger);
  // MInDelete and the Delete key: asks, removes the file, drops its entry.
  TDeleteResult DeleteSourceFile();
  // MOutDelete: asks, removes the destination file, updates the marker.
  TDeleteResult DeleteDestinationFile();
  // "Copy to...": the proposed name (the source's name, extension in lower case), the folder the
  // dialog starts in (the last target's folder, else CopyToDir of the settings), and the copy
  // itself (all bytes; the target is replaced whole or not at all). Errors are thrown.
  std::string CopyToProposedName() const;
  std::string CopyToStartFolder() const;
  void SetCopyToDir(std::string folder) { copyToDir_ = std::move(folder); }
  const std::string& CopyToDir() const { return copyToDir_; }
  void CopySourceTo(const std::string& target);
  // The "Copy to..." dialog closed on target (empty: cancelled). The settings keep the folder of
  // the last confirmed target of this run, and nothing after a cancel.
  void CopyTargetChosen(const std::string& target);
  const std::string& ConfirmedCopyToFolder() const { return confirmedCopyToFolder_; }

  // --- Batch ---
  TBatchFlags& Flags() { return saver_.Flags(); }
  const TBatchFlags& Flags() const { return saver_.Flags(); }
  TBatchRun* BatchForm() const { return batchForm_; }  // set while a batch dialog exists
  IPrompt& Prompt() { return prompt_; }
  IJobObserver& Observer() { return observer_; }

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
  // The batch dialog's title for the view and caption mode now.
  std::string BatchTitle() const;
  // How many images a run of the batch dialog converts at a time (0: one per core). One by
  // default; the window sets it from its settings.
  unsigned BatchWorkers() const { return batchWorkers_; }
  void SetBatchWorkers(unsigned workers) { batchWorkers_ = workers; }

 private:
  friend class TBatchRun;
  friend class TParallelSave;
  bool ReportEmptyList();
  void ClearStoredResizeSettings();
  void RunBatchDialog(const TBatchDialogRunner& runDialog);
  TRedraw ApplyControlChange(TControl control, TTrigger trigger);
  TSaveRequest MakeSaveRequest();
  void ShowBaseNameInBoxes();
  void DecodeNeighboursAhead();

  IPrompt& prompt_;
  IJobObserver& observer_;
  IFileRemover& remover_;
  TImageList list_;
  TCurrentImage image_;
  TSaver saver_;
  TResizeSettings settings_;
  std::string lastSaveWarning_;
  TEntryExtras extras_;  // the view's selection, the exclusion box, the output-name text
  std::string sourceFolderField_;
  std::string fileToSelectAfterScan_;
  std::vector<std::string> unreadableFolders_;
  bool recursiveInput_ = false;
  bool losslessRotate_ = true;
  std::string committedDestination_;
  std::string sourceNameText_;
  std::string rememberedOutputName_;
  bool decodedJpeg_ = false;  // the last load decoded a JPEG (the size text carries a ratio)
  int filling_ = 0;
  std::string statusText_;
  bool previewMode_ = false;
  TViewContent view_;
  TZoom zoom_ = TZoom::Auto;
  TZoom savedZoomChoice_ = TZoom::Auto;
  bool jobsListVisible_ = false;
  TJobCaptionMode jobCaptionMode_ = TJobCaptionMode::Hidden;
  TRowSelection jobRows_;
  std::string copyToDir_;
  std::string lastCopyTarget_;
  std::string confirmedCopyToFolder_;
  bool viewAllowEnlarge_ = true;
  TBatchRun* batchForm_ = nullptr;
  unsigned batchWorkers_ = 1;
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
