#include "jobs/image_session.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "jobs/batch.h"
#include "jobs/convert.h"
#include "jobs/destination.h"
#include "jobs/folder_scan.h"
#include "jobs/number_text.h"
#include "jobs/path_parts.h"

namespace picaxo {

namespace {
const char kNoSourceFile[] = "(no source file)";

}  // namespace

TImageSession::TImageSession(IPrompt& prompt, IJobObserver& observer)
    : prompt_(prompt),
      observer_(observer),
      saver_(prompt, observer,
             [this](const std::string& text, TRepaint repaint) { SetStatusText(text, repaint); }) {}

void TImageSession::SetDestinationFolderField(std::string text) {
  saver_.SetDestinationField(std::move(text));
  observer_.FileExistsMarkerChanged();
}

void TImageSession::SetStatusText(const std::string& text, TRepaint repaint) {
  statusText_ = text;
  if (batchForm_)
    observer_.BatchStatusTextChanged(text);
  else
    observer_.StatusTextChanged(text, repaint);
}

// --- Source folder scan and navigation ---

void TImageSession::ScanSourceFolder() {
  const std::string folder = LongPathForm(sourceFolderField_);
  observer_.SourceFolderUsed(folder);
  if (folder == list_.SourceFolder()) return;

  TWaitCursor wait(observer_, recursiveInput_ ? TWaitCursorMode::Show : TWaitCursorMode::Skip);
  list_.Replace(folder, {});
  image_.Forget();
  observer_.FileListChanged();

  unreadableFolders_.clear();
  std::exception_ptr failure;
  std::vector<TScannedFile> files;
  try {
    // A destination inside the source holds the outputs of earlier runs: never list them.
    ScanFolder(folder, recursiveInput_, files, unreadableFolders_,
               LongPathForm(saver_.DestinationField()));
  } catch (...) {
    failure = std::current_exception();
  }
  std::vector<TFileEntry> entries;
  entries.reserve(files.size());
  for (TScannedFile& f : files)
    entries.emplace_back(std::move(f.FileName), f.FileSize);
  list_.Replace(folder, std::move(entries), failure ? std::string() : fileToSelectAfterScan_);
  if (!failure) fileToSelectAfterScan_.clear();
  observer_.FileListChanged();
  LoadCurrentImage();
  if (failure) std::rethrow_exception(failure);
  if (!unreadableFolders_.empty() && !image_.Failed())
    SetStatusText(UnreadableFoldersText(unreadableFolders_));
}

void TImageSession::RescanSourceFolder() {
  list_.ForgetSourceFolder();
  ScanSourceFolder();
}

void TImageSession::TakeCommandLineArgument(const std::string& argument) {
  const std::string path = LongPathForm(argument);
  if (FolderExists(path)) {
    sourceFolderField_ = path;
  } else if (FileExists(path)) {
    sourceFolderField_ = SplitPath(path).Folder;
    fileToSelectAfterScan_ = path;
  }
}

void TImageSession::GoToImage(int64_t index) {
  if (!list_.CanMoveTo(index)) return;
  if (!batchForm_) {
    LeavingImage();
    observer_.JobRowsChanged(TJobRows::Current);
  }
  list_.MoveTo(index);
  LoadImage(loadsInBackground_ && !batchForm_);
}

void TImageSession::GoPrevious() {
  if (CurrentIndex() > 0) GoToImage(int64_t{CurrentIndex()} - 1);
}

void TImageSession::GoNext() {
  if (CurrentIndex() < Count() - 1) GoToImage(int64_t{CurrentIndex()} + 1);
}

void TImageSession::GoFirst() {
  GoToImage(0);
}

void TImageSession::GoLast() {
  GoToImage(int64_t{Count()} - 1);
}

void TImageSession::GoToPreviousIndex() {
  if (const std::optional<int32_t> previous = list_.PreviousIndex()) GoToImage(*previous);
}

void TImageSession::GoToNumberText(const std::string& text) {
  GoToImage(int64_t{ParseImageNumber(text)} - 1);
}

void TImageSession::ShowBaseName() {
  const TFileEntry* entry = list_.Current();
  extras_.OutputName = entry ? entry->BaseName() : kNoSourceFile;
}

void TImageSession::LoadCurrentImage() {
  LoadImage(false);
}

void TImageSession::LoadImage(bool background) {
  TFileEntry* entry = list_.Current();
  std::optional<TWaitCursor> wait;
  if (entry && !background) {
    SetStatusText("Loading " + SplitPath(entry->FileName).Name + "...", TRepaint::Now);
    wait.emplace(observer_);
  }
  decodedJpeg_ = false;
  ShowBaseName();
  TLoadResult result = TLoadResult::Failed;
  if (entry) {
    // A transparent source is composited over the padding colour it will be saved with.
    TResizeSettings resolved = settings_;
    TEntryExtras extras = extras_;
    ApplyEntryToSettings(*entry, resolved, extras);
    TSourceOptions options = image_.Options();
    options.Background = resolved.PaddingColor;
    image_.SetOptions(options);
    const TColorProfilePolicy color = ColorProfilePolicyOf(settings_);
    result =
        background ? image_.Begin(entry->FileName, color) : image_.Load(entry->FileName, color);
    if (result == TLoadResult::Pending) return ShowPendingImage(*entry);
  } else {
    image_.Clear();
  }
  ShowLoadedImage(result);
}

void TImageSession::ShowLoadedImage(TLoadResult result) {
  TFileEntry* entry = list_.Current();
  bool haveFile = entry != nullptr;
  if (entry) {
    if (result == TLoadResult::Failed) {
      haveFile = false;
      SetStatusText(image_.LoadError(), TRepaint::Now);
    }
    decodedJpeg_ = result == TLoadResult::Decoded && entry->IsJpeg();
    entry->Size = TPictureSize{image_.Width(), image_.Height()};
    // An entry's own output name replaces the base name in the output-name box.
    ApplyEntryToSettings(*entry, settings_, extras_);
  }
  EntryLoaded();
  if (!haveFile) extras_.Selection.reset();

  std::exception_ptr previewFailure;
  try {
    RenderView();
  } catch (...) {
    previewFailure = std::current_exception();
  }
  observer_.NameTextsChanged();
  observer_.CurrentImageLoaded();
  // A good load, and an empty list, leave the status line empty; a failed decode keeps its
  // message there, and a damaged source (shown as far as it could be read) and a colour profile
  // that could not be used say so.
  if (haveFile) {
    const std::string name = SplitPath(entry->FileName).Name;
    std::string note = image_.Damaged() ? DamagedSourceText(name) : std::string();
    if (!image_.LoadWarning().empty())
      note += (note.empty() ? "" : ". ") + SourceWarningText(name, image_.LoadWarning());
    SetStatusText(note, TRepaint::Later);
  } else if (!entry) {
    SetStatusText("", TRepaint::Later);
  }
  DecodeNeighboursAhead();
  if (previewFailure) std::rethrow_exception(previewFailure);
}

void TImageSession::DecodeNeighboursAhead() {
  // A batch run decodes for itself; outside one the next image is wanted first, then the
  // previous.
  if (batchForm_) return;
  std::vector<std::string> wanted;
  const int32_t index = CurrentIndex();
  if (list_.Current()) {
    if (index + 1 < Count()) wanted.push_back(list_.At(index + 1).FileName);
    if (index > 0) wanted.push_back(list_.At(index - 1).FileName);
  }
  image_.DecodeAhead(wanted);
}

void TImageSession::SetColorProfilePolicy(TColorProfilePolicy policy) {
  if (ColorProfilePolicyOf(settings_) == policy) return;
  settings_.ColorProfile = static_cast<uint8_t>(policy);
  // The pixels themselves change: decoded again under the new policy, view and preview with them.
  if (list_.Current()) LoadCurrentImage();
}

void TImageSession::SetMetadataPolicy(TMetadataPolicy policy) {
  if (MetadataPolicyOf(settings_) == policy) return;
  settings_.Metadata = static_cast<uint8_t>(policy);
  // Only the bytes a save writes change: the preview (and its size) is rendered again.
  RenderView();
}

void TImageSession::ReloadCurrentImage() {
  if (TFileEntry* entry = list_.Current()) entry->Size.reset();
  image_.Forget();
  LoadCurrentImage();
}

void TImageSession::SetAutoOrient(bool on) {
  if (on == AutoOrient()) return;
  TSourceOptions options = image_.Options();
  options.AutoOrient = on;
  image_.SetOptions(options);
  if (list_.Current()) LoadCurrentImage();
}

void TImageSession::TakeWorkFrom(const TImageSession& lead) {
  list_ = lead.list_.WorkerCopy();
  image_.Clear();
  image_.SetAccess(lead.image_.Access());
  image_.SetOptions(lead.image_.Options());
  sourceFolderField_ = lead.sourceFolderField_;
  recursiveInput_ = lead.recursiveInput_;
  saver_.SetDestinationField(lead.saver_.DestinationField());
  saver_.Flags() = lead.saver_.Flags();
  settings_ = lead.settings_;
}

int32_t ParseImageNumber(const std::string& text) {
  return ParseDecimalInt32(text).value_or(0);
}

}  // namespace picaxo
