#include "ui/status_panel.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <algorithm>

namespace picaxo {

QString ElideStatusText(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  const qsizetype first = text.indexOf(QLatin1Char('/'));
  const qsizetype last = text.lastIndexOf(QLatin1Char('/'));
  if (first >= 0 && last > first) {
    const QString head = text.left(first + 1);
    const QString tail = text.mid(last);
    const int room = width - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(tail);
    if (room >= metrics.horizontalAdvance(QChar(0x2026))) {
      const QString folders = text.mid(first + 1, last - first - 1);
      return head + metrics.elidedText(folders, Qt::ElideMiddle, room) + tail;
    }
  }
  return metrics.elidedText(text, Qt::ElideMiddle, width);
}

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {}

void TStatusPanel::SetFullText(const QString& text) {
  // The same text again (every image of a run names the same folder) needs no new measuring.
  if (text == full_) return;
  full_ = text;
  Fit();
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void TStatusPanel::Fit() {
  const int width = contentsRect().width() - 2 * margin() - 2 * indent();
  const QString shown = ElideStatusText(full_, fontMetrics(), std::max(width, 0));
  if (text() != shown) setText(shown);
  const QString tip = shown == full_ ? QString() : full_;
  if (statusTip() != tip) setStatusTip(tip);
}

}  // namespace picaxo
