// The main window's slots: each maps one control event onto the application state and shows what
// the state then holds. Decisions (what a key does, which commands are enabled, what a change
// stores, which texts the labels carry) are the state's.
#include "ui/main_window.h"
#include "ui/status_panel.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "jobs/command_guard.h"
#include "settings/picaxo_settings.h"
#include "ui/batch_form.h"
#include "ui/img_view_box.h"
#include "ui/job_list.h"
#include "ui/keyboard_hook.h"
#include "ui/message_box_prompt.h"
#include "ui/path_dialog.h"

namespace picaxo {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

// Sets a field's text, showing its beginning; a field that already holds it keeps its caret.
void SetText(QLineEdit* edit, const std::string& text) {
  const QString value = Q(text);
  if (edit->text() == value) return;
  edit->setText(value);
  edit->setCursorPosition(0);
}

void SetText(QLabel* label, const std::string& text) {
  label->setText(Q(text));
}

void SetText(TStatusPanel* panel, const std::string& text) {
  panel->SetFullText(Q(text));
}

QColor ColorOf(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

// What the commands were doing, for their error messages ("Not enough memory to save the image").
constexpr const char* kGoToImage = "show the image";
constexpr const char* kLoadImage = "load the image";
constexpr const char* kSaveImage = "save the image";
constexpr const char* kShowPreview = "show the preview";
constexpr const char* kReadFolder = "read the source folder";
constexpr const char* kChangeSettings = "change the settings";
// How often the window looks whether a picture decoded in the background has arrived (ms).
constexpr int kPendingLoadPoll = 4;

uint32_t BgrOf(const QColor& color) {
  return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
         (static_cast<uint32_t>(color.blue()) << 16);
}

}  // namespace

TForm1::TForm1(TForm1Options options, QWidget* parent)
    : QMainWindow(parent), commandLineArgument_(std::move(options.CommandLineArgument)) {
  if (options.Prompt) {
    prompt_ = options.Prompt;
  } else {
    ownPrompt_ = std::make_unique<TMessageBoxPrompt>(this);
    prompt_ = ownPrompt_.get();
  }
  runPrompt_ = std::make_unique<TPromptAfter>(*prompt_, [this] { ShowRunRefresh(); });
  state_ = std::make_unique<TAppState>(*runPrompt_, static_cast<IJobObserver&>(*this),
                                       options.Remover ? *options.Remover : trashRemover_);
  // The window's runs use every core unless the settings say otherwise.
  state_->SetBatchWorkers(0);
  decodeAhead_ = std::make_unique<TDecodeAhead>();
  state_->SetSourceSupplier(decodeAhead_.get());
  state_->SetLoadsInBackground(options.BackgroundLoads);
  pendingLoadTimer_ = new QTimer(this);
  pendingLoadTimer_->setInterval(kPendingLoadPoll);
  connect(pendingLoadTimer_, &QTimer::timeout, this, [this] {
    RunCommand(kGoToImage, [this] { state_->FinishPendingLoad(false); });
    if (!state_->LoadPending()) pendingLoadTimer_->stop();
  });
  KeyHook =
      std::make_unique<TKeyboardHook>([this](TKeyboardHook*, const TKeyInfo& key, bool& handled) {
        HandleHookedKey(key, handled);
      });

  CreateActions();
  CreateLayout();
  CreateMenus();
  CreateJobList();
  ConnectControls();
  CreateSettings();

  // The folder fields' design texts are placeholders; the settings give their values.
  EInputDir->clear();
  EOutputDir->clear();
  ImgViewBox1->SetAllowEnlargeInAutoSizeMode(true);
  ShowZoom();
  // The view starts as designed, tab 0 with the job panel present (so the model has the list
  // shown); the settings load at the first show then brings tab, panel and menus into line with
  // the stored (or default) choice.
  state_->SetJobsListVisible(true);
  ShowJobCaptions();
}

TForm1::~TForm1() {
  KeyHook->Unregister();
  // The widgets go after the state: nothing they send on their way may reach it.
  for (QObject* child : findChildren<QObject*>()) {
    QObject::disconnect(child, nullptr, this, nullptr);
    child->removeEventFilter(this);
  }
  if (FullScreenWindow) FullScreenWindow->removeEventFilter(this);
}

TGroupLayout TForm1::GroupLayout() const {
  TGroupLayout layout;
  layout.GBResizeTop = GBResize->y();
  layout.PaddedFitPanelTop = PaddedFitPanel->y();
  layout.CBPaddedFitBottom = CBPaddedFit->geometry().bottom() + 1;
  layout.RBAlignRightBottomBottom = alignButtons_[8]->geometry().bottom() + 1;
  layout.GroupMarginResize = GroupMarginResize;
  layout.GroupMarginOutput = GroupMarginOutput;
  return layout;
}

// --- Connections ---

void TForm1::ConnectControls() {
  connect(Exit1, &QAction::triggered, this, &QWidget::close);
  connect(MPreview, &QAction::triggered, this, [this] { PreviewToggle(); });
  connect(TBPreview, &QToolButton::clicked, this, [this] { PreviewToggle(); });
  for (QAction* item : zoomItems_)
    connect(item, &QAction::triggered, this,
            [this, item] { SelectZoomIndex(item->data().toInt()); });
  connect(CBZoom, qOverload<int>(&QComboBox::activated), this,
          [this](int index) { SelectZoomIndex(index); });
  connect(FullScreen1, &QAction::triggered, this, [this] { FullScreenToggle(); });

  auto command = [this](auto* sender, auto signal, const char* doing, std::function<void()> run) {
    connect(sender, signal, this, [this, doing, run] { RunCommand(doing, run); });
  };
  command(MNext, &QAction::triggered, kGoToImage, [this] { state_->GoNext(); });
  command(TBNext, &QToolButton::clicked, kGoToImage, [this] { state_->GoNext(); });
  command(MPrevious, &QAction::triggered, kGoToImage, [this] { state_->GoPrevious(); });
  command(TBPrev, &QToolButton::clicked, kGoToImage, [this] { state_->GoPrevious(); });
  command(MFirst, &QAction::triggered, kGoToImage, [this] { state_->GoFirst(); });
  command(MLast, &QAction::triggered, kGoToImage, [this] { state_->GoLast(); });
  command(Refresh1, &QAction::triggered, "reload the image",
          [this] { state_->ReloadCurrentImage(); });
  command(MSave, &QAction::triggered, kSaveImage, [this] { state_->SaveCurrentImage(); });
  command(TBSave, &QToolButton::clicked, kSaveImage, [this] { state_->SaveCurrentImage(); });
  command(MSaveAndNext, &QAction::triggered, kSaveImage, [this] { state_->SaveAndNext(); });
  command(MOutDelete, &QAction::triggered, "delete the destination file",
          [this] { state_->DeleteDestinationFile(); });
  connect(Rotateright1, &QAction::triggered, this,
          [this] { RotateCurrentImage(TRotation::Right); });
  connect(RotateLeft1, &QAction::triggered, this, [this] { RotateCurrentImage(TRotation::Left); });
  connect(MInDelete, &QAction::triggered, this, [this] { DeleteSourceFile(); });
  connect(MCopyTo, &QAction::triggered, this, [this] { CopySourceTo(); });
  connect(ProgramHomepage1, &QAction::triggered, this, [this] { OpenHomepage(); });
  connect(Readme1, &QAction::triggered, this, [this] { OpenReadme(); });
  connect(About1, &QAction::triggered, this, [this] { ShowAbout(); });
  connect(Recursiveinputdirs1, &QAction::toggled, this,
          [this](bool on) { state_->SetRecursiveInput(on); });
  // The current image is loaded again, upright or as stored; the view and preview follow.
  connect(MAutoOrient, &QAction::toggled, this,
          [this](bool on) { RunCommand(kLoadImage, [this, on] { state_->SetAutoOrient(on); }); });
  connect(UseLosslessJPEGrotateofinputfile1, &QAction::toggled, this, [this](bool on) {
    state_->SetLosslessRotate(on);
    ShowCommands();
  });

  for (QAction* item : colorProfileGroup_->actions())
    command(item, &QAction::triggered, kLoadImage, [this, item] {
      state_->SetColorProfilePolicy(static_cast<TColorProfilePolicy>(item->data().toInt()));
    });
  for (QAction* item : metadataGroup_->actions())
    command(item, &QAction::triggered, kShowPreview, [this, item] {
      state_->SetMetadataPolicy(static_cast<TMetadataPolicy>(item->data().toInt()));
    });

  connect(BBrowseInput, &QToolButton::clicked, this, [this] { BrowseFolder(EInputDir); });
  connect(BBrowseOutput, &QToolButton::clicked, this, [this] { BrowseFolder(EOutputDir); });
  connect(TabControl, &QTabBar::currentChanged, this, [this](int index) { ShowTab(index); });

  // Fields that commit on Enter and on leaving.
  for (QLineEdit* field :
       {EInputDir, EOutputDir, EInFilename, EInFileNumber, EOutFilename, EFitWidth, EFitHeight}) {
    connect(field, &QLineEdit::returnPressed, this,
            [this, field] { CommitField(field, TFieldEvent::Enter); });
    field->installEventFilter(this);
  }
  for (QSpinBox* spin : {UDLongerSide, UDFixedArea, UDPercent, UDQuality})
    spin->installEventFilter(this);
  connect(EInputDir, &QLineEdit::textChanged, this,
          [this](const QString& text) { state_->SetSourceFolderField(S(text)); });
  connect(EOutputDir, &QLineEdit::textChanged, this,
          [this](const QString& text) { state_->SetDestinationFolderField(S(text)); });
  connect(EInFilename, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!state_->FillingControls()) state_->SetSourceNameText(S(text));
  });
  connect(EOutFilename, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!state_->FillingControls())
      RunCommand(kChangeSettings, [&] { ShowRedraw(state_->ChangeOutputName(S(text))); });
  });
  connect(EFitWidth, &QLineEdit::textChanged, this, [this] { FitTextEdited(); });
  connect(EFitHeight, &QLineEdit::textChanged, this, [this] { FitTextEdited(); });

  // Destination settings: every user change goes to the state with the control that made it.
  auto click = [this](QAbstractButton* button, TControl control) {
    connect(button, &QAbstractButton::clicked, this,
            [this, control] { ChangeSettings(control, TTrigger::Commit); });
  };
  click(CBResize, TControl::CBResize);
  click(RBFixedLonger, TControl::RBFixedLonger);
  click(RBFixedArea, TControl::RBFixedArea);
  click(RBPercent, TControl::RBPercent);
  click(RBFixedFit, TControl::RBFixedFit);
  click(CBAllowEnlarge, TControl::CBAllowEnlarge);
  click(CBPaddedFit, TControl::CBPaddedFit);
  for (QRadioButton* b : alignButtons_)
    click(b, TControl::RBAlignment);
  connect(CBForceRecompress, &QCheckBox::clicked, this, [this](bool checked) {
    MForceRecompress->setChecked(checked);
    ChangeSettings(TControl::CBForceRecompress, TTrigger::Commit);
  });
  connect(MForceRecompress, &QAction::triggered, this, [this] {
    CBForceRecompress->setChecked(!CBForceRecompress->isChecked());
    MForceRecompress->setChecked(CBForceRecompress->isChecked());
    ChangeSettings(TControl::CBForceRecompress, TTrigger::Commit);
  });
  connect(CBExcludeOutputFile, &QCheckBox::clicked, this, [this](bool checked) {
    MExcludeInBatchMode->setChecked(checked);
    ChangeExcluded(checked);
  });
  connect(MExcludeInBatchMode, &QAction::triggered, this, [this] {
    CBExcludeOutputFile->setChecked(!CBExcludeOutputFile->isChecked());
    MExcludeInBatchMode->setChecked(CBExcludeOutputFile->isChecked());
    ChangeExcluded(CBExcludeOutputFile->isChecked());
  });
  auto spin = [this](QSpinBox* box, TControl control) {
    connect(box, qOverload<int>(&QSpinBox::valueChanged), this,
            [this, box, control] { ChangeSpinValue(box, control); });
  };
  spin(UDLongerSide, TControl::UDLongerSide);
  spin(UDFixedArea, TControl::UDFixedArea);
  spin(UDPercent, TControl::UDPercent);
  spin(UDQuality, TControl::UDQuality);
  connect(CBFormat, qOverload<int>(&QComboBox::activated), this, [this] {
    ChangeSettings(TControl::CBFormat, TTrigger::Commit);
    UDQuality->setEnabled(OutputFormatOf(state_->Settings()) != EOutputFormat::Png);
    LQuality->setEnabled(UDQuality->isEnabled());
  });

  // The view's selection events.
  connect(ImgViewBox1, &TImgViewBox::OnSelecting, this, [this] {
    const auto selection = ImgViewBox1->HasSelection()
                               ? std::optional<TSelection>(ImgViewBox1->GetSelection())
                               : std::nullopt;
    RunCommand(kChangeSettings,
               [&] { ShowRedraw(state_->ChangeSelection(selection, TSelectionPhase::Dragging)); });
  });
  connect(ImgViewBox1, &TImgViewBox::OnSelectionChange, this, [this] {
    const auto selection = ImgViewBox1->HasSelection()
                               ? std::optional<TSelection>(ImgViewBox1->GetSelection())
                               : std::nullopt;
    RunCommand(kChangeSettings,
               [&] { ShowRedraw(state_->ChangeSelection(selection, TSelectionPhase::Changed)); });
  });
  connect(ImgViewBox1, &TImgViewBox::HintChanged, this, [this](const QString& hint) {
    if (ImgViewBox1->underMouse()) statusBar()->showMessage(hint);
  });
}

