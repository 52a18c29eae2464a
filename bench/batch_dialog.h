#pragma once
// Drives the window's batch dialog as a user would once it shows: folders created without asking,
// Start, Close. For the window benchmarks that run Save All.
#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace picaxo::bench {

inline void RunDialogWhenItShows() {
  auto* timer = new QTimer();
  QObject::connect(timer, &QTimer::timeout, [timer] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    dialog->findChild<QAbstractButton*>("CBPromptForCreateDir")->click();
    dialog->findChild<QAbstractButton*>("BStart")->click();
    dialog->findChild<QAbstractButton*>("BClose")->click();
  });
  timer->start(0);
}

}  // namespace picaxo::bench
