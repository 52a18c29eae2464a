// The window's model on top of the image session: control changes, the view's selection, preview
// mode and zoom, the job list's view state, the labels and the Escape texts.
#include <exception>
#include <memory>
#include <utility>

#include "base/file_util.h"
#include "imaging/pipeline.h"
#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs/convert.h"
#include "jobs/destination.h"
#include "jobs/path_parts.h"

namespace picaxo {

namespace {
const char kNoSourceFile[] = "(no source file)";
// The changes that re-render the preview when made at once (not on leaving an edit).
constexpr ChangeMask kRenderingGroups = cmResize | cmValues | cmEnlarge | cmQuality;
}  // namespace

TAppState::TAppState(IPrompt& prompt, IJobObserver& observer, IFileRemover& remover)
    : TImageSession(prompt, observer), remover_(remover) {}

// --- The session's steps, as the window sees them ---

void TAppState::LeavingImage() {
  CheckSourceRename(TRenameTrigger::Navigation);
}

void TAppState::ShowBaseName() {
  TImageSession::ShowBaseName();
  sourceNameText_ = extras_.OutputName;
}

void TAppState::EntryLoaded() {
  rememberedOutputName_ = CurrentEntry() ? extras_.OutputName : std::string();
}

// --- Control changes ---

TRedraw TAppState::ApplyControlChange(TControl control, TTrigger trigger) {
  if (FillingControls()) return {};
  ChangeMask mask = ChangeMaskOf(control);
  TRedraw redraw;
  // In the Selected form a change goes to every selected entry; with no row selected (the
  // selection was cleared) it goes to the current entry rather than nowhere.
  const bool toSelected = jobCaptionMode_ == TJobCaptionMode::Selected && jobRows_.Count() > 0;
  if (toSelected) {
    mask &= static_cast<ChangeMask>(~(cmSelection | cmOutputName));
    for (int32_t row = 0; row < list_.Count(); ++row)
      if (jobRows_.Contains(row)) StoreSettingsToEntry(&list_.At(row), mask, settings_, extras_);
    redraw.AllJobRows = true;
  } else {
    StoreSettingsToEntry(list_.Current(), mask, settings_, extras_);
    redraw.CurrentJobRow = true;
  }
  redraw.DimensionLabel = true;
  redraw.SelectionLabel = true;
  // The format gives the destination name its extension.
  if ((mask & cmOutputName) || control == TControl::CBFormat) redraw.FileExistsMarker = true;
  // A name or an exclusion may make another row's destination shared or no longer shared.
  if ((mask & (cmOutputName | cmExclude)) || control == TControl::CBFormat)
    redraw.AllJobRows = true;
  if (trigger == TTrigger::Commit && previewMode_ && (mask & kRenderingGroups)) {
    redraw.View = true;
    RenderView();
  }
  return redraw;
}

TRedraw TAppState::ChangeSettings(TControl control, TTrigger trigger,
                                  const TResizeSettings& settings) {
  settings_ = settings;
  TRedraw redraw = ApplyControlChange(control, trigger);
  // A transparent source's pixels follow the padding colour they are composited over.
  if (image_.Notes().HadAlpha && settings_.PaddingColor != image_.Options().Background &&
      list_.Current()) {
    LoadCurrentImage();
    redraw.View = true;
  }
  return redraw;
}

TRedraw TAppState::ChangeExcluded(bool excluded) {
  extras_.Excluded = excluded;
  return ApplyControlChange(TControl::CBExcludeOutputFile, TTrigger::Commit);
}

TRedraw TAppState::ChangeOutputName(const std::string& text) {
  extras_.OutputName = text;
  return ApplyControlChange(TControl::EOutFilename, TTrigger::Edit);
}

TRedraw TAppState::ChangeSelection(const std::optional<TSelection>& selection,
                                   TSelectionPhase phase) {
  extras_.Selection = selection;
  if (phase == TSelectionPhase::Changed)
    return ApplyControlChange(TControl::ImgViewBox, TTrigger::Leave);
  TRedraw redraw;
  redraw.SelectionLabel = true;
  // Under FixedArea every step of a drag would run the area search: only the selection label
  // follows the drag.
  if (!(settings_.ResizeEnabled && SelectedRule(settings_) == ResizeRule::FixedArea)) {
    redraw.DimensionLabel = true;
    redraw.CurrentJobRow = true;
  }
  return redraw;
}

// --- Preview and zoom ---

void TAppState::SetPreviewMode(bool on) {
  if (on == previewMode_) return;
  previewMode_ = on;
  RenderView();
}

void TAppState::RenderView() {
  const TFileEntry* entry = list_.Current();
  if (previewMode_) {
    view_.ImageFileSizeText.clear();
    if (image_.Image().Empty() || !entry) {
      view_.Kind = TViewContent::TKind::Empty;
      view_.Picture = nullptr;
      observer_.ViewChanged();
      return;
    }
    SetStatusText("Rendering preview...", TRepaint::Now);
    TWaitCursor wait(observer_);
    if (view_.Selectable) {
      view_.Selectable = false;
      savedZoomChoice_ = zoom_;
    }
    TPreview preview;
    try {
      preview = RenderCurrentPreview(entry, image_.Image(), extras_.Selection, settings_,
                                     image_.Notes().AppliedOrientation);
    } catch (...) {
      // No preview is shown; the error reaches the window's error box.
      view_.Kind = TViewContent::TKind::Empty;
      view_.Picture = nullptr;
      observer_.ViewChanged();
      throw;
    }
    SelectZoom(TZoom::OneToOne);
    view_.Kind = TViewContent::TKind::Preview;
    view_.Picture = std::make_shared<const TRasterImage>(std::move(preview.Picture));
    view_.ImageFileSizeText =
        SizeAndRatioText(preview.ByteSize, preview.Width, preview.Height, TRatio::Include);
    SetStatusText("", TRepaint::Later);
  } else {
    const std::string remembered = StatusText();
    view_.ImageFileSizeText.clear();
    if (!image_.Image().Empty()) {
      SetStatusText("Displaying image...", TRepaint::Now);
      TWaitCursor wait(observer_);
      if (!view_.Selectable) {
        view_.Selectable = true;
        SelectZoom(savedZoomChoice_);
      }
      view_.Kind = TViewContent::TKind::Source;
      view_.Picture = image_.SharedImage();
      SetStatusText(remembered, TRepaint::Later);
    } else {
      view_.Kind = TViewContent::TKind::Empty;
      view_.Picture = nullptr;
    }
  }
  observer_.ViewChanged();
}

bool TAppState::SelectZoom(TZoom zoom) {
  if (zoom == zoom_) return false;
  zoom_ = zoom;
  return true;
}

// --- Job list view ---

void TAppState::SetJobsListVisible(bool show) {
  if (show == jobsListVisible_) return;
  jobsListVisible_ = show;
  jobCaptionMode_ = show ? NextJobCaptionMode(TJobCaptionMode::Hidden, true, jobRows_.Count())
                         : TJobCaptionMode::Hidden;
}

void TAppState::UpdateJobCaptions() {
  jobCaptionMode_ = NextJobCaptionMode(jobCaptionMode_, jobsListVisible_, jobRows_.Count());
}

void TAppState::JobRowsSelected(std::optional<int32_t> row, TRowSelection selection) {
  jobRows_ = std::move(selection);
  if (jobRows_.Count() == 0) return;
  if (jobRows_.Count() == 1 && row) GoToImage(*row);
  UpdateJobCaptions();
}

// --- Text fields ---

void TAppState::CommitDestinationFolderField() {
  committedDestination_ = saver_.DestinationField();
}

std::optional<std::string> TAppState::EscapeRestoreText(TFocusedField field) const {
  switch (field) {
    case TFocusedField::EInputDir:
      return list_.SourceFolder();
    case TFocusedField::EOutputDir:
      return committedDestination_;
    case TFocusedField::EInFilename:
      if (const TFileEntry* entry = list_.Current()) return entry->BaseName();
      return std::string(kNoSourceFile);
    case TFocusedField::EOutFilename:
      return rememberedOutputName_;
    case TFocusedField::None:
    case TFocusedField::Other:
      break;
  }
  return std::nullopt;
}

std::string TAppState::DimensionLabelText() const {
  if (image_.Empty()) return std::string();
  return DimensionText(ComputeCurrentGeometry(list_.Current(), image_.Width(), image_.Height(),
                                              extras_.Selection, settings_));
}

std::string TAppState::SelectionLabelText() const {
  return SelectionText(extras_.Selection);
}

TCurrentImageTexts TAppState::CurrentImageTexts() const {
  TCurrentImageTexts texts;
  const TFileEntry* entry = list_.Current();
  if (entry) {
    texts.SourceExtension = LowerExtensionOf(entry->FileName);
    const TPictureSize size = entry->Size.value_or(TPictureSize{});
    texts.OriginalFileSize = SizeAndRatioText(entry->FileSize, size.Width, size.Height,
                                              decodedJpeg_ ? TRatio::Include : TRatio::Omit);
    texts.EntryFolder = SplitPath(entry->FileName).Folder;
    texts.DestinationFolder = DestinationFolderOf(entry);
  }
  if (!image_.Empty()) {
    texts.OriginalSize = std::to_string(image_.Width()) + "x" + std::to_string(image_.Height());
  }
  texts.Dimension = DimensionLabelText();
  texts.Selection = SelectionLabelText();
  texts.FileExists = CurrentDestinationExists() ? "X" : "";
  texts.DestinationExtension = OutputExtension(ResolveOutputFormat(entry, settings_));
  return texts;
}

TCommandInputs TAppState::CommandInputs() const {
  TCommandInputs in;
  const TFileEntry* entry = list_.Current();
  in.HasEntry = entry != nullptr;
  // A picture still being decoded counts: the commands that need it wait for it.
  in.HasFile = entry != nullptr && (!image_.Empty() || image_.Pending());
  in.IsJpegName = entry != nullptr && entry->IsJpeg();
  in.LosslessRotate = losslessRotate_;
  in.Count = list_.Count();
  in.CurrentIndex = list_.CurrentIndex();
  in.JobsListVisible = jobsListVisible_;
  in.DestinationExists = CurrentDestinationExists();
  return in;
}

std::string TAppState::BatchTitle() const {
  return BatchTitleText(jobsListVisible_ ? jobCaptionMode_ : TJobCaptionMode::Hidden);
}

TFieldCommit TAppState::CommitField(TField field, TFieldEvent event, const std::string& text) {
  const bool enter = event == TFieldEvent::Enter;
  switch (field) {
    case TField::EInputDir:
      SetSourceFolderField(text);
      if (enter)
        RescanSourceFolder();
      else
        ScanSourceFolder();
      break;
    case TField::EOutputDir:
      CommitDestinationFolderField();
      break;
    case TField::EInFilename:
      CheckSourceRename(enter ? TRenameTrigger::EnterKey : TRenameTrigger::FocusLoss);
      break;
    case TField::EInFileNumber:
      GoToNumberText(text);
      break;
    case TField::EOutFilename:
      CommitOutputNameText();
      break;
    default:
      break;
  }
  return SettingsFieldCommit(field, event);
}

}  // namespace picaxo
