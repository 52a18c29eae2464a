#include "ui/recent_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <filesystem>

#include "settings/temp_config.h"

namespace picaxo {
namespace {

using RecentMenu = TempConfig;

struct TShown {
  QString Text;
  QString Hint;
  bool Enabled;
  bool operator==(const TShown&) const = default;
};

std::vector<TShown> Shown(const QMenu& menu) {
  std::vector<TShown> items;
  for (const QAction* action : menu.actions())
    items.push_back(
        {action->isSeparator() ? "-" : action->text(), action->statusTip(), action->isEnabled()});
  return items;
}

void PrintTo(const TShown& item, std::ostream* out) {
  *out << item.Text.toStdString() << " [" << item.Hint.toStdString() << "]"
       << (item.Enabled ? "" : " disabled");
}

TEST_F(RecentMenu, ShowsThePlaceholderUntilTheFirstFolderAndNeverAgain) {
  QMenu menu("&Recent Source Dirs");
  TRecentFolderMenu recent(menu);
  recent.Configure(ConfigureSourceFolderHistory);
  EXPECT_EQ(Shown(menu), (std::vector<TShown>{{"(none)", "", false}}));

  const std::string photos = MakeFolder("Photos");
  recent.AddToTop(TextFromPath(photos + "/"));
  recent.AddToTop(TextFromPath(photos));
  recent.AddToTop(TextFromPath(Path("Photos/../Photos")));
  const QString hint = TextFromPath(photos);
  EXPECT_EQ(Shown(menu), (std::vector<TShown>{{"Photos", hint, true}}));

  recent.AddToTop(TextFromPath(Path("gone")));  // not a folder: ignored
  EXPECT_EQ(menu.actions().size(), 1);
}

TEST_F(RecentMenu, CaptionsShowTheNameAsItIs) {
  QMenu menu;
  TRecentFolderMenu recent(menu);
  recent.Configure(ConfigureSourceFolderHistory);
  recent.AddToTop("/");
  recent.AddToTop(TextFromPath(MakeFolder("Tom & Jerry")));
  ASSERT_EQ(menu.actions().size(), 2);
  // "&" would otherwise mark a shortcut letter and vanish from the caption.
  EXPECT_EQ(menu.actions()[0]->text(), "Tom && Jerry");
  EXPECT_EQ(menu.actions()[0]->statusTip(), TextFromPath(Path("Tom & Jerry")));
  EXPECT_EQ(menu.actions()[1]->text(), "/");
  EXPECT_EQ(menu.actions()[1]->statusTip(), "/");
}

TEST_F(RecentMenu, ChoosingAnItemPassesItsPathEvenWhenTheHandlerReordersTheMenu) {
  QMenu menu;
  TRecentFolderMenu recent(menu);
  recent.Configure(ConfigureSourceFolderHistory);
  const QString a = TextFromPath(MakeFolder("a"));
  const QString b = TextFromPath(MakeFolder("b"));
  recent.AddToTop(a);
  recent.AddToTop(b);
  QStringList chosen;
  // The window reads the chosen folder, which moves it to the top of the same list.
  QObject::connect(&recent, &TRecentFolderMenu::ItemChosen, [&](const QString& path) {
    chosen << path;
    recent.AddToTop(path);
  });
  menu.actions()[1]->trigger();
  EXPECT_EQ(chosen, QStringList{a});
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(menu.actions().size(), 2);
  EXPECT_EQ(menu.actions()[0]->statusTip(), a);
  menu.actions()[1]->trigger();
  EXPECT_EQ(chosen, (QStringList{a, b}));
}

TEST_F(RecentMenu, TheStoreKeepsTheListAcrossRuns) {
  const std::string a = MakeFolder("a");
  const std::string b = MakeFolder("b");
  const std::string d = MakeFolder("d");
  std::filesystem::create_directories(std::filesystem::path(UserFile()).parent_path());
  Write("config/Quorlen/Picaxo/app.ini", "[MRUInput]\nFile0=" + a + "\nFile1=" + Path("gone") +
                                             "\nFile2=" + b + "\nFile4=" + d + "\n");
  QMenu menu;
  TRecentFolderMenu recent(menu);
  recent.Configure(ConfigureSourceFolderHistory);
  // A vanished folder is skipped; reading ends at the first missing number.
  ASSERT_EQ(menu.actions().size(), 2);
  EXPECT_EQ(menu.actions()[0]->statusTip(), TextFromPath(a));
  EXPECT_EQ(menu.actions()[1]->statusTip(), TextFromPath(b));

  recent.AddToTop(TextFromPath(d));
  recent.SaveToRegistry();
  EXPECT_EQ(Read(UserFile()), "[MRUInput]\nFile0=" + d + "\nFile1=" + a + "\nFile2=" + b + "\n");

  QMenu nextMenu;
  TRecentFolderMenu next(nextMenu);
  next.Configure(ConfigureSourceFolderHistory);
  ASSERT_EQ(nextMenu.actions().size(), 3);
  EXPECT_EQ(nextMenu.actions()[0]->text(), "d");
}

TEST_F(RecentMenu, AnUnconfiguredListWritesNothing) {
  QMenu menu;
  TRecentFolderMenu recent(menu);
  recent.AddToTop(TextFromPath(MakeFolder("a")));
  recent.SaveToRegistry();
  EXPECT_FALSE(std::filesystem::exists(UserFile()));
  EXPECT_EQ(menu.actions().size(), 1);
}

TEST_F(RecentMenu, FixedItemsStayInFrontAfterASeparator) {
  QMenu menu;
  menu.addAction("Clear");
  TRecentFolderMenu recent(menu);
  recent.Configure(ConfigureSourceFolderHistory);
  EXPECT_EQ(Shown(menu), (std::vector<TShown>{{"Clear", "", true}}));
  recent.AddToTop(TextFromPath(MakeFolder("a")));
  ASSERT_EQ(menu.actions().size(), 3);
  EXPECT_TRUE(menu.actions()[1]->isSeparator());
  EXPECT_EQ(menu.actions()[2]->text(), "a");
}

}  // namespace
}  // namespace picaxo
