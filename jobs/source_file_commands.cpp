// The commands of the "SourceFile" and "DestFile" menus that change files: lossless rotation,
// renaming through the source-name box, deleting, and "Copy to...".
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/error.h"
#include "base/file_util.h"
#include "base/trash.h"
#include "jobs/app_state.h"
#include "jobs/destination.h"
#include "jobs/path_parts.h"
#include "lossless/jpeg_rotate.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {
const char kAskRename[] = "Do you want to rename the source file ?";
const char kRenameFailed[] = "Error renaming!";

// A name the box may give a file: one path component, not empty, not "." or "..".
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// Renames from to to, never replacing an existing file (another image would be lost).
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the no-replace rename: a hard link fails when the name is taken.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

TSelection RotatedSelection(const TSelection& s, TRotation direction, int32_t width,
                            int32_t height) {
  switch (direction) {
    case TRotation::Right:
      return {height - 1 - s.Bottom, s.Left, height - 1 - s.Top, s.Right};
    case TRotation::Left:
      return {s.Top, width - 1 - s.Right, s.Bottom, width - 1 - s.Left};
    case TRotation::HalfTurn:
      return {width - 1 - s.Right, height - 1 - s.Bottom, width - 1 - s.Left, height - 1 - s.Top};
  }
  return s;
}
}  // namespace

bool TDeletingFileRemover::RemoveFile(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
  return !fs::exists(fs::symlink_status(path, error));
}

bool TTrashFileRemover::RemoveFile(const std::string& path) {
  if (MoveToTrash(path)) return true;
  return TDeletingFileRemover().RemoveFile(path);
}

IFileRemover& DeletingFileRemover() {
  static TDeletingFileRemover remover;
  return remover;
}

std::string RotatedButNotKeptText(const std::vector<std::string>& notKept) {
  std::string text = "Rotated, but ";
  for (size_t i = 0; i < notKept.size(); ++i)
    text += (i > 0 ? "; " : "") + notKept[i];
  return text + ".";
}

TRotateOutcome TAppState::RotateCurrentImage(TRotation direction) {
  TRotateOutcome outcome;
  TFileEntry* entry = list_.Current();
  if (!entry) return outcome;
  if (!losslessRotate_ || !entry->IsJpeg()) {
    outcome.Result = TRotateResult::NotAvailable;
    return outcome;
  }
  SetStatusText("Rotating image...", TRepaint::Now);
  const std::string name = SplitPath(entry->FileName).Name;
  try {
    TWaitCursor wait(observer_);
    // A damaged source throws (the file is left as it was): the status line and the window show
    // the message instead of a rotation that never ends.
    outcome.Warnings = RotateJPEGFile(entry->FileName, static_cast<uint8_t>(direction),
                                      AutoOrient(), &outcome.NotKept);
  } catch (...) {
    SetStatusText(UserErrorMessage(std::current_exception(), "rotate " + name), TRepaint::Now);
    throw;
  }
  // The file is rotated on disk, so the window shows it as it is now, its new size included.
  if (entry->Selection && entry->Size && entry->Size->Width > 0 && entry->Size->Height > 0)
    entry->Selection =
        RotatedSelection(*entry->Selection, direction, entry->Size->Width, entry->Size->Height);
  SetStatusText("", TRepaint::Later);
  ReloadCurrentImage();
  if (!outcome.NotKept.empty())
    SetStatusText(RotatedButNotKeptText(outcome.NotKept), TRepaint::Later);
  outcome.Result = TRotateResult::Rotated;
  if (outcome.Warnings != 0) {
    outcome.Result = TRotateResult::RotatedWithWarnings;
    SetStatusText("Rotated " + name + ", with " + std::to_string(outcome.Warnings) +
                      " harmless decoder warning" + (outcome.Warnings == 1 ? "" : "s") + ".",
                  TRepaint::Now);
  }
  return outcome;
}

