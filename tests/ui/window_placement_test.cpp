#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "settings/temp_config.h"
#include "settings_form.h"

namespace picaxo {
namespace {

using testing::MakeSettingsForm;
using testing::TFormBinding;

using WindowPlacement = TempConfig;

// The per-user file holding the given placement keys.
void StorePlacement(TempConfig& test, const std::string& keys) {
  std::filesystem::create_directories(std::filesystem::path(test.UserFile()).parent_path());
  test.Write("config/Quorlen/Picaxo/app.ini", "[PicaxoSettings]\n" + keys);
}

// A main window restored from the per-user store, not shown yet.
std::unique_ptr<QWidget> RestoredWindow() {
  auto form = MakeSettingsForm();
  TFormBinding(*form).LoadRegistrySettings();
  return form;
}

TEST_F(WindowPlacement, WithoutAStoredPositionTheWindowIsCentredOnTheWorkArea) {
  auto form = RestoredWindow();
  const TRect area = WorkAreaOf(*form);
  EXPECT_EQ(form->size(), QSize(686, 544));
  EXPECT_EQ(form->pos(), QPoint(area.Left + int(area.Width() / 2 - 343),
                                area.Top + int(area.Height() / 2 - 272)));
}

TEST_F(WindowPlacement, AStoredPlaceOffTheScreenComesBackWithinReach) {
  const TRect area = WorkAreaOf(*MakeSettingsForm());
  const std::string size = "MainWidth=686\nMainHeight=544\n";
  StorePlacement(*this, "MainLeft=5000\nMainTop=10\n" + size);
  EXPECT_EQ(RestoredWindow()->pos(), QPoint(area.Right - 30, area.Top + 10));
  StorePlacement(*this, "MainLeft=-2000\nMainTop=10\n" + size);
  EXPECT_EQ(RestoredWindow()->pos(), QPoint(area.Left - 686 + 30, area.Top + 10));
  StorePlacement(*this, "MainLeft=20\nMainTop=-50\n" + size);
  EXPECT_EQ(RestoredWindow()->pos(), QPoint(area.Left + 20, area.Top));
  StorePlacement(*this, "MainLeft=0\nMainTop=0\nMainWidth=3000\nMainHeight=200\n");
  EXPECT_EQ(RestoredWindow()->size(), QSize(int(area.Width()), 200));
  // A monitor that is gone left a place far beyond this one.
  StorePlacement(*this, "MainLeft=3840\nMainTop=2160\n" + size);
  EXPECT_EQ(RestoredWindow()->pos(), QPoint(area.Right - 30, area.Bottom - 30));
}

TEST_F(WindowPlacement, SavingAndRestoringAShownWindowIsStable) {
  auto form = MakeSettingsForm();
  const TRect area = WorkAreaOf(*form);
  form->move(area.Left + 60, area.Top + 40);
  form->resize(500, 400);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  const QPoint place = form->pos();
  const QSize size = form->size();
  TFormBinding(*form).SaveRegistrySettings();
  const std::string first = Read(UserFile());
  EXPECT_NE(first.find("MainTop=40\nMainLeft=60\nMainHeight=400\nMainWidth=500\nMainState=0\n"),
            std::string::npos)
      << first;

  for (int run = 0; run < 3; ++run) {
    auto next = RestoredWindow();
    next->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(next.get()));
    EXPECT_EQ(next->pos(), place);
    EXPECT_EQ(next->size(), size);
    TFormBinding(*next).SaveRegistrySettings();
    EXPECT_EQ(Read(UserFile()), first);
  }
}

TEST_F(WindowPlacement, AMaximizedWindowStoresItsNormalBoundsAndComesBackMaximized) {
  auto form = MakeSettingsForm();
  const TRect area = WorkAreaOf(*form);
  form->move(area.Left + 70, area.Top + 50);
  form->resize(420, 300);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->showMaximized();
  QTRY_VERIFY(form->isMaximized());
  TFormBinding(*form).SaveRegistrySettings();
  EXPECT_NE(Read(UserFile())
                .find("MainTop=50\nMainLeft=70\nMainHeight=300\nMainWidth=420\nMainState=2\n"),
            std::string::npos)
      << Read(UserFile());

  auto next = RestoredWindow();
  EXPECT_TRUE(next->windowState() & Qt::WindowMaximized);  // before it appears: no jump
  next->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(next.get()));
  EXPECT_TRUE(next->isMaximized());
  next->showNormal();
  QTRY_COMPARE(next->pos(), QPoint(area.Left + 70, area.Top + 50));
  EXPECT_EQ(next->size(), QSize(420, 300));
}

TEST_F(WindowPlacement, DialogsAreCentredOnTheirOwnerWithinTheWorkArea) {
  QWidget owner;
  const TRect area = WorkAreaOf(owner);
  QDialog dialog(&owner);
  dialog.resize(288, 215);

  // A hidden owner: the work area.
  CenterDialogOn(dialog, &owner);
  EXPECT_EQ(dialog.pos(), QPoint(area.Left + int(area.Width() / 2 - 144),
                                 area.Top + int(area.Height() / 2 - 107)));

  owner.move(area.Left + 10, area.Top + 20);
  owner.resize(400, 300);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  CenterDialogOn(dialog, &owner);
  const QRect frame = owner.frameGeometry();
  EXPECT_EQ(dialog.pos(),
            QPoint(frame.x() + (frame.width() / 2 - 144), frame.y() + (frame.height() / 2 - 107)));

  // An owner mostly beyond the left edge: 30 pixels of the dialog stay on the work area.
  owner.move(area.Left - 600, area.Top + 20);
  QTRY_COMPARE(owner.pos().x(), area.Left - 600);
  CenterDialogOn(dialog, &owner);
  EXPECT_EQ(dialog.pos().x(), area.Left - 288 + 30);
}

}  // namespace
}  // namespace picaxo