// --- Start-up ---

void TForm1::DeferredStartUp() {
  // Set before the window had its size, the job list's width was shared out by a splitter of
  // another size; now it is the one stored (or designed), and so what the first exit stores.
  if (PanelJobs->isVisible()) {
    if (layout()) layout()->activate();
    ApplyJobsListWidth();
  }
  jobsListSized_ = true;
  ShowRuleControls();
  // The keys of the window work at once: the window asks for the keyboard (a desktop does that
  // for a new window anyway; a bare X server does not) and no edit box holds the focus.
  activateWindow();
  ImgViewBox1->setFocus(Qt::OtherFocusReason);
  if (!commandLineArgument_.empty()) {
    state_->TakeCommandLineArgument(commandLineArgument_);
    SetText(EInputDir, state_->SourceFolderField());
  }
  RunCommand(kReadFolder, [this] { state_->ScanSourceFolder(); });
}

// --- What the core tells ---

void TForm1::StatusTextChanged(const std::string& text, TRepaint repaint) {
  SetStatusText(text, repaint == TRepaint::Now);
}

void TForm1::BeginWaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TForm1::EndWaitCursor() {
  QApplication::restoreOverrideCursor();
}

void TForm1::ProcessEvents() {
  // During a run events are let through at most every kRunEventsInterval ms: Cancel and the
  // repaints still come many times a second, but a run of small images no longer spends most of
  // its time painting pictures nobody could follow.
  if (batchForm_ && runEvents_.isValid() && runEvents_.elapsed() < kRunEventsInterval) return;
  runEvents_.start();
  ShowRunRefresh();
  QCoreApplication::processEvents();
}