TRenameResult TAppState::CheckSourceRename(TRenameTrigger trigger) {
  TFileEntry* entry = list_.Current();
  if (!entry) return TRenameResult::NoImage;
  const std::string base = entry->BaseName();
  const bool changed = trigger == TRenameTrigger::EnterKey ? sourceNameText_ != base
                                                           : !SameTextAscii(sourceNameText_, base);
  if (!changed) return TRenameResult::Unchanged;
  const bool ownOutputName = entry->IsRenamed();
  const TPromptButton answer =
      prompt_.Ask({TQuestionId::RenameSourceFile, TPromptKind::Confirmation, kAskRename,
                   TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel});
  TRenameResult result = TRenameResult::Declined;
  if (answer == TPromptButton::Yes) {
    const std::string oldPath = entry->FileName;
    const std::string newPath =
        JoinPath(SplitPath(oldPath).Folder, sourceNameText_ + LowerExtensionOf(oldPath));
    if (!IsPlainFileName(sourceNameText_) || !RenameWithoutReplacing(oldPath, newPath)) {
      prompt_.Ask(
          {TQuestionId::RenameFailed, TPromptKind::Error, kRenameFailed, TPromptButton::OK});
      return TRenameResult::Failed;
    }
    entry->FileName = newPath;
    image_.FileRenamed(oldPath, newPath);
    result = TRenameResult::Renamed;
  }
  sourceNameText_ = entry->BaseName();
  if (!ownOutputName) {
    // The output-name box follows the source name, as its change handling would store it.
    extras_.OutputName = sourceNameText_;
    if (!entry->OutputName.empty()) entry->OutputName = sourceNameText_;
    rememberedOutputName_ = extras_.OutputName;
  }
  observer_.NameTextsChanged();
  observer_.JobRowsChanged(TJobRows::Current);
  observer_.FileExistsMarkerChanged();
  return result;
}

TDeleteResult TAppState::DeleteSourceFile() {
  const TFileEntry* entry = list_.Current();
  if (!entry || !FileExists(entry->FileName)) return TDeleteResult::NoFile;
  const std::string path = entry->FileName;
  const TPromptButton answer =
      prompt_.Ask({TQuestionId::DeleteSourceFile, TPromptKind::Confirmation,
                   "Do you want to delete " + path + " ?",
                   TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel});
  if (answer != TPromptButton::Yes) return TDeleteResult::Declined;
  if (!remover_.RemoveFile(path)) return TDeleteResult::NotDeleted;
  list_.RemoveCurrent();
  observer_.FileListChanged();
  LoadCurrentImage();
  observer_.JobRowsChanged(TJobRows::All);
  return TDeleteResult::Deleted;
}

TDeleteResult TAppState::DeleteDestinationFile() {
  const TFileEntry* entry = list_.Current();
  if (!entry) return TDeleteResult::NoFile;
  const std::string path = DestinationPathOf(entry);
  if (!FileExists(path)) return TDeleteResult::NoFile;
  const TPromptButton answer =
      prompt_.Ask({TQuestionId::DeleteDestinationFile, TPromptKind::Confirmation,
                   "Do you want to delete " + path + " ?",
                   TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel});
  if (answer != TPromptButton::Yes) return TDeleteResult::Declined;
  const bool removed = remover_.RemoveFile(path);
  observer_.FileExistsMarkerChanged();
  return removed ? TDeleteResult::Deleted : TDeleteResult::NotDeleted;
}

std::string TAppState::CopyToProposedName() const {
  const TFileEntry* entry = list_.Current();
  if (!entry) return std::string();
  return entry->BaseName() + LowerExtensionOf(entry->FileName);
}

std::string TAppState::CopyToStartFolder() const {
  if (!lastCopyTarget_.empty()) return SplitPath(lastCopyTarget_).Folder;
  return copyToDir_;
}

void TAppState::CopySourceTo(const std::string& target) {
  const TFileEntry* entry = list_.Current();
  if (!entry || target.empty()) return;
  const std::string& source = entry->FileName;
  std::error_code error;
  // Copying a file onto itself would empty it.
  if (fs::equivalent(source, target, error))
    throw EPicaxoError("Cannot copy " + source + " onto itself.");
  std::string bytes;
  try {
    bytes = ReadWholeFile(source);
    WriteFileAtomically(target, bytes);
  } catch (const std::exception& e) {
    throw EPicaxoError("Cannot copy " + source + " to " + target + ": " + e.what());
  }
  lastCopyTarget_ = target;
  copyToDir_ = SplitPath(target).Folder;
}

void TAppState::CopyTargetChosen(const std::string& target) {
  confirmedCopyToFolder_ = target.empty()
                               ? std::string()
                               : fs::absolute(target).lexically_normal().parent_path().string();
}

}  // namespace picaxo
