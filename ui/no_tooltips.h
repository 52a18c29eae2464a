#pragma once
// Hints belong in the status bar, never in tooltips: Qt gives tool buttons a tooltip from their
// action's text, so the program swallows every tooltip request once, application-wide.
#include <QEvent>
#include <QObject>

namespace picaxo {

class TNoToolTips : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTip) return true;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace picaxo