bool TForm1::DeferDuringRun(bool TRunRefresh::*part) {
  if (!batchForm_ || showingRunRefresh_) return false;
  runRefresh_.*part = true;
  runRefresh_.NoteRow(state_->CurrentIndex());
  return true;
}

void TForm1::ShowRunRefresh() {
  if (batchForm_) batchForm_->ShowPendingStatus();
  const TRunRefresh pending = std::exchange(runRefresh_, {});
  showingRunRefresh_ = true;
  struct TDone {
    bool& showing;
    ~TDone() { showing = false; }
  } done{showingRunRefresh_};
  if (pending.View) ViewChanged();
  if (pending.Names) NameTextsChanged();
  if (pending.Image)
    CurrentImageLoaded();
  else if (pending.Marker)
    FileExistsMarkerChanged();
  // The rows of the images in between, which the list redrew one by one before.
  if (pending.FirstRow >= 0 && state_->JobsListVisible())
    LVJobs->JobModel()->RowsChanged(pending.FirstRow,
                                    std::min(pending.LastRow, LVJobs->RowCount() - 1));
}

void TForm1::CurrentImageLoaded() {
  if (state_->LoadPending() && !pendingLoadTimer_->isActive()) pendingLoadTimer_->start();
  if (DeferDuringRun(&TRunRefresh::Image)) return;
  {
    TAppState::TFillingControls filling(*state_);
    SetText(EInFilename, state_->SourceNameText());
    SetText(EOutFilename, state_->OutputNameText());
    ShowSettings();
  }
  ShowTexts();
  ShowCommands();
  ShowRuleControls();
  FollowCurrentJobRow();
}

