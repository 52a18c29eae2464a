#pragma once
// What the core tells the interface while it works.
//
// One interface, implemented by the window and by picaxo-cli; every member has a no-op default so
// an implementation overrides only what it shows. The core calls these from the one thread that
// drives it. A member that throws is treated like any other error of the operation that called it
// (see TBatchRun for the batch passes).
#include <string>

namespace picaxo {

// Whether a status text must be visible before the next (long) step starts.
enum class TRepaint : bool { Later, Now };

// Which job rows must be drawn again.
enum class TJobRows : bool { Current, All };

class IJobObserver {
 public:
  virtual ~IJobObserver() = default;

  // The one status line (panel 0, or the batch dialog's label while a batch dialog exists; the
  // core decides which, see TAppState::SetStatusText).
  virtual void StatusTextChanged(const std::string& /*text*/, TRepaint /*repaint*/) {}
  virtual void BatchStatusTextChanged(const std::string& /*text*/) {}
  // The batch dialog's progress bar.
  virtual void BatchProgressChanged(int /*position*/, int /*maximum*/) {}
  // The hourglass cursor; calls nest and always balance (TWaitCursor).
  virtual void BeginWaitCursor() {}
  virtual void EndWaitCursor() {}
  // Lets the interface process pending events between the images of a pass.
  virtual void ProcessEvents() {}
  // A folder was taken as source folder (every scan) or written into (every save): the recent
  // folder lists take it.
  virtual void SourceFolderUsed(const std::string& /*folder*/) {}
  virtual void DestinationFolderUsed(const std::string& /*folder*/) {}
  // The image list was cleared or rebuilt (row count changes), or one entry was removed.
  virtual void FileListChanged() {}
  // Entries changed: the job list redraws the current row or all rows.
  virtual void JobRowsChanged(TJobRows /*rows*/) {}
  // An image became current (or there is none any more): labels, enabled commands, controls and
  // the view follow the state (TAppState::CurrentImageTexts, EnabledCommands, Settings, ...).
  // The window selects the current row in the job list here unless a batch dialog is open.
  virtual void CurrentImageLoaded() {}
  // The view must show TAppState::View() again (preview mode switched, settings changed in
  // preview mode).
  virtual void ViewChanged() {}
  // The destination-exists marker and the destination status panel must be read again.
  virtual void FileExistsMarkerChanged() {}
  // The source-name or output-name box text changed in the core (rename, Escape, load).
  virtual void NameTextsChanged() {}
};

// An observer that shows nothing (picaxo-cli's helpers, tests that need no view).
IJobObserver& NoObserver();

enum class TWaitCursorMode : bool { Skip, Show };

// Shows the hourglass cursor for its lifetime, restoring it on every path.
class TWaitCursor {
 public:
  explicit TWaitCursor(IJobObserver& observer, TWaitCursorMode mode = TWaitCursorMode::Show);
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  IJobObserver* observer_;
};

}  // namespace picaxo
