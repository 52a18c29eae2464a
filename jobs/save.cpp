// Saving the current image into the destination folder.
//
// The destination file is never written in place: the converted bytes are complete in memory
// before anything on disk changes, and they reach the destination through a temporary file in the
// same folder that is renamed over the destination in one step. A failed conversion or write thus
// leaves neither a truncated file nor a destroyed earlier one.
#include <cstdio>
#include <exception>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/pipeline.h"
#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs/convert.h"
#include "jobs/destination.h"

namespace picaxo {

namespace {
const char kNoDestination[] = "Please specify an destination folder !";
const char kAskCreateFolder[] = "Destination Folder does not exist.\nDo you want to create it ?";
const char kCannotCreateFolder[] =
    "Unable to create Destination folder. Make sure it is a valid name.";
const char kSameFolder[] = "You cannot use the same folder for source and destination files.";
const char kAskOverwrite[] = "Destination file already exists.\nDo you want to overwrite it ?";
const char kAskOverwriteNone[] = "Do you want to NOT overwrite all following existing files ?";
const char kCannotRemove[] = "Unable to remove existing file. Make sure it is writeable.";

bool IsYesOrAll(TPromptButton answer) {
  return answer == TPromptButton::Yes || answer == TPromptButton::All;
}

// The folder as the recent list keeps it: without the trailing separator a top-level destination
// folder carries.
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  return folder;
}
}  // namespace

std::string SavedMessage(const std::string& path, int64_t byteCount) {
  return "Saved " + path + " successfully (" + FormatFileSize(byteCount) + ").";
}

std::string TAppState::DestinationFolderOf(const TFileEntry* entry) const {
  return DestinationFolderFor(DestinationFolderField, SourceFolder,
                              entry ? entry->FileName : std::string());
}

std::string TAppState::DestinationFileNameOf(const TFileEntry* entry) const {
  if (!entry) return Extras.OutputName + ".jpg";
  return DestinationFileNameFor(entry->OutputName, entry->FileName);
}

std::string TAppState::DestinationPathOf(const TFileEntry* entry) const {
  // The folder of an image directly in the source folder ends in "/": one separator, never two.
  return JoinPath(DestinationFolderOf(entry), DestinationFileNameOf(entry));
}

bool TAppState::CurrentDestinationExists() const {
  return FileExists(DestinationPathOf(CurrentEntry()));
}

bool TAppState::SaveCurrentImage() {
  if (DestinationFolderField.empty()) throw EPicaxoError(kNoDestination);
  TFileEntry* entry = CurrentEntry();
  const bool batch = BatchForm != nullptr;
  TPromptButtons buttons = TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel;
  if (batch) buttons = buttons | TPromptButton::All;

  const std::string folder = DestinationFolderOf(entry);
  if (!FolderExists(folder)) {
    const TPromptButton answer =
        batch && Flags.BatchJobCreateAllDirs
            ? TPromptButton::All
            : Prompt.Ask(TPromptKind::Confirmation, kAskCreateFolder, buttons);
    if (!IsYesOrAll(answer)) {
      if (batch && answer == TPromptButton::Cancel) Flags.BatchJobCancelled = true;
      return false;
    }
    if (batch && answer == TPromptButton::All) Flags.BatchJobCreateAllDirs = true;
    const std::error_code reason = CreateFolderWithParents(folder);
    if (!FolderExists(folder)) {
      // The system's reason (permission, a file in the way, ...) tells the user what to change.
      std::string message = kCannotCreateFolder;
      if (reason)
        message += " (" + WithoutTrailingSeparator(folder) + ": " + reason.message() + ")";
      throw EPicaxoError(message);
    }
  }
  if (entry && SameFolder(folder, SplitPath(entry->FileName).Folder))
    throw EPicaxoError(kSameFolder);

  const std::string path = DestinationPathOf(entry);
  if (FileExists(path)) {
    TPromptButton answer;
    if (batch && Flags.BatchJobOverwriteAll)
      answer = TPromptButton::All;
    else if (batch && Flags.BatchJobOverwriteNone)
      answer = TPromptButton::No;
    else
      answer = Prompt.Ask(TPromptKind::Confirmation, kAskOverwrite, buttons);
    if (!IsYesOrAll(answer)) {
      if (answer != TPromptButton::Cancel && batch && !Flags.BatchJobOverwriteNone) {
        answer = Prompt.Ask(TPromptKind::Confirmation, kAskOverwriteNone,
                            TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel);
        if (answer == TPromptButton::Yes) Flags.BatchJobOverwriteNone = true;
      }
      if (batch && answer == TPromptButton::Cancel) Flags.BatchJobCancelled = true;
      return false;
    }
    if (batch && answer == TPromptButton::All) Flags.BatchJobOverwriteAll = true;
    // The old file is replaced only once the new one is complete; refuse up front what could not
    // be replaced then, such as a read-only file.
    if (!FileIsReplaceable(path)) throw EPicaxoError(kCannotRemove);
  }

  SetStatusText("Saving...", true);
  std::string bytes;
  const bool converted = ConvertCurrentImage(entry, SourceImage, Extras.Selection, Settings, bytes);
  if (converted) {
    try {
      WriteFileAtomically(path, bytes);
    } catch (...) {
      throw EPicaxoError("Cannot create file \"" + path + "\". " +
                         ErrorReason(std::current_exception()));
    }
    SetStatusText(SavedMessage(path, static_cast<int64_t>(bytes.size())), false);
    if (Hooks.DestinationFolderUsed) Hooks.DestinationFolderUsed(WithoutTrailingSeparator(folder));
  }
  if (Hooks.FileExistsMarkerChanged) Hooks.FileExistsMarkerChanged();
  return converted;
}

void TAppState::SaveAndNext() {
  if (!SaveCurrentImage()) return;
  if (CurrentIndex >= Count() - 1)
    Prompt.Ask(TPromptKind::Information, "Finished !", TPromptButton::OK);
  else
    GoToImage(int64_t{CurrentIndex} + 1);
}

}  // namespace picaxo
