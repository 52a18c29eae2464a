#pragma once
// The model the main window drives: every decision of a window command, without widgets.
//
// TAppState is the image session (jobs/image_session.h) seen through this one window: the texts of
// the name boxes and what Escape restores in them, the view's selection, preview mode and zoom,
// the job list's view state and captions, the labels and enabled commands, and the source-file
// commands. File deletion goes through an IFileRemover.
#ifdef PICAXO_SESSION_ONLY
#error "picaxo-cli drives the image session alone (jobs/image_session.h)"
#endif
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
#include "jobs/entry.h"
#include "jobs/fields.h"
#include "jobs/file_remover.h"
#include "jobs/image_session.h"
#include "jobs/keys.h"

namespace picaxo {

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

class TAppState : public TImageSession {
 public:
  explicit TAppState(IPrompt& prompt, IJobObserver& observer = NoObserver(),
                     IFileRemover& remover = DeletingFileRemover());

  // --- Fields of the window that the core reads ---
  bool LosslessRotate() const { return losslessRotate_; }
  void SetLosslessRotate(bool on) { losslessRotate_ = on; }
  // Whether the view may enlarge a small picture in its Auto zoom (kept for the settings).
  bool ViewAllowEnlargeInAutoMode() const { return viewAllowEnlarge_; }
  void SetViewAllowEnlargeInAutoMode(bool allow) { viewAllowEnlarge_ = allow; }
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

  // --- What the window shows for the current image ---
  // The dimension and selection label texts for the state now.
  std::string DimensionLabelText() const;
  std::string SelectionLabelText() const;
  TCurrentImageTexts CurrentImageTexts() const;
  TCommandInputs CommandInputs() const;
  TCommandState EnabledCommands() const { return picaxo::EnabledCommands(CommandInputs()); }

  // --- Preview and zoom ---
  bool PreviewMode() const { return previewMode_; }
  // The preview toggle: sets the mode and renders the view (errors of the preview are thrown;
  // the view then shows nothing new).
  void SetPreviewMode(bool on);
  void TogglePreview() { SetPreviewMode(!previewMode_); }
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
  // The user changed the job list's selection: row is the one selected row (none when there are
  // none or several, or the list followed the current image). One selected row makes its image
  // current.
  void JobRowsSelected(std::optional<int32_t> row, TRowSelection selection);
  // The batch dialog's title for the view and caption mode now.
  std::string BatchTitle() const;

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

 protected:
  void LeavingImage() override;
  void ShowBaseName() override;
  void EntryLoaded() override;
  // RenderView: the preview when preview mode is on, otherwise the source.
  void RenderView() override;
  void LeavePreview() override { SetPreviewMode(false); }

 private:
  TRedraw ApplyControlChange(TControl control, TTrigger trigger);

  IFileRemover& remover_;
  bool losslessRotate_ = true;
  std::string committedDestination_;
  std::string sourceNameText_;
  std::string rememberedOutputName_;
  int filling_ = 0;
  bool previewMode_ = false;
  TViewContent view_;
  TZoom zoom_ = TZoom::Auto;
  TZoom savedZoomChoice_ = TZoom::Auto;
  bool jobsListVisible_ = false;
  TJobCaptionMode jobCaptionMode_ = TJobCaptionMode::Hidden;
  std::string copyToDir_;
  std::string lastCopyTarget_;
  std::string confirmedCopyToFolder_;
  bool viewAllowEnlarge_ = true;
};

}  // namespace picaxo