void TForm1::ViewChanged() {
  if (DeferDuringRun(&TRunRefresh::View)) return;
  ShowView();
}

void TForm1::FileExistsMarkerChanged() {
  if (DeferDuringRun(&TRunRefresh::Marker)) return;
  const TCurrentImageTexts texts = state_->CurrentImageTexts();
  SetText(LFileExists, texts.FileExists);
  SetText(LExtOut, texts.DestinationExtension);
  SetText(statusPanels_[2], texts.DestinationFolder);
  MOutDelete->setEnabled(state_->EnabledCommands().DeleteDestination);
}

void TForm1::NameTextsChanged() {
  if (DeferDuringRun(&TRunRefresh::Names)) return;
  TAppState::TFillingControls filling(*state_);
  SetText(EInFilename, state_->SourceNameText());
  SetText(EOutFilename, state_->OutputNameText());
}

// --- Showing the state ---

void TForm1::ShowTexts() {
  const TCurrentImageTexts texts = state_->CurrentImageTexts();
  SetText(LExtIn, texts.SourceExtension);
  SetText(LOriginalSize, texts.OriginalSize);
  SetText(LOriginalFileSize, texts.OriginalFileSize);
  SetText(LNewDimension, texts.Dimension);
  SetText(LSelection, texts.Selection);
  SetText(LFileExists, texts.FileExists);
  SetText(LExtOut, texts.DestinationExtension);
  SetText(statusPanels_[1], texts.EntryFolder);
  SetText(statusPanels_[2], texts.DestinationFolder);
}

