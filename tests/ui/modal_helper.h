#pragma once
// Answers a modal dialog that the code under test is about to open: once a modal widget of type T
// is active, handle runs with it (from inside the dialog's own event loop).
#include <QApplication>
#include <QTimer>
#include <functional>

namespace picaxo::testing {

template <typename T>
void WhenModal(std::function<void(T*)> handle) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  // Gives up after ten seconds, so that a dialog that never came cannot answer a later test's.
  QObject::connect(timer, &QTimer::timeout, [timer, handle, ticks = 0]() mutable {
    T* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    if (++ticks > 2000) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (!widget || !widget->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    handle(widget);
  });
  timer->start();
}

}  // namespace picaxo::testing
