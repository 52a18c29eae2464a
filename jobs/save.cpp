// Saving the current image into the destination folder.
//
// The destination file is never written in place: the converted bytes are complete in memory
// before anything on disk changes, and they reach the destination through a temporary file in the
// same folder that is renamed over the destination in one step. A failed conversion or write thus
// leaves neither a truncated file nor a destroyed earlier one.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <optional>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "jobs/batch.h"
#include "jobs/convert.h"
#include "jobs/destination.h"
#include "jobs/image_session.h"
#include "jobs/saver.h"

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

std::string TSaver::DestinationFolderOf(const TFileEntry* entry,
                                        const std::string& sourceFolder) const {
  return DestinationFolderFor(destinationField_, sourceFolder,
                              entry ? entry->FileName : std::string());
}

std::string TSaver::DestinationFileNameOf(const TFileEntry* entry,
                                          const std::string& outputNameText,
                                          EOutputFormat format) const {
  if (!entry) return outputNameText + std::string(OutputExtension(format));
  return DestinationFileNameFor(entry->OutputName, entry->FileName, format);
}

std::string TSaver::DestinationPathOf(const TFileEntry* entry, const std::string& sourceFolder,
                                      const std::string& outputNameText,
                                      EOutputFormat format) const {
  // The folder of an image directly in the source folder ends in "/": one separator, never two.
  return JoinPath(DestinationFolderOf(entry, sourceFolder),
                  DestinationFileNameOf(entry, outputNameText, format));
}