void TForm1::ShowCommands() {
  const TCommandState c = state_->EnabledCommands();
  EInFilename->setEnabled(c.SourceName);
  MFirst->setEnabled(c.First);
  MLast->setEnabled(c.Last);
  MPrevious->setEnabled(c.Previous);
  TBPrev->setEnabled(c.Previous);
  MNext->setEnabled(c.Next);
  TBNext->setEnabled(c.Next);
  MSaveAndNext->setEnabled(c.SaveAndNext);
  MInDelete->setEnabled(c.DeleteSource);
  MCopyTo->setEnabled(c.CopyTo);
  EOutFilename->setEnabled(c.OutputName);
  MPreview->setEnabled(c.Preview);
  TBPreview->setEnabled(c.Preview);
  MSave->setEnabled(c.Save);
  TBSave->setEnabled(c.Save);
  CBExcludeOutputFile->setEnabled(c.Exclude);
  MExcludeInBatchMode->setEnabled(c.Exclude);
  Rotateright1->setEnabled(c.RotateRight);
  RotateLeft1->setEnabled(c.RotateLeft);
  EInFileNumber->setEnabled(c.ImageNumber);
  MOutDelete->setEnabled(c.DeleteDestination);
  ShowJobCommands(c);
  TAppState::TFillingControls filling(*state_);
  SetText(EInFileNumber, c.ImageNumberText);
  SetText(LFileNumber, c.FileCountText);
}

void TForm1::ShowSettings() {
  TAppState::TFillingControls filling(*state_);
  const TResizeSettings& s = state_->Settings();
  CBResize->setChecked(s.ResizeEnabled);
  // A settings file may choose no rule: the group must be able to show none.
  ruleGroup_->setExclusive(false);
  const std::optional<ResizeRule> rule = SelectedRule(s);
  RBFixedLonger->setChecked(rule == ResizeRule::LongerSide);
  RBFixedArea->setChecked(rule == ResizeRule::FixedArea);
  RBPercent->setChecked(rule == ResizeRule::Percent);
  RBFixedFit->setChecked(rule == ResizeRule::Fit);
  ruleGroup_->setExclusive(true);
  UDLongerSide->setValue(s.LongerPixels);
  UDFixedArea->setValue(s.AreaPixels);
  UDPercent->setValue(s.Percent);
  SetText(EFitWidth, FitWidthText(s));
  SetText(EFitHeight, FitHeightText(s));
  CBPaddedFit->setChecked(s.PaddedFitEnabled);
  if (IsValidAlignment(s.PaddedAlignment)) alignButtons_[s.PaddedAlignment - 1]->setChecked(true);
  paddingColor_ = s.PaddingColor;
  QPalette palette = PaddedFitColorPanel->palette();
  palette.setColor(QPalette::Window, ColorOf(paddingColor_));
  PaddedFitColorPanel->setPalette(palette);
  CBAllowEnlarge->setChecked(s.AllowEnlarge);
  UDQuality->setValue(s.JpegQuality);
  CBFormat->setCurrentIndex(static_cast<int>(OutputFormatOf(s)));
  // PNG is lossless: no quality to choose.
  UDQuality->setEnabled(OutputFormatOf(s) != EOutputFormat::Png);
  LQuality->setEnabled(UDQuality->isEnabled());
  SetText(LExtOut, state_->CurrentImageTexts().DestinationExtension);
  CBForceRecompress->setChecked(s.AlwaysRecompress);
  MForceRecompress->setChecked(s.AlwaysRecompress);
  colorProfileGroup_->actions()[static_cast<int>(ColorProfilePolicyOf(s))]->setChecked(true);
  metadataGroup_->actions()[static_cast<int>(MetadataPolicyOf(s))]->setChecked(true);
  CBExcludeOutputFile->setChecked(state_->Excluded());
  MExcludeInBatchMode->setChecked(state_->Excluded());
}

