#pragma once
// A panel of the status bar. A text too long for the panel is shortened inside its path (the
// folders between the first and the last "/" give way first), so the start of a message and its
// end (the file name and a saved file's size) stay; the whole text is then the panel's status
// tip, shown across the bar while the pointer rests on the panel.
#include <QLabel>
#include <QString>

class QFontMetrics;

namespace picaxo {

// text fitted into width pixels as described above; a text with no path, or whose path cannot give
// way enough, is shortened in its middle.
QString ElideStatusText(const QString& text, const QFontMetrics& metrics, int width);

class TStatusPanel : public QLabel {
 public:
  explicit TStatusPanel(QWidget* parent = nullptr);
  void SetFullText(const QString& text);
  const QString& FullText() const { return full_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fit();
  QString full_;
};

}  // namespace picaxo
