// Status texts longer than their panel: shortened inside the path, never losing the result.
#include "ui/status_panel.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

namespace picaxo {
namespace {

TEST(StatusPanel, ALongSaveMessageKeepsItsStartFileNameAndSizeAndShowsWholeInTheTip) {
  const QString message = QStringLiteral(
      "Saved /home/someone/Pictures/exported for the web/2024/holiday/var-exif-com-Bridge.jpg "
      "successfully (34KB).");
  TStatusPanel panel;
  panel.resize(2000, 20);
  panel.show();
  panel.SetFullText(message);
  EXPECT_EQ(panel.text(), message);
  EXPECT_TRUE(panel.statusTip().isEmpty());

  panel.resize(QFontMetrics(panel.font()).horizontalAdvance(message) * 2 / 3, 20);
  const QString shown = panel.text();
  EXPECT_NE(shown, message);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Saved /home/"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("/var-exif-com-Bridge.jpg successfully (34KB).")))
      << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
  EXPECT_LE(QFontMetrics(panel.font()).horizontalAdvance(shown), panel.contentsRect().width());
  EXPECT_EQ(panel.statusTip(), message);
  EXPECT_EQ(panel.FullText(), message);

  // Too narrow even for the file name: the middle goes, the size stays.
  const QFontMetrics metrics(panel.font());
  const QString tight = ElideStatusText(message, metrics, metrics.horizontalAdvance(message) / 4);
  EXPECT_TRUE(tight.endsWith(QStringLiteral("(34KB)."))) << tight.toStdString();
}

}  // namespace
}  // namespace picaxo
