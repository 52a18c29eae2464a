#include "jobs/app_state.h"

#include <gtest/gtest.h>

#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

using namespace testing;

TEST(ScanSourceFolder, LoadsTheFirstImageAndPutsItsSizeIntoTheEntry) {
  TScratchFolder dir;
  WriteBmp(dir / "b.bmp", 5, 4);
  WriteBmp(dir / "a.bmp", 7, 3);
  TStateFixture f;
  f.Open(dir.Path() + "/");
  EXPECT_EQ(f.state.SourceFolder(), dir.Path());
  ASSERT_EQ(f.state.Count(), 2);
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.state.Image().LoadedFileName(), dir / "a.bmp");
  EXPECT_EQ(f.state.Image().Image().Width(), 7);
  EXPECT_EQ(f.state.List().At(0).Size.value().Width, 7);
  EXPECT_EQ(f.state.List().At(0).Size.value().Height, 3);
  EXPECT_FALSE(f.state.List().At(1).Size);  // not loaded yet
  EXPECT_EQ(f.state.OutputNameText(), "a");
  EXPECT_EQ(f.status.back(), "");  // a good load leaves the status line empty
  EXPECT_EQ(f.waitDepth, 0);
}

TEST(ScanSourceFolder, SameFolderInAnotherSpellingKeepsTheEntriesButEnterRescans) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp");
  WriteBmp(dir / "b.bmp");
  TStateFixture f;
  f.Open(dir.Path());
  f.OnEntry(1, [](TAppState& s) {
    s.ChangeExcluded(true);
    s.ChangeOutputName("renamed");
  });

  f.state.SetSourceFolderField(dir.Path() + "/./");
  f.state.ScanSourceFolder();
  EXPECT_TRUE(f.state.List().At(1).Excluded);
  EXPECT_EQ(f.state.List().At(1).OutputName, "renamed");
  // Every scan reports the folder to the recent list, also when nothing changes.
  EXPECT_EQ(f.sourceFolders, (std::vector<std::string>{dir.Path(), dir.Path()}));

  f.state.RescanSourceFolder();
  EXPECT_FALSE(f.state.List().At(1).Excluded);
  EXPECT_EQ(f.state.List().At(1).OutputName, "");
}

TEST(ScanSourceFolder, NewFolderStartsAtTheFirstImage) {
  TScratchFolder dir;
  WriteBmp(dir / "one/a.bmp");
  WriteBmp(dir / "one/b.bmp");
  TStateFixture f;
  f.Open(dir / "one");
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  f.state.SetSourceFolderField(dir / "missing");
  f.state.ScanSourceFolder();
  EXPECT_EQ(f.state.Count(), 0);
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.state.CurrentEntry(), nullptr);
  EXPECT_TRUE(f.state.Image().Image().Empty());
  EXPECT_TRUE(f.state.Image().LoadedFileName().empty());
}

TEST(ImageList, ReplaceSortsAndSelectsTheRequestedFileIgnoringCase) {
  TImageList list;
  list.Replace("/p",
               {TFileEntry("/p/c.bmp", 1), TFileEntry("/p/a.bmp", 1), TFileEntry("/p/b.bmp", 1)},
               "/p/B.BMP");
  EXPECT_EQ(list.CurrentIndex(), 1);
  EXPECT_EQ(list.Current()->FileName, "/p/b.bmp");
  list.Replace("/p", {TFileEntry("/p/a.bmp", 1)}, "/p/none.bmp");
  EXPECT_EQ(list.CurrentIndex(), 0);
}

TEST(ImageList, RemovingTheLastEntryMakesTheNewLastCurrentAndForgetsAStalePreviousIndex) {
  TImageList list;
  list.Replace("/p", {TFileEntry("/p/a.bmp", 1), TFileEntry("/p/b.bmp", 1)});
  EXPECT_TRUE(list.MoveTo(5));  // clamped to the last
  EXPECT_EQ(list.CurrentIndex(), 1);
  EXPECT_EQ(list.PreviousIndex(), 0);
  EXPECT_FALSE(list.MoveTo(1));
  list.RemoveCurrent();
  EXPECT_EQ(list.CurrentIndex(), 0);
  list.MoveTo(-3);  // already current: no move
  EXPECT_EQ(list.PreviousIndex(), 0);
  list.RemoveCurrent();
  EXPECT_EQ(list.Current(), nullptr);
  EXPECT_FALSE(list.PreviousIndex());
  EXPECT_FALSE(list.MoveTo(0));
}

