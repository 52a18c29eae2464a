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
  EXPECT_EQ(f.state.SourceFolder, dir.Path());
  ASSERT_EQ(f.state.Count(), 2);
  EXPECT_EQ(f.state.CurrentIndex, 0);
  EXPECT_EQ(f.state.LoadedFileName, dir / "a.bmp");
  EXPECT_EQ(f.state.SourceImage.Width(), 7);
  EXPECT_EQ(f.state.FileList[0].Width, 7);
  EXPECT_EQ(f.state.FileList[0].Height, 3);
  EXPECT_EQ(f.state.FileList[1].Width, -1);  // not loaded yet
  EXPECT_EQ(f.state.Extras.OutputName, "a");
  EXPECT_EQ(f.status.back(), "");  // a good load leaves the status line empty
  EXPECT_EQ(f.waitDepth, 0);
}

TEST(ScanSourceFolder, SameFolderInAnotherSpellingKeepsTheEntriesButEnterRescans) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp");
  WriteBmp(dir / "b.bmp");
  TStateFixture f;
  f.Open(dir.Path());
  f.state.FileList[1].Excluded = true;
  f.state.FileList[1].OutputName = "renamed";

  f.state.SourceFolderField = dir.Path() + "/./";
  f.state.ScanSourceFolder();
  EXPECT_TRUE(f.state.FileList[1].Excluded);
  EXPECT_EQ(f.state.FileList[1].OutputName, "renamed");
  // Every scan reports the folder to the recent list, also when nothing changes.
  EXPECT_EQ(f.sourceFolders, (std::vector<std::string>{dir.Path(), dir.Path()}));

  f.state.RescanSourceFolder();
  EXPECT_FALSE(f.state.FileList[1].Excluded);
  EXPECT_EQ(f.state.FileList[1].OutputName, "");
}

TEST(ScanSourceFolder, NewFolderStartsAtTheFirstImage) {
  TScratchFolder dir;
  WriteBmp(dir / "one/a.bmp");
  WriteBmp(dir / "one/b.bmp");
  TStateFixture f;
  f.Open(dir / "one");
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex, 1);
  f.state.SourceFolderField = dir / "missing";
  f.state.ScanSourceFolder();
  EXPECT_EQ(f.state.Count(), 0);
  EXPECT_EQ(f.state.CurrentIndex, 0);
  EXPECT_EQ(f.state.CurrentEntry(), nullptr);
  EXPECT_TRUE(f.state.SourceImage.Empty());
  EXPECT_TRUE(f.state.LoadedFileName.empty());
}

TEST(ScanSourceFolder, SelectsTheRequestedFileIgnoringCase) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  TStateFixture f;
  f.state.FileToSelectAfterScan = dir / "B.BMP";
  f.Open(dir.Path());
  EXPECT_EQ(f.state.CurrentIndex, 1);
  EXPECT_EQ(f.state.FileToSelectAfterScan, "");
  EXPECT_EQ(f.state.LoadedFileName, dir / "b.bmp");

  f.state.FileToSelectAfterScan = dir / "none.bmp";
  f.state.RescanSourceFolder();
  EXPECT_EQ(f.state.CurrentIndex, 0);
}

