#pragma once
// The batch dialog: the widgets of one batch run. What the boxes mean, what a run does, when it
// stops and what it reports are the run's (jobs/batch.h); the dialog shows them and forwards
// clicks. The dialog does not own the run: the state creates it for the dialog's lifetime.
#include <QDialog>
#include <QElapsedTimer>
#include <string>

#include "jobs/batch.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace picaxo {

class TBatchForm : public QDialog {
  Q_OBJECT

 public:
  // Client area as designed.
  static constexpr int kClientWidth = 288;
  static constexpr int kClientHeight = 215;
  // With failed images the result page lists them, and the dialog grows to show the list.
  static constexpr int kDetailsWidth = 480;
  static constexpr int kDetailsHeight = 360;

  TBatchForm(TBatchRun& run, QWidget* owner);

  // Page "Start" with the given title, then the dialog modally; returns when it has closed.
  int Execute(const std::string& title);
  // What Execute does before it shows the dialog (tests show it without a nested loop).
  void Prepare(const std::string& title);

  // What the run reports while the dialog exists (the window's observer passes it on): status
  // texts for LStatus, painted at once since events run only between images, and the progress.
  void ShowStatusText(const std::string& text);
  void ShowProgress(int position, int maximum);
  // LStatus takes the last status text if a newer one came too soon after the last painted one
  // (before events are let through, and when the run ends).
  void ShowPendingStatus();

 signals:
  // The run that Start began has ended (the result page follows unless the run closed the dialog).
  void RunEnded();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Esc: the Cancel button on page "Start", a close on page "Success"

 private:
  void FormShow();
  void BStartClick();
  void BCancelClick();
  void BCloseClick();
  void CBOverwriteAllClick(bool checked);
  void CBDontOverwriteClick(bool checked);
  void ShowChoices(const TBatchChoices& choices);
  // The run has closed the dialog: leave the modal loop with the run's result.
  void EndDialog();

  TBatchRun& run_;
  bool formShown_ = false;
  static constexpr qint64 kStatusRepaintInterval = 25;
  QElapsedTimer statusPainted_;
  std::string pendingStatus_;  // a status text LStatus has not taken yet
  bool statusPending_ = false;
  QStackedWidget* notebook_;
  QWidget* pageStart_;
  QWidget* pageSuccess_;
  QLabel* lTitle_;
  QCheckBox* cbOverwriteAll_;
  QCheckBox* cbDontOverwrite_;
  QCheckBox* cbPromptForCreateDir_;
  QLabel* lStatus_;
  QProgressBar* progressBar_;
  QPushButton* bStart_;
  QPushButton* bCancel_;
  QLabel* lClose_;
  QPlainTextEdit* mDetails_;
  QPushButton* bClose_;
};

}  // namespace picaxo
