// The main window's batch half: the job list of the Batch Resize view, the job actions with their
// tool bar and menu items, the view switch, and the batch dialog runs of "Save All". Each slot
// hands its control to the state and shows what the state decides.
#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QFrame>
#include <QMenu>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "jobs/batch.h"
#include "ui/batch_form.h"
#include "ui/job_list.h"
#include "ui/main_window.h"

namespace picaxo {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The splitter keeps each pane at least this wide.
constexpr int kJobsPanelMinimum = 30;

QAction* JobAction(QObject* owner, const char* name, const char* caption, const char* hint) {
  auto* action = new QAction(QString::fromUtf8(caption), owner);
  action->setObjectName(QString::fromLatin1(name));
  if (hint) action->setStatusTip(QString::fromUtf8(hint));
  return action;
}

// A menu item bound to an action: it shows the action's caption, hint and enabled state and runs
// it. It carries the shortcut only as text, so the key stays the action's alone.
QAction* MenuItemFor(QAction* action, const char* name, QObject* owner) {
  auto* item = new QAction(owner);
  item->setObjectName(QString::fromLatin1(name));
  auto follow = [item, action] {
    QString caption = action->text();
    if (!action->shortcut().isEmpty())
      caption += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
    item->setText(caption);
    item->setStatusTip(action->statusTip());
    item->setEnabled(action->isEnabled());
  };
  follow();
  QObject::connect(action, &QAction::changed, item, follow);
  QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
  return item;
}

QToolButton* ToolButtonFor(QAction* action, const char* name, QToolBar* bar) {
  auto* button = new QToolButton(bar);
  button->setObjectName(QString::fromLatin1(name));
  button->setDefaultAction(action);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addWidget(button);
  return button;
}

}  // namespace

void TForm1::CreateJobActions() {
  AJobExecute = JobAction(this, "AJobExecute", "Save All", "Save all images in the batch list");
  AJobApply = JobAction(this, "AJobApply", "Apply All",
                        "Set the current destination settings to the images in job list");
  AJobReset =
      JobAction(this, "AJobReset", "Reset All", "Remove all resize settings for the images");
  AJobSelectAll =
      JobAction(this, "AJobSelectAll", "Select All", "Select all images in the image list");
  AJobSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  AJobToggle = JobAction(this, "AJobToggle", "Show Batch Jobs", nullptr);
  // The window holds the actions, so Ctrl+A works wherever the focus is in it (an edit with the
  // focus keeps Ctrl+A for its own text).
  addActions({AJobExecute, AJobApply, AJobReset, AJobSelectAll, AJobToggle});
}

void TForm1::CreateJobList() {
  CreateJobActions();
  LVJobs = new TJobListView(
      [this](int row, TJobColumn column) { return JobCellText(*state_, row, column); }, PanelJobs);
  PanelJobs->layout()->addWidget(LVJobs);
  PanelJobs->setMinimumWidth(kJobsPanelMinimum);
  Splitter1->setOpaqueResize(true);

  TBJobsExecute = ToolButtonFor(AJobExecute, "TBJobsExecute", ToolBarJobs);
  TBJobApply = ToolButtonFor(AJobApply, "TBJobApply", ToolBarJobs);
  TBJobReset = ToolButtonFor(AJobReset, "TBJobReset", ToolBarJobs);
  TBJobSelectAll = ToolButtonFor(AJobSelectAll, "TBJobSelectAll", ToolBarJobs);
  MJobExecute = MenuItemFor(AJobExecute, "MJobExecute", this);
  MJobReset = MenuItemFor(AJobReset, "MJobReset", this);
  MJobSelectAll = MenuItemFor(AJobSelectAll, "MJobSelectAll", this);
  MBatch->addActions({MJobExecute, MJobReset, MJobSelectAll});

  connect(AJobExecute, &QAction::triggered, this, [this] { AJobExecuteExecute(); });
  connect(AJobApply, &QAction::triggered, this, [this] { AJobApplyExecute(); });
  connect(AJobReset, &QAction::triggered, this, [this] { AJobResetExecute(); });
  connect(AJobSelectAll, &QAction::triggered, this, [this] { AJobSelectAllExecute(); });
  connect(AJobToggle, &QAction::triggered, this, [this] { AJobToggleExecute(); });
  connect(TBSaveAll, &QToolButton::clicked, this, [this] { BSaveAllClick(); });
  connect(MSaveAll, &QAction::triggered, this, [this] { BSaveAllClick(); });
  connect(LVJobs, &TJobListView::JobSelectionChanged, this,
          [this](std::optional<int> row, const TRowSelection& selection) {
            LVJobsSelectionChanged(row, selection);
          });
  connect(LVJobs, &TJobListView::JobRowsMoved, this,
          [this](const TRowSelection& selection) { state_->SetJobRowSelection(selection); });
}

// --- The batch runs ---

void TForm1::BSaveAllClick() {
  RunCommand("save all images",
             [this] { state_->SaveAll([this](TBatchRun& run) { RunBatchDialog(run); }); });
}