TResizeSettings TForm1::SettingsFromControls() const {
  // The Fit frame is held by the state (the Fit text rule), not read from the edits.
  TResizeSettings s = state_->Settings();
  s.ResizeEnabled = CBResize->isChecked();
  s.FixedLongerEnabled = RBFixedLonger->isChecked();
  s.FixedAreaEnabled = RBFixedArea->isChecked();
  s.PercentEnabled = RBPercent->isChecked();
  s.FixedFitEnabled = RBFixedFit->isChecked();
  s.LongerPixels = static_cast<int16_t>(UDLongerSide->value());
  s.AreaPixels = static_cast<int16_t>(UDFixedArea->value());
  s.Percent = static_cast<int16_t>(UDPercent->value());
  s.PaddedFitEnabled = CBPaddedFit->isChecked();
  std::array<bool, 9> checked{};
  for (size_t i = 0; i < checked.size(); ++i)
    checked[i] = alignButtons_[i]->isChecked();
  s.PaddedAlignment = AlignmentOfButtons(checked);
  s.PaddingColor = paddingColor_;
  s.AllowEnlarge = CBAllowEnlarge->isChecked();
  s.JpegQuality = static_cast<int16_t>(UDQuality->value());
  s.OutputFormat = static_cast<uint8_t>(std::max(0, CBFormat->currentIndex()));
  s.AlwaysRecompress = CBForceRecompress->isChecked();
  return s;
}

void TForm1::ShowRuleControls() {
  const TRuleControlsState r = RuleControlsState(state_->Settings(), GroupLayout());
  for (QRadioButton* b : {RBFixedLonger, RBFixedArea, RBPercent, RBFixedFit})
    b->setEnabled(r.RuleButtonsEnabled);
  CBAllowEnlarge->setEnabled(r.AllowEnlargeEnabled);
  auto input = [](std::initializer_list<QWidget*> widgets, const TInputState& state) {
    for (QWidget* w : widgets) {
      w->setVisible(state.Visible);
      w->setEnabled(state.Enabled);
    }
  };
  input({UDLongerSide}, r.LongerSide);
  input({UDFixedArea}, r.FixedArea);
  input({UDPercent}, r.Percent);
  input({EFitWidth, LFitWidthX, EFitHeight}, r.Fit);
  PaddedFitPanel->setVisible(r.PaddedFitPanelVisible);
  for (QRadioButton* b : alignButtons_)
    b->setVisible(r.AlignmentGridVisible);
  PaddedFitColorPanel->setVisible(r.AlignmentGridVisible);
  if (r.PaddedFitPanelVisible)
    PaddedFitPanel->resize(PaddedFitPanel->width(), r.PaddedFitPanelHeight);
  GBResize->resize(GBResize->width(), r.GBResizeHeight);
  GBOutputFile->resize(GBOutputFile->width(), r.GBOutputFileHeight);
}

void TForm1::ShowView() {
  const TViewContent& view = state_->View();
  switch (view.Kind) {
    case TViewContent::TKind::Empty:
      ImgViewBox1->ClearImage();
      ImgViewBox1->ClearSelection();
      break;
    case TViewContent::TKind::Source:
    case TViewContent::TKind::Preview:
      ImgViewBox1->SetSelectable(view.Selectable);
      if (view.Picture) ImgViewBox1->SetBitmap(view.Picture);
      break;
  }
  SetText(LImageFileSize, view.ImageFileSizeText);
  ShowZoom();
  MPreview->setChecked(state_->PreviewMode());
  TBPreview->setChecked(state_->PreviewMode());
  ShowViewSelection();
}

void TForm1::ShowViewSelection() {
  const std::optional<TSelection>& selection = state_->ViewSelection();
  if (selection)
    ImgViewBox1->SetSelection(*selection);
  else
    ImgViewBox1->ClearSelection();
}

