#include "settings/history_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_store.h"
#include "temp_config.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

using HistoryList = TempConfig;

std::vector<std::string> Paths(const THistoryList& list) {
  std::vector<std::string> paths;
  for (const THistoryItem& item : list.Items())
    paths.push_back(item.Path);
  return paths;
}

TEST_F(HistoryList, AnotherSpellingOfTheSameFolderMovesTheItem) {
  const std::string photos = MakeFolder("Photos");
  const std::string other = MakeFolder("Other");
  fs::create_directory_symlink(photos, Path("link"));
  THistoryList list;
  list.SetDirectories(true);
  list.AddToTop(photos + "/");
  list.AddToTop(other);
  list.AddToTop(Path("Other/../Photos"));
  list.AddToTop(Path("link/"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items()[0], (THistoryItem{photos, "Photos"}));
  EXPECT_EQ(list.Items()[1].Path, other);

  // Same letters in another case name another folder here, or none at all.
  list.AddToTop(Path("photos"));
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(HistoryList, AFullListDropsTheOldestAndAMovedItemKeepsTheCount) {
  THistoryList list;
  list.SetMaxItems(10);
  list.SetDirectories(true);
  for (int i = 0; i < 11; ++i)
    list.AddToTop(MakeFolder("d" + std::to_string(i)));
  ASSERT_EQ(list.Count(), 10);
  EXPECT_EQ(list.Items().front().Path, Path("d10"));
  EXPECT_EQ(list.Items().back().Path, Path("d1"));  // d0 fell off

  list.AddToTop(Path("d5"));
  EXPECT_EQ(list.Count(), 10);
  EXPECT_EQ(list.Items().front().Path, Path("d5"));
  EXPECT_EQ(list.Items()[1].Path, Path("d10"));

  // At the bottom of a full list, the top item falls off.
  list.AddItem(MakeFolder("bottom"), THistoryPlace::Bottom);
  EXPECT_EQ(list.Items().front().Path, Path("d10"));
  EXPECT_EQ(list.Items().back().Path, Path("bottom"));
}

TEST_F(HistoryList, RootKeepsItsSeparatorAndIsItsOwnCaption) {
  THistoryList list;
  list.SetDirectories(true);
  EXPECT_EQ(list.MenuCaptions(), std::vector<std::string>{"(none)"});
  list.AddToTop("/");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items()[0], (THistoryItem{"/", "/"}));
  EXPECT_EQ(list.MenuCaptions(), std::vector<std::string>{"/"});
}

TEST_F(HistoryList, OnlyExistingFoldersOrFilesAreAdded) {
  const std::string folder = MakeFolder("f");
  const std::string file = Write("file.jpg", "x");
  THistoryList folders;
  folders.SetDirectories(true);
  folders.AddToTop("");
  folders.AddToTop(Path("missing"));
  folders.AddToTop(file);
  EXPECT_EQ(folders.Count(), 0);

  THistoryList files;
  files.AddToTop(folder);
  files.AddToTop(file);
  EXPECT_EQ(Paths(files), std::vector<std::string>{file});
  EXPECT_EQ(files.Items()[0].Caption, "file.jpg");
}

TEST_F(HistoryList, MaxItemsIgnoresValuesBelowOneAndDropsFromTheBottom) {
  THistoryList list;
  EXPECT_EQ(list.MaxItems(), 4);
  list.SetDirectories(true);
  for (int i = 0; i < 4; ++i)
    list.AddToTop(MakeFolder("d" + std::to_string(i)));
  list.SetMaxItems(0);
  EXPECT_EQ(list.MaxItems(), 4);
  EXPECT_EQ(list.Count(), 4);
  list.SetMaxItems(2);
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Path("d3"), Path("d2")}));
}

TEST_F(HistoryList, LoadsUntilTheFirstMissingNumberSkippingVanishedFolders) {
  const std::string a = MakeFolder("a");
  const std::string c = MakeFolder("c");
  const std::string d = MakeFolder("d");
  fs::create_directories(fs::path(UserFile()).parent_path());
  Write("config/Quorlen/Picaxo/app.ini", "[PicaxoSettings]\nZoom=1\n[mruinput]\nFile0=" + a +
                                             "\nFile1=" + Path("gone") + "\nfile2=" + c +
                                             "\nFile4=" + d + "\n");
  THistoryList list;
  ConfigureSourceFolderHistory(list);
  EXPECT_EQ(Paths(list), (std::vector<std::string>{a, c}));

  // Read once: setting the path again does not read again.
  list.AddToTop(d);
  list.SetRegPath(GetVendorProductPath());
  EXPECT_EQ(Paths(list), (std::vector<std::string>{d, a, c}));

  // Saving replaces every value of the section and nothing else.
  list.SaveToRegistry();
  EXPECT_EQ(Read(UserFile()), "[PicaxoSettings]\nZoom=1\n[mruinput]\nFile0=" + d + "\nFile1=" + a +
                                  "\nFile2=" + c + "\n");
}

TEST_F(HistoryList, ReadingStopsAtAFullList) {
  THistoryList writer;
  writer.SetMaxItems(10);
  writer.SetDirectories(true);
  writer.SetRegKey("MRUOutput");
  for (int i = 0; i < 5; ++i)
    writer.AddItem(MakeFolder("d" + std::to_string(i)), THistoryPlace::Bottom);
  writer.SetRegPath(GetVendorProductPath());
  writer.SaveToRegistry();

  THistoryList reader;  // at most 4
  reader.SetDirectories(true);
  reader.SetRegKey("MRUOutput");
  reader.SetRegPath(GetVendorProductPath());
  EXPECT_EQ(Paths(reader),
            (std::vector<std::string>{Path("d0"), Path("d1"), Path("d2"), Path("d3")}));
}

TEST_F(HistoryList, AnUnconfiguredListNeverTouchesTheStore) {
  fs::create_directories(dir_ / "config/Company");
  Write("config/Company/Program Name.ini", "[MRUList]\nFile0=" + MakeFolder("x") + "\n");
  THistoryList list;
  list.SetDirectories(true);
  list.SetRegPath("company\\program name");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.MenuCaptions(), std::vector<std::string>{"(none)"});
  list.AddToTop(Path("x"));
  list.SaveToRegistry();
  EXPECT_EQ(Read(Path("config/Company/Program Name.ini")), "[MRUList]\nFile0=" + Path("x") + "\n");
  EXPECT_EQ(CountEntries(dir_ / "config"), 1);  // nothing but Company
}

TEST_F(HistoryList, AnUnwritableStoreRaisesNothing) {
  ::setenv("XDG_CONFIG_HOME", Write("blocker", "x").c_str(), 1);
  THistoryList list;
  ConfigureDestinationFolderHistory(list);
  list.AddToTop(MakeFolder("x"));
  EXPECT_NO_THROW(list.SaveToRegistry());
  EXPECT_EQ(Read(Path("blocker")), "x");
}

}  // namespace
}  // namespace picaxo