TEST(ScanSourceFolder, TheCommandLineFileIsSelectedByTheFirstScanOnly) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  TStateFixture f;
  f.state.TakeCommandLineArgument(dir / "b.bmp");
  f.state.ScanSourceFolder();
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  EXPECT_EQ(f.state.Image().LoadedFileName(), dir / "b.bmp");
  f.state.RescanSourceFolder();
  EXPECT_EQ(f.state.CurrentIndex(), 0);
}

TEST(CommandLine, FolderOrFileWithItsFolder) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  {
    TStateFixture f;
    f.state.TakeCommandLineArgument(dir / "c.bmp");
    EXPECT_EQ(f.state.SourceFolderField(), dir.Path());
    f.state.ScanSourceFolder();
    EXPECT_EQ(f.state.CurrentIndex(), 2);
  }
  {
    TStateFixture f;
    f.state.TakeCommandLineArgument(dir.Path() + "/");
    EXPECT_EQ(f.state.SourceFolderField(), dir.Path());
    f.state.ScanSourceFolder();
    EXPECT_EQ(f.state.CurrentIndex(), 0);
  }
  {
    TStateFixture f;
    f.state.SetSourceFolderField("/kept");
    f.state.TakeCommandLineArgument(dir / "missing.bmp");
    EXPECT_EQ(f.state.SourceFolderField(), "/kept");
  }
}

TEST(ParseImageNumber, DecimalOrZero) {
  EXPECT_EQ(ParseImageNumber("12"), 12);
  EXPECT_EQ(ParseImageNumber(" 7 "), 7);
  EXPECT_EQ(ParseImageNumber("-5"), -5);
  EXPECT_EQ(ParseImageNumber("+3"), 3);
  EXPECT_EQ(ParseImageNumber("abc"), 0);
  EXPECT_EQ(ParseImageNumber("12abc"), 0);
  EXPECT_EQ(ParseImageNumber(""), 0);
  EXPECT_EQ(ParseImageNumber("-"), 0);
  EXPECT_EQ(ParseImageNumber("2147483647"), 2147483647);
  EXPECT_EQ(ParseImageNumber("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseImageNumber("2147483648"), 0);
  EXPECT_EQ(ParseImageNumber("99999999999999999999"), 0);
}

// A folder of twelve images, the first one current.
struct TTwelve : TStateFixture {
  TScratchFolder dir;
  TTwelve() {
    for (int i = 0; i < 12; ++i)
      WriteBmp(dir / (std::string(1, static_cast<char>('a' + i)) + ".bmp"), 2, 2);
    Open(dir.Path());
    loads = 0;
  }
};

TEST(Navigation, TypedNumbersAreClampedToTheList) {
  TTwelve f;
  f.state.GoToNumberText("5");
  EXPECT_EQ(f.state.CurrentIndex(), 4);
  for (const char* text : {"0", "-5", "abc"}) {
    f.state.GoToNumberText("5");
    f.state.GoToNumberText(text);
    EXPECT_EQ(f.state.CurrentIndex(), 0) << text;
  }
  f.state.GoToNumberText("999");
  EXPECT_EQ(f.state.CurrentIndex(), 11);
  f.state.GoToNumberText("-2147483648");
  EXPECT_EQ(f.state.CurrentIndex(), 0);
}

TEST(Navigation, MovesRecordThePreviousIndexAndStopAtTheEnds) {
  TTwelve f;
  f.state.GoPrevious();
  EXPECT_EQ(f.loads, 0);
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  EXPECT_EQ(f.state.List().PreviousIndex(), 0);
  f.state.GoLast();
  EXPECT_EQ(f.state.CurrentIndex(), 11);
  EXPECT_EQ(f.state.List().PreviousIndex(), 1);
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex(), 11);
  f.state.GoFirst();
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.loads, 3);
  // Each move outside a batch redraws the row it leaves.
  EXPECT_EQ(f.observer.rowRedraws, 3);
  // The same index is no move at all.
  f.state.GoToImage(0);
  EXPECT_EQ(f.loads, 3);
  EXPECT_EQ(f.state.List().PreviousIndex(), 11);
}