void TForm1::AJobExecuteExecute() {
  RunCommand("run the batch jobs",
             [this] { state_->ExecuteJobs([this](TBatchRun& run) { RunBatchDialog(run); }); });
}

void TForm1::RunBatchDialog(TBatchRun& run) {
  TBatchForm form(run, this);
  connect(&form, &TBatchForm::RunEnded, this, [this] { ShowRunRefresh(); });
  batchForm_ = &form;
  struct TForget {
    TBatchForm*& form;
    ~TForget() { form = nullptr; }
  } forget{batchForm_};
  form.Execute(state_->BatchTitle());
}

void TForm1::BatchStatusTextChanged(const std::string& text) {
  if (batchForm_) batchForm_->ShowStatusText(text);
}

void TForm1::BatchProgressChanged(int position, int maximum) {
  if (batchForm_) batchForm_->ShowProgress(position, maximum);
}

// --- The job actions ---

void TForm1::AJobApplyExecute() {
  RunCommand("apply the settings to the jobs", [this] { state_->ApplySettingsToJobs(); });
}

void TForm1::AJobResetExecute() {
  RunCommand("reset the jobs", [this] { state_->ResetJobs(); });
}

void TForm1::AJobSelectAllExecute() {
  LVJobs->SelectAllRows();
}

void TForm1::AJobToggleExecute() {
  SetJobsListVisible(!PanelJobs->isVisibleTo(this));
}

void TForm1::ShowJobCommands(const TCommandState& commands) {
  AJobExecute->setEnabled(commands.JobExecute);
  AJobReset->setEnabled(commands.JobReset);
  AJobApply->setEnabled(commands.JobApply);
  AJobSelectAll->setEnabled(commands.JobSelectAll);
  TBSaveAll->setEnabled(commands.SaveAll);
  MSaveAll->setEnabled(commands.SaveAll);
}

void TForm1::ShowJobCaptions() {
  const TJobCaptions captions = JobCaptionsFor(state_->JobCaptionMode());
  AJobExecute->setText(Q(captions.Execute));
  AJobReset->setText(Q(captions.Reset));
  AJobApply->setText(Q(captions.Apply));
  AJobToggle->setText(Q(JobToggleCaption(state_->JobsListVisible())));
}

// --- The view switch ---

void TForm1::SetJobsListVisible(bool show) {
  if (show && (!PanelJobs->isVisibleTo(this) || Bevel1->isVisibleTo(this))) {
    LVJobs->SyncJobCount(state_->Count());
    Bevel1->hide();
    PanelJobs->show();
    ApplyJobsListWidth();
    ToolBarJobs->show();
    state_->SetJobsListVisible(true);
    LVJobs->SelectOnlyRow(state_->CurrentIndex());
    LVJobs->RefreshJobList(TJobRefresh::CurrentRow, state_->CurrentIndex());
    state_->UpdateJobCaptions();
    MBatch->menuAction()->setVisible(true);
  } else if (!show && PanelJobs->isVisibleTo(this)) {
    jobsListWidth_ = PanelJobs->width();
    PanelJobs->hide();
    ToolBarJobs->hide();
    // A hidden list has no rows, so every pass of the Simple Resize view covers all images.
    LVJobs->SyncJobCount(0);
    Bevel1->show();
    state_->SetJobsListVisible(false);
    MBatch->menuAction()->setVisible(false);
  }
  {
    const QSignalBlocker quiet(TabControl);
    TabControl->setCurrentIndex(show ? 1 : 0);
  }
  ShowJobCaptions();
  ShowJobCommands(state_->EnabledCommands());
}

void TForm1::ApplyJobsListWidth() {
  const int width = std::max(jobsListWidth_, kJobsPanelMinimum);
  Splitter1->setSizes({width, std::max(Splitter1->width() - width, kJobsPanelMinimum)});
}

// --- The list ---

void TForm1::LVJobsSelectionChanged(std::optional<int> row, const TRowSelection& selection) {
  RunCommand("show the image",
             [this, row, &selection] { state_->JobRowsSelected(row, selection); });
  ShowJobCaptions();
}

void TForm1::FollowCurrentJobRow() {
  if (!state_->JobsListVisible()) return;
  const int row = state_->CurrentIndex();
  // During a run the selection says which images the run covers: it stays.
  if (state_->BatchForm())
    LVJobs->ScrollToRow(row);
  else
    LVJobs->SelectOnlyRow(row);
  LVJobs->RefreshJobList(TJobRefresh::CurrentRow, row);
}

void TForm1::FileListChanged() {
  if (state_->JobsListVisible()) LVJobs->SyncJobCount(state_->Count());
}

void TForm1::JobRowsChanged(TJobRows rows) {
  LVJobs->RefreshJobList(rows == TJobRows::All ? TJobRefresh::AllRows : TJobRefresh::CurrentRow,
                         state_->CurrentIndex());
}

}  // namespace picaxo
