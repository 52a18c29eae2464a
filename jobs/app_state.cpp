#include "jobs/app_state.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/pipeline.h"
#include "jobs/batch.h"
#include "jobs/destination.h"
#include "jobs/folder_scan.h"

namespace picaxo {

TWaitCursor::TWaitCursor(const TJobHooks& hooks, bool show) : hooks_(show ? &hooks : nullptr) {
  if (hooks_ && hooks_->BeginWaitCursor) hooks_->BeginWaitCursor();
}

TWaitCursor::~TWaitCursor() {
  if (hooks_ && hooks_->EndWaitCursor) hooks_->EndWaitCursor();
}

TAppState::TAppState(IPrompt& prompt, TJobHooks hooks) : Prompt(prompt), Hooks(std::move(hooks)) {}

TFileEntry* TAppState::CurrentEntry() {
  if (CurrentIndex < 0 || CurrentIndex >= Count()) return nullptr;
  return &FileList[static_cast<size_t>(CurrentIndex)];
}

const TFileEntry* TAppState::CurrentEntry() const {
  if (CurrentIndex < 0 || CurrentIndex >= Count()) return nullptr;
  return &FileList[static_cast<size_t>(CurrentIndex)];
}

void TAppState::ScanSourceFolder() {
  const std::string folder = LongPathForm(SourceFolderField);
  if (Hooks.SourceFolderUsed) Hooks.SourceFolderUsed(folder);
  if (folder == SourceFolder) return;

  TWaitCursor wait(Hooks, RecursiveInput);
  SourceFolder = folder;
  FileList.clear();
  LoadedFileName.clear();
  if (Hooks.FileListChanged) Hooks.FileListChanged();
  CurrentIndex = 0;
  unreadableFolders_.clear();

  std::exception_ptr failure;
  std::vector<TScannedFile> files;
  try {
    ScanFolder(folder, RecursiveInput, files, unreadableFolders_);
  } catch (...) {
    failure = std::current_exception();
  }
  FileList.reserve(files.size());
  for (TScannedFile& f : files)
    FileList.emplace_back(std::move(f.FileName), f.FileSize);
  if (!failure) {
    const std::locale& locale = UserCollationLocale();
    std::sort(FileList.begin(), FileList.end(), [&](const TFileEntry& a, const TFileEntry& b) {
      return ComparePaths(a.FileName, b.FileName, locale) < 0;
    });
    if (!FileToSelectAfterScan.empty()) {
      for (size_t i = 0; i < FileList.size(); ++i) {
        if (SameTextAscii(FileList[i].FileName, FileToSelectAfterScan)) {
          CurrentIndex = static_cast<int32_t>(i);
          break;
        }
      }
      FileToSelectAfterScan.clear();
    }
  }
  if (Hooks.FileListChanged) Hooks.FileListChanged();
  LoadCurrentImage();
  if (failure) std::rethrow_exception(failure);
  if (!unreadableFolders_.empty() && LoadError.empty())
    SetStatusText(UnreadableFoldersText(unreadableFolders_));
}

void TAppState::RescanSourceFolder() {
  SourceFolder.clear();
  ScanSourceFolder();
}

void TAppState::TakeCommandLineArgument(const std::string& argument) {
  const std::string path = LongPathForm(argument);
  if (FolderExists(path)) {
    SourceFolderField = path;
  } else if (FileExists(path)) {
    SourceFolderField = SplitPath(path).Folder;
    FileToSelectAfterScan = path;
  }
}

void TAppState::GoToImage(int64_t index) {
  if (FileList.empty()) return;
  index = std::clamp<int64_t>(index, 0, Count() - 1);
  if (index == CurrentIndex) return;
  if (!BatchForm && Hooks.BeforeImageChange) Hooks.BeforeImageChange();
  PreviousIndex = CurrentIndex;
  CurrentIndex = static_cast<int32_t>(index);
  LoadCurrentImage();
}

void TAppState::GoPrevious() {
  if (CurrentIndex > 0) GoToImage(CurrentIndex - 1);
}

void TAppState::GoNext() {
  if (CurrentIndex < Count() - 1) GoToImage(int64_t{CurrentIndex} + 1);
}

void TAppState::GoFirst() {
  GoToImage(0);
}

void TAppState::GoLast() {
  GoToImage(int64_t{Count()} - 1);
}

void TAppState::GoToNumberText(const std::string& text) {
  GoToImage(int64_t{ParseImageNumber(text)} - 1);
}

void TAppState::RemoveCurrentEntry() {
  if (!CurrentEntry()) return;
  FileList.erase(FileList.begin() + CurrentIndex);
  if (CurrentIndex > Count() - 1) CurrentIndex = Count() - 1;
  if (Hooks.FileListChanged) Hooks.FileListChanged();
  LoadCurrentImage();
}

void TAppState::LoadCurrentImage() {
  TFileEntry* entry = CurrentEntry();
  std::optional<TWaitCursor> wait;
  if (entry) {
    SetStatusText("Loading " + SplitPath(entry->FileName).Name + "...", true);
    wait.emplace(Hooks);
  }
  bool haveFile = entry != nullptr;
  if (entry) {
    if (entry->FileName != LoadedFileName) {
      LoadedFileName = entry->FileName;
      LoadError.clear();
      try {
        SourceImage = LoadSourceImage(entry->FileName);
      } catch (...) {
        SourceImage = TRasterImage();
        LoadError =
            UserErrorMessage(std::current_exception(), "load " + SplitPath(entry->FileName).Name);
        SetStatusText(LoadError, true);
      }
    }
    if (!LoadError.empty()) haveFile = false;
    entry->Width = SourceImage.Width();
    entry->Height = SourceImage.Height();
    // The output name box starts with the source's base name; an entry's own name replaces it.
    Extras.OutputName = entry->BaseName();
    ApplyEntryToSettings(*entry, Settings, Extras);
  } else {
    // The output-name box shows the same placeholder as the source-name box; without an entry it
    // is what the destination file name is made of.
    Extras.OutputName = "(no source file)";
  }
  if (!haveFile) {
    Extras.Selection.reset();
    SourceImage = TRasterImage();
  }
  if (Hooks.CurrentImageLoaded) Hooks.CurrentImageLoaded();
  wait.reset();
  // A good load, and an empty list, leave the status line empty; a failed decode keeps its
  // message there.
  if (haveFile || !entry) SetStatusText("", false);
}

void TAppState::ReloadCurrentImage() {
  if (TFileEntry* entry = CurrentEntry()) entry->Width = -1;
  LoadedFileName.clear();
  LoadCurrentImage();
}

void TAppState::SetStatusText(const std::string& text, bool repaintNow) {
  if (BatchForm) {
    if (BatchForm->SetStatusLabel) BatchForm->SetStatusLabel(text);
    return;
  }
  if (Hooks.SetStatusText) Hooks.SetStatusText(text, repaintNow);
}

int32_t ParseImageNumber(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
    ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
    --end;
  bool negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  if (begin == end) return 0;
  int64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
    return 0;
  return static_cast<int32_t>(value);
}

}  // namespace picaxo