TEST(CommandLine, FolderOrFileWithItsFolder) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  {
    TStateFixture f;
    f.state.TakeCommandLineArgument(dir / "c.bmp");
    EXPECT_EQ(f.state.SourceFolderField, dir.Path());
    f.state.ScanSourceFolder();
    EXPECT_EQ(f.state.CurrentIndex, 2);
  }
  {
    TStateFixture f;
    f.state.TakeCommandLineArgument(dir.Path() + "/");
    EXPECT_EQ(f.state.SourceFolderField, dir.Path());
    EXPECT_EQ(f.state.FileToSelectAfterScan, "");
  }
  {
    TStateFixture f;
    f.state.SourceFolderField = "/kept";
    f.state.TakeCommandLineArgument(dir / "missing.bmp");
    EXPECT_EQ(f.state.SourceFolderField, "/kept");
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

// A list of twelve entries whose files do not exist: navigation does not care.
struct TTwelve : TStateFixture {
  TTwelve() {
    for (int i = 0; i < 12; ++i)
      state.FileList.emplace_back("/nowhere/" + std::to_string(i) + ".bmp", 0);
    state.LoadCurrentImage();
    loads = 0;
  }
};

TEST(Navigation, TypedNumbersAreClampedToTheList) {
  TTwelve f;
  f.state.GoToNumberText("5");
  EXPECT_EQ(f.state.CurrentIndex, 4);
  for (const char* text : {"0", "-5", "abc"}) {
    f.state.GoToNumberText("5");
    f.state.GoToNumberText(text);
    EXPECT_EQ(f.state.CurrentIndex, 0) << text;
  }
  f.state.GoToNumberText("999");
  EXPECT_EQ(f.state.CurrentIndex, 11);
  f.state.GoToNumberText("-2147483648");
  EXPECT_EQ(f.state.CurrentIndex, 0);
}

TEST(Navigation, MovesRecordThePreviousIndexAndStopAtTheEnds) {
  TTwelve f;
  f.state.GoPrevious();
  EXPECT_EQ(f.loads, 0);
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex, 1);
  EXPECT_EQ(f.state.PreviousIndex, 0);
  f.state.GoLast();
  EXPECT_EQ(f.state.CurrentIndex, 11);
  EXPECT_EQ(f.state.PreviousIndex, 1);
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex, 11);
  f.state.GoFirst();
  EXPECT_EQ(f.state.CurrentIndex, 0);
  EXPECT_EQ(f.loads, 3);
  EXPECT_EQ(f.renameChecks, 3);
  // The same index is no move at all.
  f.state.GoToImage(0);
  EXPECT_EQ(f.loads, 3);
  EXPECT_EQ(f.state.PreviousIndex, 11);
}

TEST(Navigation, NoRenameCheckWhileABatchDialogIsOpen) {
  TTwelve f;
  TBatchRun run(f.state, [](TFileEntry&, int, bool&, int) {});
  f.state.GoToImage(3);
  EXPECT_EQ(f.renameChecks, 0);
  EXPECT_EQ(f.state.CurrentIndex, 3);
}

TEST(Navigation, EmptyListIgnoresMoves) {
  TStateFixture f;
  f.state.GoToImage(3);
  f.state.GoLast();
  f.state.GoToNumberText("2");
  EXPECT_EQ(f.state.CurrentIndex, 0);
  EXPECT_EQ(f.loads, 0);
}

TEST(LoadCurrentImage, AFileThatFailsToDecodeLeavesItsErrorInTheStatusLine) {
  TScratchFolder dir;
  WriteFile(dir / "a.bmp", "not a bitmap");
  WriteBmp(dir / "b.bmp");
  TStateFixture f;
  f.Open(dir.Path());
  EXPECT_FALSE(f.state.LoadError.empty());
  EXPECT_EQ(f.status.back(), f.state.LoadError);
  EXPECT_TRUE(f.state.SourceImage.Empty());
  f.state.GoNext();
  EXPECT_TRUE(f.state.LoadError.empty());
  EXPECT_FALSE(f.state.SourceImage.Empty());
  EXPECT_EQ(f.waitDepth, 0);
  // Back on the broken file its message shows again; an empty folder then clears it.
  f.state.GoPrevious();
  EXPECT_EQ(f.status.back(), f.state.LoadError);
  f.state.SourceFolderField = dir / "missing";
  f.state.ScanSourceFolder();
  EXPECT_EQ(f.status.back(), "");
  EXPECT_EQ(f.state.DestinationFileNameOf(nullptr), "(no source file).jpg");
}

TEST(RemoveCurrentEntry, TheNextEntryTakesItsPlaceOrTheLastWhenAtTheEnd) {
  TScratchFolder dir;
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"})
    WriteBmp(dir / n);
  TStateFixture f;
  f.Open(dir.Path());
  f.state.GoToImage(1);
  f.state.RemoveCurrentEntry();
  EXPECT_EQ(f.Names(), (std::vector<std::string>{dir / "a.bmp", dir / "c.bmp"}));
  EXPECT_EQ(f.state.CurrentIndex, 1);
  EXPECT_EQ(f.state.LoadedFileName, dir / "c.bmp");
  f.state.RemoveCurrentEntry();
  EXPECT_EQ(f.state.CurrentIndex, 0);
  EXPECT_EQ(f.state.LoadedFileName, dir / "a.bmp");
  f.state.RemoveCurrentEntry();
  EXPECT_EQ(f.state.Count(), 0);
  EXPECT_EQ(f.state.CurrentEntry(), nullptr);
  EXPECT_TRUE(f.state.SourceImage.Empty());
}

}  // namespace
}  // namespace picaxo