void TForm1::ShowRedraw(const TRedraw& redraw) {
  if (redraw.DimensionLabel) SetText(LNewDimension, state_->DimensionLabelText());
  if (redraw.DimensionLabel || redraw.SelectionLabel)
    SetText(LSelection, state_->SelectionLabelText());
  if (redraw.FileExistsMarker) FileExistsMarkerChanged();
  if (redraw.AllJobRows)
    JobRowsChanged(TJobRows::All);
  else if (redraw.CurrentJobRow || redraw.DimensionLabel)
    JobRowsChanged(TJobRows::Current);
  // redraw.View: the state has rendered the preview already and told ViewChanged.
}

// --- Commands ---

void TForm1::RunCommand(const std::string& doing, const std::function<void()>& command) {
  // Every command but a move acts on the picture of the image shown: one still being decoded in
  // the background is waited for (the user asked for it).
  const bool move = doing == kGoToImage;
  const std::optional<std::string> error = RunGuarded(
      [&] {
        if (!move) state_->FinishPendingLoad(true);
        command();
      },
      doing);
  if (error) Inform(TPromptKind::Error, *error);
}

void TForm1::Inform(TPromptKind kind, const std::string& text) {
  prompt_->Ask(TQuestion{TQuestionId::WindowMessage, kind, text, TPromptButton::OK});
}

void TForm1::PreviewToggle() {
  RunCommand(kShowPreview, [this] { state_->TogglePreview(); });
  MPreview->setChecked(state_->PreviewMode());
  TBPreview->setChecked(state_->PreviewMode());
}

void TForm1::RotateCurrentImage(TRotation direction) {
  RunCommand("rotate the image", [this, direction] { state_->RotateCurrentImage(direction); });
}

void TForm1::CheckSourceRename(TRenameTrigger trigger) {
  RunCommand("rename the source file", [this, trigger] { state_->CheckSourceRename(trigger); });
}

void TForm1::DeleteSourceFile() {
  RunCommand("delete the source file", [this] { state_->DeleteSourceFile(); });
}

void TForm1::CopySourceTo() {
  const QString start = Q(state_->CopyToStartFolder());
  const QString proposed = Q(state_->CopyToProposedName());
  const QString target = QFileDialog::getSaveFileName(
      this, QStringLiteral("Save image as..."),
      start.isEmpty() ? proposed : start + QLatin1Char('/') + proposed,
      QStringLiteral("Pictures (*.jpg *.jpeg *.bmp *.png *.webp *.heic *.heif "
                     "*.avif *.tif *.tiff);;All files (*.*)"));
  state_->CopyTargetChosen(S(target));
  if (target.isEmpty()) return;
  RunCommand("copy the source file", [this, &target] { state_->CopySourceTo(S(target)); });
}

void TForm1::BrowseFolder(QLineEdit* field) {
  TPathDialog dialog(this);
  dialog.SetTitle(QStringLiteral("Choose a Folder:"));
  dialog.SetDirectory(field->text());
  if (dialog.Execute()) field->setText(dialog.Directory());
  // Either button re-checks the source folder; it is read again only when it changed.
  state_->SetSourceFolderField(S(EInputDir->text()));
  RunCommand(kReadFolder, [this] { state_->ScanSourceFolder(); });
}

void TForm1::ChoosePaddingColor() {
  const QColor color = QColorDialog::getColor(ColorOf(paddingColor_), this);
  if (!color.isValid()) return;
  paddingColor_ = BgrOf(color);
  QPalette palette = PaddedFitColorPanel->palette();
  palette.setColor(QPalette::Window, color);
  PaddedFitColorPanel->setPalette(palette);
  ChangeSettings(TControl::PaddedFitColorPanel, TTrigger::Commit);
}

void TForm1::ChangeSettings(TControl control, TTrigger trigger) {
  if (state_->FillingControls()) return;
  TRedraw redraw;
  // A change in preview mode renders the preview, which can fail like any command.
  RunCommand(kChangeSettings,
             [&] { redraw = state_->ChangeSettings(control, trigger, SettingsFromControls()); });
  if (RerunsRuleControls(control)) ShowRuleControls();
  ShowRedraw(redraw);
}

void TForm1::ChangeExcluded(bool excluded) {
  if (state_->FillingControls()) return;
  RunCommand(kChangeSettings, [&] { ShowRedraw(state_->ChangeExcluded(excluded)); });
}

void TForm1::ChangeSpinValue(QObject* spin, TControl control) {
  // A value taken while the box still has the focus came from Enter or an arrow; one taken as
  // the box loses the focus is the leaving of the edit.
  auto* box = static_cast<QWidget*>(spin);
  ChangeSettings(control, box->hasFocus() ? TTrigger::Commit : TTrigger::Leave);
}

