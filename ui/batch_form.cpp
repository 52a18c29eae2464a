#include "ui/batch_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "ui/window_placement.h"

namespace picaxo {

namespace {
QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QLabel* WrappedLabel(const char* name, int pointSizeStep, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  QFont font = label->font();
  font.setBold(true);
  if (pointSizeStep && font.pointSize() > 0) font.setPointSize(font.pointSize() + pointSizeStep);
  label->setFont(font);
  return label;
}
}  // namespace

TBatchForm::TBatchForm(TBatchRun& run, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      run_(run) {
  setObjectName("BatchForm");
  setWindowTitle("Batch process");
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);

  notebook_ = new QStackedWidget(this);
  notebook_->setObjectName("Notebook");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(notebook_);

  // Page "Start": title, the three options, status, progress, Start and Cancel.
  pageStart_ = new QWidget(notebook_);
  pageStart_->setObjectName("Start");
  auto* start = new QVBoxLayout(pageStart_);
  start->setContentsMargins(8, 8, 8, 8);
  start->setSpacing(4);
  lTitle_ = WrappedLabel("LTitle", 0, pageStart_);
  start->addWidget(lTitle_);
  auto box = [&](const char* name, const char* caption) {
    auto* cb = new QCheckBox(caption, pageStart_);
    cb->setObjectName(name);
    start->addWidget(cb);
    return cb;
  };
  cbOverwriteAll_ = box("CBOverwriteAll", "Overwrite existing files without prompting");
  cbDontOverwrite_ = box("CBDontOverwrite", "Never overwrite existing files");
  cbPromptForCreateDir_ = box("CBPromptForCreateDir", "Prompt when a folder needs to be created");
  auto* statusArea = new QFrame(pageStart_);
  statusArea->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* statusLayout = new QVBoxLayout(statusArea);
  statusLayout->setContentsMargins(4, 2, 4, 2);
  lStatus_ = new QLabel(statusArea);
  lStatus_->setObjectName("LStatus");
  lStatus_->setWordWrap(true);
  statusLayout->addWidget(lStatus_);
  start->addWidget(statusArea, 1);
  progressBar_ = new QProgressBar(pageStart_);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setMinimum(0);
  progressBar_->setTextVisible(false);
  start->addWidget(progressBar_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  bStart_ = new QPushButton("Start", pageStart_);
  bStart_->setObjectName("BStart");
  bStart_->setDefault(true);
  bCancel_ = new QPushButton("Cancel", pageStart_);
  bCancel_->setObjectName("BCancel");
  buttons->addWidget(bStart_);
  buttons->addWidget(bCancel_);
  start->addLayout(buttons);
  notebook_->addWidget(pageStart_);

  // Page "Success": the result and Close.
  pageSuccess_ = new QWidget(notebook_);
  pageSuccess_->setObjectName("Success");
  auto* success = new QVBoxLayout(pageSuccess_);
  success->setContentsMargins(12, 12, 12, 12);
  lClose_ = WrappedLabel("LClose", 4, pageSuccess_);
  lClose_->setAlignment(Qt::AlignCenter);
  success->addWidget(lClose_, 1);
  // The failed images with their reasons, one a line; shown only when there are any.
  mDetails_ = new QPlainTextEdit(pageSuccess_);
  mDetails_->setObjectName("MDetails");
  mDetails_->setReadOnly(true);
  mDetails_->setLineWrapMode(QPlainTextEdit::NoWrap);
  mDetails_->hide();
  success->addWidget(mDetails_, 3);
  bClose_ = new QPushButton("Close", pageSuccess_);
  bClose_->setObjectName("BClose");
  auto* closeRow = new QHBoxLayout();
  closeRow->addStretch(1);
  closeRow->addWidget(bClose_);
  closeRow->addStretch(1);
  success->addLayout(closeRow);
  notebook_->addWidget(pageSuccess_);

  connect(bStart_, &QPushButton::clicked, this, &TBatchForm::BStartClick);
  connect(bCancel_, &QPushButton::clicked, this, &TBatchForm::BCancelClick);
  connect(bClose_, &QPushButton::clicked, this, &TBatchForm::BCloseClick);
  connect(cbOverwriteAll_, &QCheckBox::clicked, this, &TBatchForm::CBOverwriteAllClick);
  connect(cbDontOverwrite_, &QCheckBox::clicked, this, &TBatchForm::CBDontOverwriteClick);
}

void TBatchForm::Prepare(const std::string& title) {
  notebook_->setCurrentWidget(pageStart_);
  lTitle_->setText(Text(title));
}

int TBatchForm::Execute(const std::string& title) {
  Prepare(title);
  return exec();
}

void TBatchForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Restoring a minimized dialog shows it again; the options are read once, when it opens.
  if (event->spontaneous() || formShown_) return;
  formShown_ = true;
  FormShow();
}

void TBatchForm::FormShow() {
  CenterDialogOn(*this, parentWidget());
  // The dialog's size is fixed, so the status label's place is too: a new status text then
  // repaints the label alone instead of laying the whole dialog out again, many times a second.
  lStatus_->setFixedSize(lStatus_->size());
  ShowChoices(run_.Show());
}

void TBatchForm::ShowChoices(const TBatchChoices& choices) {
  cbOverwriteAll_->setChecked(choices.OverwriteAll);
  cbDontOverwrite_->setChecked(choices.DontOverwrite);
  cbPromptForCreateDir_->setChecked(choices.PromptForCreateDir);
}

void TBatchForm::ShowStatusText(const std::string& text) {
  // Painted at once, but not more often than the eye follows: four texts per image of a run of
  // small images would otherwise cost more than the images. A text that comes too soon waits.
  if (lStatus_->isVisible() && statusPainted_.isValid() &&
      statusPainted_.elapsed() < kStatusRepaintInterval) {
    pendingStatus_ = text;
    statusPending_ = true;
    return;
  }
  statusPending_ = false;
  lStatus_->setText(Text(text));
  if (!lStatus_->isVisible()) return;
  statusPainted_.start();
  lStatus_->repaint();
}

void TBatchForm::ShowPendingStatus() {
  if (!statusPending_) return;
  statusPending_ = false;
  lStatus_->setText(Text(pendingStatus_));
}

void TBatchForm::ShowProgress(int position, int maximum) {
  // A bar from 0 to 0 is Qt's busy indicator; an empty run shows an empty bar instead.
  progressBar_->setMaximum(std::max(maximum, 1));
  progressBar_->setValue(std::clamp(position, 0, progressBar_->maximum()));
}

void TBatchForm::CBOverwriteAllClick(bool checked) {
  TBatchChoices choices{cbOverwriteAll_->isChecked(), cbDontOverwrite_->isChecked(),
                        cbPromptForCreateDir_->isChecked()};
  choices.CheckOverwriteAll(checked);
  ShowChoices(choices);
}

void TBatchForm::CBDontOverwriteClick(bool checked) {
  TBatchChoices choices{cbOverwriteAll_->isChecked(), cbDontOverwrite_->isChecked(),
                        cbPromptForCreateDir_->isChecked()};
  choices.CheckDontOverwrite(checked);
  ShowChoices(choices);
}

void TBatchForm::BStartClick() {
  const TBatchChoices choices{cbOverwriteAll_->isChecked(), cbDontOverwrite_->isChecked(),
                              cbPromptForCreateDir_->isChecked()};
  bStart_->setEnabled(false);
  for (QCheckBox* box : {cbOverwriteAll_, cbDontOverwrite_, cbPromptForCreateDir_})
    box->setEnabled(false);
  run_.Start(choices);
  ShowPendingStatus();
  emit RunEnded();
  if (run_.Stage() == TBatchRun::TStage::Closed) {
    EndDialog();
    return;
  }
  lClose_->setText(Text(run_.ResultText));
  const std::string details = run_.FailureDetails();
  if (!details.empty()) {
    mDetails_->setPlainText(Text(details));
    mDetails_->show();
    setFixedSize(kDetailsWidth, kDetailsHeight);
    CenterDialogOn(*this, parentWidget());
  }
  notebook_->setCurrentWidget(pageSuccess_);
  bClose_->setDefault(true);
  bClose_->setFocus();
}

void TBatchForm::BCancelClick() {
  run_.Cancel();
  bCancel_->setText(Text(run_.CancelCaption));
  if (run_.Stage() == TBatchRun::TStage::Closed) EndDialog();
}

void TBatchForm::BCloseClick() {
  run_.Close(TBatchRun::TCloseResult::OK);
  EndDialog();
}

void TBatchForm::reject() {
  if (notebook_->currentWidget() == pageStart_)
    BCancelClick();
  else
    close();
}

void TBatchForm::closeEvent(QCloseEvent* event) {
  run_.Close(TBatchRun::TCloseResult::Cancel);
  if (run_.Stage() != TBatchRun::TStage::Closed) {
    // A run is going on: it closes the dialog when it ends.
    event->ignore();
    return;
  }
  setResult(QDialog::Rejected);
  event->accept();
}

void TBatchForm::EndDialog() {
  done(run_.CloseResult() == TBatchRun::TCloseResult::OK ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace picaxo
