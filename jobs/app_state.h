#pragma once
// The application's state and operations that the main window drives: the image list of the source
// folder and the current position, the decoded source, the destination field and the settings in
// effect, saving, and the walk over all images that the batch run builds on.
//
// The state is UI-free. Questions go through an IPrompt; the status line, the hourglass cursor,
// "let the interface breathe", the recent-folder lists and the job list are reached through
// TJobHooks, which the window (or picaxo-cli) fills in. Every hook may be left empty.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/geometry.h"
#include "imaging/raster.h"
#include "jobs/entry.h"
#include "jobs/prompt.h"

namespace picaxo {

struct TJobHooks {
  // The one status line; repaintNow asks for an immediate repaint before a long step.
  std::function<void(const std::string& text, bool repaintNow)> SetStatusText;
  std::function<void()> BeginWaitCursor;
  std::function<void()> EndWaitCursor;
  // Lets the interface process pending events between the images of a batch.
  std::function<void()> ProcessEvents;
  // A folder was taken as source folder (every scan) or written into (every save).
  std::function<void(const std::string& folder)> SourceFolderUsed;
  std::function<void(const std::string& folder)> DestinationFolderUsed;
  // Before another image becomes current outside a batch: a pending rename of the source file
  // gets its chance, and the current job row is refreshed.
  std::function<void()> BeforeImageChange;
  // FileList was cleared or rebuilt: the job list takes the new row count.
  std::function<void()> FileListChanged;
  // Entries changed in bulk (Apply, Reset, Save All): every job row is redrawn.
  std::function<void()> JobRowsChanged;
  // LoadCurrentImage finished: labels, controls and view follow the current image.
  std::function<void()> CurrentImageLoaded;
  // The destination-exists marker of the current image must be re-read.
  std::function<void()> FileExistsMarkerChanged;
  // Rows selected in the batch job list (none in the Simple Resize view).
  std::function<int()> SelectedRowCount;
  std::function<bool(int row)> IsRowSelected;
  // The working pass of a batch leaves preview mode first.
  std::function<void()> LeavePreviewMode;
};

// Shows the hourglass cursor for its lifetime, restoring it on every path.
class TWaitCursor {
 public:
  explicit TWaitCursor(const TJobHooks& hooks, bool show = true);
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  const TJobHooks* hooks_;
};

// The user's blanket answers for a batch run. They belong to one state object (not to the
// process) so that parallel picaxo-cli workers never share them.
struct TBatchFlags {
  bool BatchJobCancelled = false;      // stop after the current image
  bool BatchJobOverwriteAll = false;   // replace existing destination files without asking
  bool BatchJobOverwriteNone = false;  // never replace existing destination files, do not ask
  bool BatchJobCreateAllDirs = false;  // create missing destination folders without asking
};

class TBatchRun;

enum class TNavigate : bool { No, Yes };
enum class TSkipExcluded : bool { No, Yes };

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

class TAppState {
 public:
  TAppState(IPrompt& prompt, TJobHooks hooks = {});
  TAppState(const TAppState&) = delete;
  TAppState& operator=(const TAppState&) = delete;

  // --- The image list and the current image ---
  std::vector<TFileEntry> FileList;  // sorted by path
  int32_t CurrentIndex = 0;          // no current image outside 0 ... count - 1
  int32_t PreviousIndex = -1;        // CurrentIndex before the last move
  std::string SourceFolder;          // long path form of the listed folder
  std::string FileToSelectAfterScan;
  std::string SourceFolderField;  // the folder as typed or chosen
  bool RecursiveInput = false;    // "&Subdirectories"

  // --- The current source and the settings in effect ---
  TRasterImage SourceImage;
  std::string LoadedFileName;  // path whose pixels SourceImage holds
  std::string LoadError;       // message of the failed decode of the current file, else empty
  TResizeSettings Settings;
  TEntryExtras Extras;  // the view's selection, the exclusion box, the output-name text
  std::string DestinationFolderField;

  // --- Batch ---
  TBatchFlags Flags;
  TBatchRun* BatchForm = nullptr;  // set while a batch dialog exists ("batch mode")

  IPrompt& Prompt;
  TJobHooks Hooks;

  int32_t Count() const { return static_cast<int32_t>(FileList.size()); }
  TFileEntry* CurrentEntry();
  const TFileEntry* CurrentEntry() const;

  // Status text: to the batch dialog's label while one exists, else to the status line.
  void SetStatusText(const std::string& text, bool repaintNow = false);

  // --- Source folder scan and navigation ---
  // Rebuilds FileList from SourceFolderField unless it names the folder already listed. Errors of
  // the scan are thrown after the list, the rows and the current image have been brought up to
  // date. Subfolders that could not be listed are kept in UnreadableFolders, and the status line
  // names them once the current image has loaded without an error.
  void ScanSourceFolder();
  // The subfolders the last scan could not list (wholly or in part), in the order met.
  const std::vector<std::string>& UnreadableFolders() const { return unreadableFolders_; }
  // Enter in the source folder field: scan again even when the folder is unchanged.
  void RescanSourceFolder();
  // The command-line argument: a folder, or a file whose folder is listed with that file current.
  // Does not scan.
  void TakeCommandLineArgument(const std::string& argument);
  void GoToImage(int64_t index);
  void GoPrevious();
  void GoNext();
  void GoFirst();
  void GoLast();
  void GoToNumberText(const std::string& text);  // text of the image-number box, from 1
  // After the current source file was deleted: drop its entry and load the next one in its place.
  void RemoveCurrentEntry();
  // Decodes the current file when it is not the one loaded and puts its entry's settings into
  // effect.
  void LoadCurrentImage();
  void ReloadCurrentImage();

  // --- Destination ---
  std::string DestinationFolderOf(const TFileEntry* entry) const;
  std::string DestinationFileNameOf(const TFileEntry* entry) const;
  std::string DestinationPathOf(const TFileEntry* entry) const;
  bool CurrentDestinationExists() const;  // the "X" marker
  // Writes the destination file of the current image. True when it was written; false when a
  // question was declined or there was nothing to convert. Errors are thrown with their message.
  bool SaveCurrentImage();
  // Saves and moves on; after the last image tells "Finished !".
  void SaveAndNext();

  // --- The walk over the entries ---
  void ForEachJob(TNavigate navigate, TSkipExcluded skipExcluded, const TJobProc& jobProc);
  // One index of a pass (steps shared by ForEachJob and the parallel picaxo-cli workers).
  // restricted: the pass covers only the selected rows.
  TJobOutcome HandleJob(int32_t index, TNavigate navigate, TSkipExcluded skipExcluded,
                        bool restricted, const TJobProc& jobProc);
  // Whether a pass covers only the selected rows (more than one row selected).
  bool PassIsRestricted() const;
  // The job procedure that saves: success is what SaveCurrentImage returns.
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

 private:
  std::vector<std::string> unreadableFolders_;

  bool ReportEmptyList();
  void ClearStoredResizeSettings();
  void RunBatchDialog(const TBatchDialogRunner& runDialog);
};

// The number typed into the image-number box: its decimal value, 0 when it is not a 32-bit
// decimal number (surrounding blanks are allowed).
int32_t ParseImageNumber(const std::string& text);

// "%s" formatting of the messages that carry numbers or paths.
std::string SavedMessage(const std::string& path, int64_t byteCount);

}  // namespace picaxo