void TForm1::FitTextEdited() {
  if (state_->FillingControls()) return;
  TResizeSettings settings = state_->Settings();
  if (TakeFitTexts(S(EFitWidth->text()), S(EFitHeight->text()), settings))
    state_->SetSettings(settings);
}

std::optional<TField> TForm1::FieldOf(const QWidget* widget) const {
  const std::pair<const QWidget*, TField> fields[] = {
      {EInputDir, TField::EInputDir},       {EOutputDir, TField::EOutputDir},
      {EInFilename, TField::EInFilename},   {EInFileNumber, TField::EInFileNumber},
      {EOutFilename, TField::EOutFilename}, {EFitWidth, TField::EFitWidth},
      {EFitHeight, TField::EFitHeight},     {UDLongerSide, TField::ELongerSide},
      {UDFixedArea, TField::EFixedArea},    {UDPercent, TField::EPercent},
      {UDQuality, TField::EQuality}};
  for (const auto& [candidate, field] : fields) {
    if (candidate == widget) return field;
  }
  return std::nullopt;
}

void TForm1::CommitField(QWidget* widget, TFieldEvent event) {
  const std::optional<TField> field = FieldOf(widget);
  if (!field) return;
  const auto* edit = qobject_cast<const QLineEdit*>(widget);
  const std::string text = edit ? S(edit->text()) : std::string();
  TFieldCommit commit;
  RunCommand(FieldCommitDoing(*field), [&] { commit = state_->CommitField(*field, event, text); });
  if (commit.SettingsChange) ChangeSettings(*commit.SettingsChange, commit.Trigger);
  if (commit.ShowFitTexts) {
    TAppState::TFillingControls filling(*state_);
    SetText(EFitWidth, FitWidthText(state_->Settings()));
    SetText(EFitHeight, FitHeightText(state_->Settings()));
  }
}

void TForm1::ShowTab(int index) {
  SetJobsListVisible(index == 1);
}

// --- Keys ---

TFocusedField TForm1::FocusedField() const {
  const QWidget* focus = focusWidget();
  if (!focus || !isActiveWindow()) return TFocusedField::None;
  if (focus == EInputDir) return TFocusedField::EInputDir;
  if (focus == EOutputDir) return TFocusedField::EOutputDir;
  if (focus == EInFilename) return TFocusedField::EInFilename;
  if (focus == EOutFilename) return TFocusedField::EOutFilename;
  if (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus))
    return TFocusedField::Other;
  return TFocusedField::None;
}

bool TForm1::EditHasFocus() const {
  return FocusedField() != TFocusedField::None;
}

void TForm1::HandleHookedKey(const TKeyInfo& key, bool& handled) {
  TKeyEvent event;
  event.VirtualKey = key.VirtualKey;
  event.Direction = key.KeyUp ? TKeyDirection::Release : TKeyDirection::Press;
  event.Ctrl = (TKeyboardHook::CurrentShiftState() & ssCtrl) != 0;
  event.WindowActive = isActiveWindow() || (FullScreenWindow && FullScreenWindow->isActiveWindow());
  event.Field = FocusedField();
  event.EditHasFocus = event.Field != TFocusedField::None;
  TKeyContext context;
  context.CurrentIndex = state_->CurrentIndex();
  context.PreviousIndex = state_->List().PreviousIndex();
  context.Count = state_->Count();
  context.Zoom = state_->Zoom();
  const TKeyAction action = picaxo::HandleHookedKey(event, context);
  handled = action.Taken;
  switch (action.Command) {
    case TKeyCommand::None:
      break;
    case TKeyCommand::GoToImage:
      RunCommand(kGoToImage, [this, &action] { state_->GoToImage(action.Index); });
      break;
    case TKeyCommand::DeleteSource:
      DeleteSourceFile();
      break;
    case TKeyCommand::SelectZoom:
      state_->SelectZoom(action.Zoom);
      ShowZoom();
      break;
    case TKeyCommand::RestoreField:
      if (const std::optional<std::string> text = state_->EscapeRestoreText(action.Field)) {
        if (auto* edit = qobject_cast<QLineEdit*>(focusWidget())) edit->setText(Q(*text));
      }
      break;
    case TKeyCommand::LeaveFullScreen:
      LeaveFullScreen();
      break;
  }
}

}  // namespace picaxo