TEST(Navigation, NoRenameCheckWhileABatchDialogIsOpen) {
  TTwelve f;
  f.state.SetSourceNameText("typed but not confirmed");
  TBatchRun run(f.state, [](TFileEntry&, int, bool&, std::optional<int>) {});
  f.state.GoToImage(3);
  EXPECT_TRUE(f.prompt.Questions().empty());
  EXPECT_EQ(f.observer.rowRedraws, 0);
  EXPECT_EQ(f.state.CurrentIndex(), 3);
}

TEST(Navigation, EmptyListIgnoresMoves) {
  TStateFixture f;
  f.state.GoToImage(3);
  f.state.GoLast();
  f.state.GoToNumberText("2");
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.loads, 0);
}

TEST(LoadCurrentImage, AFileThatFailsToDecodeLeavesItsErrorInTheStatusLine) {
  TScratchFolder dir;
  WriteFile(dir / "a.bmp", "not a bitmap");
  WriteBmp(dir / "b.bmp");
  TStateFixture f;
  f.Open(dir.Path());
  EXPECT_FALSE(f.state.Image().LoadError().empty());
  EXPECT_EQ(f.status.back(), f.state.Image().LoadError());
  EXPECT_TRUE(f.state.Image().Image().Empty());
  f.state.GoNext();
  EXPECT_TRUE(f.state.Image().LoadError().empty());
  EXPECT_FALSE(f.state.Image().Image().Empty());
  EXPECT_EQ(f.waitDepth, 0);
  // Back on the broken file its message shows again; an empty folder then clears it.
  f.state.GoPrevious();
  EXPECT_EQ(f.status.back(), f.state.Image().LoadError());
  f.state.SetSourceFolderField(dir / "missing");
  f.state.ScanSourceFolder();
  EXPECT_EQ(f.status.back(), "");
  EXPECT_EQ(f.state.DestinationFileNameOf(nullptr), "(no source file).jpg");
}

TEST(DeleteSourceFile, TheNextEntryTakesItsPlaceOrTheLastWhenAtTheEnd) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  TStateFixture f;
  f.Open(dir.Path());
  f.state.GoToImage(1);
  for (int i = 0; i < 3; ++i)
    f.prompt.Push(TPromptButton::Yes);
  EXPECT_EQ(f.state.DeleteSourceFile(), TDeleteResult::Deleted);
  EXPECT_FALSE(fs::exists(dir / "b.bmp"));
  EXPECT_EQ(f.Names(), (std::vector<std::string>{dir / "a.bmp", dir / "c.bmp"}));
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  EXPECT_EQ(f.state.Image().LoadedFileName(), dir / "c.bmp");
  f.state.DeleteSourceFile();
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.state.Image().LoadedFileName(), dir / "a.bmp");
  f.state.DeleteSourceFile();
  EXPECT_EQ(f.state.Count(), 0);
  EXPECT_EQ(f.state.CurrentEntry(), nullptr);
  EXPECT_TRUE(f.state.Image().Empty());
  EXPECT_EQ(f.prompt.Questions()[0].Text, "Do you want to delete " + dir / "b.bmp" + " ?");
  EXPECT_EQ(f.prompt.Questions()[0].Id, TQuestionId::DeleteSourceFile);
  // With no image the command does nothing and asks nothing.
  EXPECT_EQ(f.state.DeleteSourceFile(), TDeleteResult::NoFile);
  EXPECT_EQ(f.prompt.Questions().size(), 3u);
}

}  // namespace
}  // namespace picaxo
