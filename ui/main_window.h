#pragma once
// TForm1: the program's main window. It builds the controls, maps each control event onto the
// application state of jobs/ and shows what that state decides; it makes no decision of its own.
//
// The window is split by concern: main_window_layout.cpp builds the widgets, main_window_menus.cpp
// the menus and actions, main_window.cpp holds the slots and the display of the state.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>

#include "jobs/app_state.h"
#include "jobs/controls.h"
#include "jobs/decode_ahead.h"
#include "jobs/file_remover.h"
#include "jobs/keys.h"
#include "jobs/observer.h"
#include "jobs/prompt.h"
#include "ui/run_refresh.h"
#include "ui/settings_binding.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QTabBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace picaxo {

class TBatchForm;
class TBatchRun;
class TImgViewBox;
class TJobListView;
class TKeyboardHook;
class TRecentFolderMenu;
class TStatusPanel;
struct TKeyInfo;

// Start-up choices of a window: the command-line argument, where its questions go and how the
// files the user deletes are removed.
struct TForm1Options {
  std::string CommandLineArgument;  // a folder or a file; empty: none
  IPrompt* Prompt = nullptr;        // null: modal message boxes
  IFileRemover* Remover = nullptr;  // null: to the desktop's trash
  // Moving to an image shows its name at once and its picture once decoded in the background (the
  // desktop program); off, each move returns with the picture loaded.
  bool BackgroundLoads = false;
};

class TForm1 : public QMainWindow, private IJobObserver {
  Q_OBJECT