bool TSaver::Prepare(const TSaveRequest& request, const std::string& sourceFolder,
                     TSaveOutcome& outcome) {
  const TFileEntry* entry = request.Entry;
  if (destinationField_.empty()) throw EPicaxoError(kNoDestination);
  const bool batch = request.Mode == TSaveMode::Batch;
  TPromptButtons buttons = TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel;
  if (batch) buttons = buttons | TPromptButton::All;
  outcome = {};
  outcome.Result = TSaveResult::Declined;

  const std::string folder = DestinationFolderOf(entry, sourceFolder);
  if (!FolderExists(folder)) {
    const TPromptButton answer =
        batch && flags_.BatchJobCreateAllDirs
            ? TPromptButton::All
            : prompt_.Ask({TQuestionId::CreateFolder, TPromptKind::Confirmation, kAskCreateFolder,
                           buttons});
    if (!IsYesOrAll(answer)) {
      if (batch && answer == TPromptButton::Cancel) flags_.BatchJobCancelled = true;
      return false;
    }
    if (batch && answer == TPromptButton::All) flags_.BatchJobCreateAllDirs = true;
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

  const std::string path = DestinationPathOf(entry, sourceFolder, request.OutputNameText,
                                             OutputFormatOf(request.Settings));
  outcome.Path = path;
  if (FileExists(path)) {
    TPromptButton answer;
    if (batch && flags_.BatchJobOverwriteAll)
      answer = TPromptButton::All;
    else if (batch && flags_.BatchJobOverwriteNone)
      answer = TPromptButton::No;
    else
      answer = prompt_.Ask(
          {TQuestionId::OverwriteFile, TPromptKind::Confirmation, kAskOverwrite, buttons});
    if (!IsYesOrAll(answer)) {
      if (answer != TPromptButton::Cancel && batch && !flags_.BatchJobOverwriteNone) {
        answer = prompt_.Ask({TQuestionId::OverwriteNoneFollowing, TPromptKind::Confirmation,
                              kAskOverwriteNone,
                              TPromptButton::Yes | TPromptButton::No | TPromptButton::Cancel});
        if (answer == TPromptButton::Yes) flags_.BatchJobOverwriteNone = true;
      }
      if (batch && answer == TPromptButton::Cancel) flags_.BatchJobCancelled = true;
      return false;
    }
    if (batch && answer == TPromptButton::All) flags_.BatchJobOverwriteAll = true;
    // The old file is replaced only once the new one is complete; refuse up front what could not
    // be replaced then, such as a read-only file.
    if (!FileIsReplaceable(path)) throw EPicaxoError(kCannotRemove);
  }

  return true;
}

TSaveOutcome TSaver::Save(const TSaveRequest& request, const std::string& sourceFolder) {
  const TFileEntry* entry = request.Entry;
  // A streamed source is decoded here, where a whole one was decoded on loading: before any check
  // or question, so that a file that fails to decode fails as it did on loading (same message,
  // nothing asked, no folder created). Errors of the conversion itself keep their place after the
  // questions.
  std::optional<TConversion> streamed;
  std::exception_ptr conversionFailure;
  if (request.Rows) {
    try {
      streamed = ConvertCurrentRows(entry, request.Rows.get(), request.Selection, request.Settings);
    } catch (...) {
      if (request.Rows->Failed()) {
        // The status line shows it as it shows a failed load.
        const std::string message = LoadFailureMessage(std::current_exception(), entry->FileName);
        status_(message, TRepaint::Now);
        throw EPicaxoError(message);
      }
      conversionFailure = std::current_exception();
    }
  }
  TSaveOutcome outcome;
  if (!Prepare(request, sourceFolder, outcome)) return outcome;
  const std::string& path = outcome.Path;

  status_("Saving...", TRepaint::Now);
  if (!request.Rows) {
    WriteWhole(request, outcome);
    ReportWritten(outcome, sourceFolder);
    return outcome;
  }
  if (conversionFailure) std::rethrow_exception(conversionFailure);
  if (streamed && streamed->Kind != TOutputKind::Nothing) {
    outcome.Warning = streamed->Warning;
    Write(path, streamed->Bytes, outcome);
  } else {
    outcome.Result = TSaveResult::NothingToConvert;
  }
  // A streamed source learns only now that its data is damaged; the line says so, as the
  // window's status line does when it loads one.
  std::string note;
  if (streamed && streamed->SourceDamaged)
    note = " Warning: " + DamagedSourceText(SplitPath(entry->FileName).Name) + ".";
  ReportWritten(outcome, sourceFolder, note);
  return outcome;
}

void TSaver::Write(const std::string& path, const std::string& bytes, TSaveOutcome& outcome) {
  try {
    WriteFileAtomically(path, bytes);
  } catch (...) {
    throw EPicaxoError("Cannot create file \"" + path + "\". " +
                       ErrorReason(std::current_exception()));
  }
  outcome.Result = TSaveResult::Saved;
  outcome.ByteCount = static_cast<int64_t>(bytes.size());
}

void TSaver::WriteWhole(const TSaveRequest& request, TSaveOutcome& outcome) {
  const TRasterImage none;
  TConversion conversion =
      ConvertCurrentImageDetailed(request.Entry, request.Image ? *request.Image : none,
                                  request.Selection, request.Settings, request.AppliedOrientation);
  outcome.Warning = std::move(conversion.Warning);
  if (conversion.Kind == TOutputKind::Nothing) {
    outcome.Result = TSaveResult::NothingToConvert;
    return;
  }
  Write(outcome.Path, conversion.Bytes, outcome);
}

void TSaver::ReportWritten(const TSaveOutcome& outcome, const std::string& sourceFolder,
                           const std::string& note) {
  if (outcome.Saved()) {
    status_(SavedMessage(outcome.Path, outcome.ByteCount) + note, TRepaint::Later);
    // The recent list keeps the folder the user chose, not each mirrored subfolder below it.
    observer_.DestinationFolderUsed(
        WithoutTrailingSeparator(DestinationFolderFor(destinationField_, sourceFolder, {})));
  }
  observer_.FileExistsMarkerChanged();
}

// --- The state's side ---

TSaveRequest TImageSession::MakeSaveRequest() {
  TSaveRequest request;
  request.Entry = list_.Current();
  if (image_.Access() == TSourceAccess::Stream)
    request.Rows = image_.TakeRowSource();
  else
    request.Image = image_.SharedImage();
  request.AppliedOrientation = image_.Notes().AppliedOrientation;
  request.Selection = extras_.Selection;
  request.Settings = settings_;
  request.OutputNameText = extras_.OutputName;
  request.Mode = batchForm_ ? TSaveMode::Batch : TSaveMode::Single;
  return request;
}

std::string TImageSession::DestinationFolderOf(const TFileEntry* entry) const {
  return saver_.DestinationFolderOf(entry, list_.SourceFolder());
}

std::string TImageSession::DestinationFileNameOf(const TFileEntry* entry) const {
  return saver_.DestinationFileNameOf(entry, extras_.OutputName,
                                      ResolveOutputFormat(entry, settings_));
}

std::string TImageSession::DestinationPathOf(const TFileEntry* entry) const {
  return saver_.DestinationPathOf(entry, list_.SourceFolder(), extras_.OutputName,
                                  ResolveOutputFormat(entry, settings_));
}

bool TImageSession::CurrentDestinationExists() const {
  return FileExists(DestinationPathOf(CurrentEntry()));
}

std::vector<std::vector<int32_t>> TImageSession::DestinationCollisions() const {
  std::map<std::string, std::vector<int32_t>> byPath;
  for (int32_t i = 0; i < Count(); ++i) {
    const TFileEntry& entry = list_.At(i);
    if (!entry.Excluded) byPath[DestinationPathOf(&entry)].push_back(i);
  }
  std::vector<std::vector<int32_t>> groups;
  for (auto& [path, indices] : byPath)
    if (indices.size() > 1) groups.push_back(std::move(indices));
  std::sort(groups.begin(), groups.end());
  return groups;
}

bool TImageSession::SharesDestination(int32_t index) const {
  TCollisionCache& cache = collisions_;
  if (!cache.valid || cache.generation != list_.Generation() ||
      cache.sourceFolder != list_.SourceFolder() ||
      cache.destinationField != saver_.DestinationField() ||
      cache.outputFormat != settings_.OutputFormat) {
    cache.shared.assign(static_cast<size_t>(Count()), false);
    for (const std::vector<int32_t>& group : DestinationCollisions())
      for (int32_t i : group)
        cache.shared[static_cast<size_t>(i)] = true;
    cache.generation = list_.Generation();
    cache.sourceFolder = list_.SourceFolder();
    cache.destinationField = saver_.DestinationField();
    cache.outputFormat = settings_.OutputFormat;
    cache.valid = true;
  }
  return index >= 0 && static_cast<size_t>(index) < cache.shared.size() &&
         cache.shared[static_cast<size_t>(index)];
}

TSaveOutcome TImageSession::SaveCurrentImage() {
  lastSaveWarning_.clear();
  const TFileEntry* entry = list_.Current();
  TSaveOutcome outcome = saver_.Save(MakeSaveRequest(), list_.SourceFolder());
  lastSaveWarning_ = outcome.Warning;
  // The window's line after a save tells what the conversion left out; a batch run puts it on the
  // image's own line instead.
  if (!batchForm_ && outcome.Saved() && entry && !outcome.Warning.empty())
    SetStatusText(statusText_ + " " +
                      SourceWarningText(SplitPath(entry->FileName).Name, outcome.Warning) + ".",
                  TRepaint::Later);
  return outcome;
}

TSaveOutcome TImageSession::SaveAndNext() {
  const TSaveOutcome outcome = SaveCurrentImage();
  if (!outcome.Saved()) return outcome;
  if (list_.IsLast())
    prompt_.Ask({TQuestionId::Finished, TPromptKind::Information, "Finished !", TPromptButton::OK});
  else
    GoToImage(int64_t{CurrentIndex()} + 1);
  return outcome;
}

}  // namespace picaxo
