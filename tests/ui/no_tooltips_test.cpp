#include "ui/no_tooltips.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QHelpEvent>
#include <QToolButton>

namespace picaxo {
namespace {

TEST(NoToolTips, ToolTipRequestsAreSwallowedAndOtherEventsPass) {
  QToolButton button;
  QAction action(QStringLiteral("Apply All"));
  button.setDefaultAction(&action);
  ASSERT_FALSE(button.toolTip().isEmpty());  // what Qt would show without the filter
  TNoToolTips filter;
  QHelpEvent tip(QEvent::ToolTip, QPoint(1, 1), QPoint(1, 1));
  EXPECT_TRUE(filter.eventFilter(&button, &tip));
  QEvent other(QEvent::StatusTip);
  EXPECT_FALSE(filter.eventFilter(&button, &other));
}

}  // namespace
}  // namespace picaxo