 public:
  explicit TForm1(TForm1Options options = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  TAppState& State() { return *state_; }
  IPrompt& Prompt() { return *prompt_; }

  // The application's one status line (panel 0, out of the hint mode).
  void SetStatusText(const std::string& text, bool repaintNow = false);
  std::string StatusText() const;
  // The group margins measured on the first show.
  TGroupLayout GroupLayout() const;

  // Selects zoom entry i of CBZoom and applies it, as a click on the list does.
  void SelectZoomIndex(int index);
  bool FullScreenActive() const { return FullScreenWindow != nullptr; }
  // The Options menu's worker count for batch runs (0: one per core), into the state and the menu.
  void SetBatchWorkers(unsigned workers);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Folders and photos dropped from a file manager (the core decides what they open).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // --- construction (main_window_layout.cpp, main_window_menus.cpp) ---
  void CreateLayout();
  void CreateWorkersMenu(QMenu* options);  // main_window_workers.cpp
  QWidget* CreatePanelTop();
  QWidget* CreatePanelLeft();
  QGroupBox* CreateSourceGroup(QWidget* parent);
  QGroupBox* CreateOutputGroup(QWidget* parent);
  QGroupBox* CreateResizeGroup(QWidget* parent);
  QWidget* CreateMainPanel();
  void CreateStatusBar();
  void CreateActions();
  void CreateMenus();
  void ConnectControls();

  // --- start-up and shut-down ---
  void MeasureGroupMargins();
  void DeferredStartUp();

  // --- settings, recent folders, placement (main_window_settings.cpp) ---
  friend class TForm1Settings;
  void CreateSettings();
  void SaveSettingsAtClose();
  // Gives the shown job list width as its share of the splitter.
  void ShareJobsListWidth(int32_t width);
  void SourceFolderUsed(const std::string& folder) override;
  void DestinationFolderUsed(const std::string& folder) override;

  // --- IJobObserver: what the core tells the window ---
  void StatusTextChanged(const std::string& text, TRepaint repaint) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void ProcessEvents() override;
  void CurrentImageLoaded() override;
  void ViewChanged() override;
  void FileExistsMarkerChanged() override;
  void NameTextsChanged() override;
  // During a run: notes the part for ShowRunRefresh and returns true.
  bool DeferDuringRun(bool TRunRefresh::*part);
  // Shows what the run has changed since it was last shown (TRunRefresh).
  void ShowRunRefresh();
  // (main_window_jobs.cpp)
  void BatchStatusTextChanged(const std::string& text) override;
  void BatchProgressChanged(int position, int maximum) override;
  void FileListChanged() override;
  void JobRowsChanged(TJobRows rows) override;

  // --- showing the state ---
  void ShowTexts();
  void ShowCommands();
  void ShowSettings();  // the destination settings in effect into the controls
  void ShowRuleControls();
  void ShowView();
  void ShowViewSelection();
  void ShowZoom();
  void ShowRedraw(const TRedraw& redraw);

  // --- commands ---
  // Runs a command; whatever it raises is shown as one plain message (jobs/command_guard.h) in an
  // error box, and the window stays usable. doing names the command in that message.
  void RunCommand(const std::string& doing, const std::function<void()>& command);
  void Inform(TPromptKind kind, const std::string& text);
  void ForwardWheel(QObject* sender, QWheelEvent* event);
  void PreviewToggle();
  void FullScreenToggle();
  void LeaveFullScreen();
  void FullScreenClosed(QWidget* window);
  void RotateCurrentImage(TRotation direction);
  void CheckSourceRename(TRenameTrigger trigger);
  void DeleteSourceFile();
  void CopySourceTo();
  void OpenHomepage();
  void OpenReadme();
  void ShowAbout();
  void BrowseFolder(QLineEdit* field);
  void ChoosePaddingColor();
  void ChangeSettings(TControl control, TTrigger trigger);
  void ChangeExcluded(bool excluded);
  void ChangeSpinValue(QObject* spin, TControl control);
  void FitTextEdited();
  // Enter in a text field or leaving it goes to the model's commit rules.
  std::optional<TField> FieldOf(const QWidget* widget) const;
  void CommitField(QWidget* widget, TFieldEvent event);
  void ShowTab(int index);
  TResizeSettings SettingsFromControls() const;
  void HandleHookedKey(const TKeyInfo& key, bool& handled);
  TFocusedField FocusedField() const;
  bool EditHasFocus() const;
  void UpdateStatusPanelWidths();

  // --- the Batch Resize view and the batch runs (main_window_jobs.cpp) ---
  void CreateJobActions();
  void CreateJobList();
  void BSaveAllClick();
  void AJobExecuteExecute();
  void RunBatchDialog(TBatchRun& run);
  void AJobApplyExecute();
  void AJobResetExecute();
  void AJobSelectAllExecute();
  void AJobToggleExecute();
  void SetJobsListVisible(bool show);
  // Gives the shown job list its remembered width (the splitter gives the view the rest).
  void ApplyJobsListWidth();
  void ShowJobCommands(const TCommandState& commands);
  void ShowJobCaptions();
  void LVJobsSelectionChanged(std::optional<int> row, const TRowSelection& selection);
  // The list follows the current image (CurrentImageLoaded).
  void FollowCurrentJobRow();

  std::unique_ptr<IPrompt> ownPrompt_;
  IPrompt* prompt_ = nullptr;
  std::unique_ptr<TPromptAfter> runPrompt_;  // prompt_, after ShowRunRefresh: the state's
  TTrashFileRemover trashRemover_;
  std::unique_ptr<TAppState> state_;
  // Decodes the neighbours of the image shown on a thread of its own (declared after state_, so
  // it goes first: the state never calls it while being destroyed).
  std::unique_ptr<TDecodeAhead> decodeAhead_;
  // While a picture is decoded in the background: looks every few milliseconds whether it arrived.
  QTimer* pendingLoadTimer_ = nullptr;
  std::unique_ptr<TKeyboardHook> KeyHook;
  std::string commandLineArgument_;
  bool shownOnce_ = false;
  uint32_t paddingColor_ = 0;  // PaddedFitColorPanel's colour, 0x00BBGGRR
  int32_t GroupMarginResize = 0;
  int32_t GroupMarginOutput = 0;
  QPointer<QWidget> FullScreenWindow;
  TBatchForm* batchForm_ = nullptr;  // the dialog of the run going on
  static constexpr qint64 kRunEventsInterval = 25;
  QElapsedTimer runEvents_;  // since events were last let through during a run
  TRunRefresh runRefresh_;   // what the run has changed and the window not shown yet
  bool showingRunRefresh_ = false;
  int jobsListWidth_ = 368;     // PanelJobs' width while the list is hidden
  bool jobsListSized_ = false;  // the shown list has had its width since the window's start
  std::unique_ptr<TSettingsBinding> settings_;

  // Widgets, by the object names they carry (tests and benchmarks find them by object name).
  QWidget* PanelTop = nullptr;
  QLineEdit* EInputDir = nullptr;
  QToolButton* BBrowseInput = nullptr;
  QLineEdit* EOutputDir = nullptr;
  QToolButton* BBrowseOutput = nullptr;
  QToolBar* ToolBarImages = nullptr;
  QToolBar* ToolBarJobs = nullptr;
  QComboBox* CBZoom = nullptr;

  QWidget* PanelLeft = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* EInFilename = nullptr;
  QLabel* LExtIn = nullptr;
  QLineEdit* EInFileNumber = nullptr;
  QLabel* LFileNumber = nullptr;
  QLabel* LOriginalSize = nullptr;
  QLabel* LOriginalFileSize = nullptr;
  QLabel* LSelection = nullptr;

  QGroupBox* GBOutputFile = nullptr;
  QLineEdit* EOutFilename = nullptr;
  QLabel* LExtOut = nullptr;
  QLabel* LFileExists = nullptr;
  QLabel* LNewDimension = nullptr;
  QLabel* LImageFileSize = nullptr;
  QGroupBox* GBResize = nullptr;
  QCheckBox* CBResize = nullptr;
  QCheckBox* CBAllowEnlarge = nullptr;
  QRadioButton* RBFixedLonger = nullptr;
  QRadioButton* RBFixedArea = nullptr;
  QRadioButton* RBPercent = nullptr;
  QRadioButton* RBFixedFit = nullptr;
  QButtonGroup* ruleGroup_ = nullptr;
  QSpinBox* UDLongerSide = nullptr;
  QSpinBox* UDFixedArea = nullptr;
  QSpinBox* UDPercent = nullptr;
  QLineEdit* EFitWidth = nullptr;
  QLabel* LFitWidthX = nullptr;
  QLineEdit* EFitHeight = nullptr;
  QWidget* PaddedFitPanel = nullptr;
  QCheckBox* CBPaddedFit = nullptr;
  QRadioButton* alignButtons_[9] = {};
  QButtonGroup* alignGroup_ = nullptr;
  QFrame* PaddedFitColorPanel = nullptr;
  QComboBox* CBFormat = nullptr;  // the output format, in EOutputFormat order
  QLabel* LQuality = nullptr;
  QSpinBox* UDQuality = nullptr;
  QCheckBox* CBForceRecompress = nullptr;
  QCheckBox* CBExcludeOutputFile = nullptr;

  QFrame* Bevel1 = nullptr;
  QWidget* MainPanel = nullptr;
  QTabBar* TabControl = nullptr;
  QSplitter* Splitter1 = nullptr;
  QWidget* PanelJobs = nullptr;
  TJobListView* LVJobs = nullptr;
  TImgViewBox* ImgViewBox1 = nullptr;

  TStatusPanel* statusPanels_[3] = {};

  // Menus and actions.
  QAction* LoadSettings1 = nullptr;
  QAction* SaveSettings1 = nullptr;
  QMenu* RecentInputDirs1 = nullptr;
  QMenu* RecentOutputDirs1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* MPreview = nullptr;
  QMenu* Zoom1 = nullptr;
  QAction* zoomItems_[6] = {};  // MZoomAuto, MZoom41, MZoom21, MZoom11, MZoom12, MZoom14
  QActionGroup* zoomGroup_ = nullptr;
  QAction* FullScreen1 = nullptr;
  QAction* MNext = nullptr;
  QAction* MPrevious = nullptr;
  QAction* MFirst = nullptr;
  QAction* MLast = nullptr;
  QAction* Refresh1 = nullptr;
  QAction* Rotateright1 = nullptr;
  QAction* RotateLeft1 = nullptr;
  QAction* MInDelete = nullptr;
  QAction* MCopyTo = nullptr;
  QAction* MSave = nullptr;
  QAction* MSaveAndNext = nullptr;
  QAction* MSaveAll = nullptr;
  QAction* MOutDelete = nullptr;
  QAction* MExcludeInBatchMode = nullptr;
  QAction* MForceRecompress = nullptr;
  QMenu* MBatch = nullptr;
  QAction* AJobExecute = nullptr;
  QAction* AJobApply = nullptr;
  QAction* AJobReset = nullptr;
  QAction* AJobSelectAll = nullptr;
  QAction* AJobToggle = nullptr;
  QAction* MJobExecute = nullptr;
  QAction* MJobReset = nullptr;
  QAction* MJobSelectAll = nullptr;
  QToolButton* TBJobsExecute = nullptr;
  QToolButton* TBJobApply = nullptr;
  QToolButton* TBJobReset = nullptr;
  QToolButton* TBJobSelectAll = nullptr;
  QAction* Recursiveinputdirs1 = nullptr;
  QAction* UseLosslessJPEGrotateofinputfile1 = nullptr;
  QAction* MAutoOrient = nullptr;
  QMenu* ColorProfile1 = nullptr;  // Convert, Keep, Ignore
  QAction* MColorConvert = nullptr;
  QAction* MColorKeep = nullptr;
  QAction* MColorIgnore = nullptr;
  QActionGroup* colorProfileGroup_ = nullptr;
  QMenu* Metadata1 = nullptr;  // Strip, Keep, Keep Public
  QAction* MMetadataStrip = nullptr;
  QAction* MMetadataKeep = nullptr;
  QAction* MMetadataKeepPublic = nullptr;
  QActionGroup* metadataGroup_ = nullptr;
  QMenu* MBatchWorkers = nullptr;  // one per core, 1, 2, ...
  QActionGroup* workersGroup_ = nullptr;
  QAction* ProgramHomepage1 = nullptr;
  QAction* Readme1 = nullptr;
  QAction* About1 = nullptr;
  TRecentFolderMenu* HLInput = nullptr;
  TRecentFolderMenu* HLOutput = nullptr;

  QToolButton* TBPrev = nullptr;
  QToolButton* TBSave = nullptr;
  QToolButton* TBNext = nullptr;
  QToolButton* TBSaveAll = nullptr;
  QToolButton* TBPreview = nullptr;
};

}  // namespace picaxo
