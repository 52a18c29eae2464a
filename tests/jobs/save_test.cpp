// SaveCurrentImage: the questions, their answers in and outside batch mode, and what ends on disk.
#include <gtest/gtest.h>

#include "base/file_util.h"
#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

using namespace testing;
using B = TPromptButton;

constexpr char kAskCreate[] = "Destination Folder does not exist.\nDo you want to create it ?";
constexpr char kAskOverwrite[] = "Destination file already exists.\nDo you want to overwrite it ?";
constexpr char kAskNone[] = "Do you want to NOT overwrite all following existing files ?";

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

struct SaveTest : ::testing::Test {
  TScratchFolder dir;
  TStateFixture f;
  std::string src = dir / "src";
  std::string out = dir / "out";

  void SetUp() override {
    WriteBmp(src + "/a.bmp", 8, 6);
    WriteBmp(src + "/b.bmp", 8, 6);
    WriteBmp(src + "/trip/c.bmp", 8, 6);
    f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = false; });
    f.state.SetDestinationFolderField(out);
    f.Open(src, true);
  }
  std::vector<std::string> Questions() const {
    std::vector<std::string> texts;
    for (const auto& q : f.prompt.Questions())
      texts.push_back(q.Text);
    return texts;
  }
  bool Save() { return f.state.SaveCurrentImage().Saved(); }
};

TEST_F(SaveTest, EmptyDestinationFieldIsAnError) {
  f.state.SetDestinationFolderField("");
  EXPECT_EQ(ErrorOf([&] { Save(); }), "Please specify an destination folder !");
}

TEST_F(SaveTest, MissingFolderAnsweredYesIsCreatedWithParents) {
  f.state.SetDestinationFolderField(out + "/deep/er");
  f.prompt.Push(B::Yes);
  EXPECT_TRUE(Save());
  EXPECT_EQ(Questions(), std::vector<std::string>{kAskCreate});
  EXPECT_EQ(f.prompt.Questions()[0].Buttons, B::Yes | B::No | B::Cancel);
  EXPECT_EQ(f.prompt.Questions()[0].Kind, TPromptKind::Confirmation);
  const std::string written = out + "/deep/er/a.jpg";
  EXPECT_EQ(testing::JpegSize(written), std::make_pair(8, 6));
  // One separator between folder and name, although a top-level image's folder ends in "/".
  EXPECT_EQ(f.state.DestinationPathOf(f.state.CurrentEntry()), written);
  EXPECT_EQ(f.status.back(), SavedMessage(written, static_cast<int64_t>(fs::file_size(written))));
  EXPECT_EQ(f.destinationFolders, std::vector<std::string>{out + "/deep/er"});
  EXPECT_TRUE(f.state.CurrentDestinationExists());
}

// The recent destination folders get the folder the user chose, not the mirrored subfolder an
// image of a subfolder is written to.
TEST_F(SaveTest, TheChosenFolderIsTheRecentOneNotTheMirroredSubfolder) {
  f.state.GoLast();
  ASSERT_EQ(SplitPath(f.state.CurrentEntry()->FileName).Name, "c.bmp");
  f.prompt.Push(B::Yes);
  EXPECT_TRUE(Save());
  EXPECT_TRUE(fs::exists(out + "/trip/c.jpg"));
  EXPECT_EQ(f.destinationFolders, std::vector<std::string>{out});
}

TEST_F(SaveTest, MissingFolderAnsweredNoOrCancelCreatesNothing) {
  for (B answer : {B::No, B::Cancel}) {
    f.prompt.Push(answer);
    EXPECT_FALSE(Save());
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(f.state.Flags().BatchJobCancelled);  // outside a batch no flag changes
  }
  EXPECT_TRUE(f.destinationFolders.empty());
}

TEST_F(SaveTest, ExistingFileAnsweredYesIsReplacedNoAndCancelKeepIt) {
  WriteFile(out + "/a.jpg", "old");
  f.prompt.Push(B::No);
  EXPECT_FALSE(Save());
  f.prompt.Push(B::Cancel);
  EXPECT_FALSE(Save());
  EXPECT_EQ(ReadFile(out + "/a.jpg"), "old");
  // Outside a batch there is no follow-up question.
  EXPECT_EQ(Questions(), (std::vector<std::string>{kAskOverwrite, kAskOverwrite}));
  f.prompt.Push(B::Yes);
  EXPECT_TRUE(Save());
  EXPECT_NE(ReadFile(out + "/a.jpg"), "old");
  EXPECT_EQ(testing::JpegSize(out + "/a.jpg"), std::make_pair(8, 6));
}

TEST_F(SaveTest, SubfolderImageGoesToTheMirroredFolderAndBmpBecomesJpg) {
  f.state.GoToImage(2);
  ASSERT_EQ(f.state.CurrentEntry()->FileName, src + "/trip/c.bmp");
  f.prompt.Push(B::Yes);
  EXPECT_TRUE(Save());
  EXPECT_TRUE(fs::exists(out + "/trip/c.jpg"));
  EXPECT_EQ(f.state.DestinationPathOf(f.state.CurrentEntry()), out + "/trip/c.jpg");
  // A field typed with trailing separators forms the same clean paths.
  f.state.SetDestinationFolderField(out + "//");
  EXPECT_EQ(f.state.DestinationPathOf(f.state.CurrentEntry()), out + "/trip/c.jpg");
  f.state.GoFirst();
  EXPECT_EQ(f.state.DestinationPathOf(f.state.CurrentEntry()), out + "/a.jpg");
}

TEST_F(SaveTest, AFolderThatCannotBeCreatedKeepsTheSystemsReason) {
  WriteFile(out, "a file where the folder should be");
  f.state.SetDestinationFolderField(out + "/sub");
  f.prompt.Push(B::Yes);
  EXPECT_EQ(ErrorOf([&] { Save(); }),
            "Unable to create Destination folder. Make sure it is a valid name. (" + out +
                "/sub: Not a directory)");
  EXPECT_EQ(ReadFile(out), "a file where the folder should be");
}

TEST_F(SaveTest, OutputNameNamesTheFile) {
  f.state.ChangeOutputName("cover");
  fs::create_directories(out);
  EXPECT_TRUE(Save());
  EXPECT_TRUE(fs::exists(out + "/cover.jpg"));
  EXPECT_FALSE(fs::exists(out + "/a.jpg"));
}

TEST_F(SaveTest, RefusesTheSourceFolderInAnySpelling) {
  const std::string kSame = "You cannot use the same folder for source and destination files.";
  fs::create_directory_symlink(src, dir / "link");
  for (const std::string& field : {src, src + "/", src + "/trip/..", dir / "link"}) {
    f.state.SetDestinationFolderField(field);
    EXPECT_EQ(ErrorOf([&] { Save(); }), kSame) << field;
  }
  // A subfolder image with the source folder as destination would land in its own folder.
  f.state.SetDestinationFolderField(src);
  f.state.GoToImage(2);
  EXPECT_EQ(ErrorOf([&] { Save(); }), kSame);
  EXPECT_TRUE(f.prompt.Questions().empty());
}

TEST_F(SaveTest, ReadOnlyExistingFileIsRefusedAndLeftUntouched) {
  WriteFile(out + "/a.jpg", "old");
  fs::permissions(out + "/a.jpg", fs::perms::owner_read);
  f.prompt.Push(B::Yes);
  EXPECT_EQ(ErrorOf([&] { Save(); }), "Unable to remove existing file. Make sure it is writeable.");
  EXPECT_EQ(ReadFile(out + "/a.jpg"), "old");
}

TEST_F(SaveTest, FailedConversionKeepsTheOldFileAndLeavesNoPartialFile) {
  WriteFile(out + "/a.jpg", "old");
  // A frame far beyond the raster limit makes the conversion throw after every question.
  f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = true; });
  f.EditSettings([](TResizeSettings& s) { SelectRule(s, ResizeRule::Fit); });
  f.EditSettings([](TResizeSettings& s) { s.FixedFitWidth = 200000; });
  f.EditSettings([](TResizeSettings& s) { s.FixedFitHeight = 200000; });
  f.EditSettings([](TResizeSettings& s) { s.AllowEnlarge = true; });
  f.prompt.Push(B::Yes);
  EXPECT_NE(ErrorOf([&] { Save(); }), "");
  EXPECT_EQ(ReadFile(out + "/a.jpg"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(SaveTest, NothingToConvertWritesNothing) {
  WriteFile(src + "/0bad.bmp", "broken");
  f.state.RescanSourceFolder();
  ASSERT_FALSE(f.state.Image().LoadError().empty());
  fs::create_directories(out);
  EXPECT_EQ(f.state.SaveCurrentImage().Result, TSaveResult::NothingToConvert);
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(SaveTest, SaveAndNextMovesOnAndFinishesAtTheLast) {
  fs::create_directories(out + "/trip");
  f.state.SaveAndNext();
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  f.state.GoToImage(2);
  f.state.SaveAndNext();
  EXPECT_EQ(f.state.CurrentIndex(), 2);
  ASSERT_EQ(f.prompt.Questions().size(), 1u);
  EXPECT_EQ(f.prompt.Questions()[0].Text, "Finished !");
  EXPECT_EQ(f.prompt.Questions()[0].Kind, TPromptKind::Information);
  EXPECT_EQ(f.prompt.Questions()[0].Buttons, TPromptButtons(B::OK));
}

// In batch mode the questions offer All, and the answers set the flags.
struct BatchSaveTest : SaveTest {
  std::unique_ptr<TBatchRun> run;
  void SetUp() override {
    SaveTest::SetUp();
    run = std::make_unique<TBatchRun>(f.state, f.state.SaveCurrentJob());
  }
};

TEST_F(BatchSaveTest, FolderAnswerAllCreatesLaterFoldersWithoutAsking) {
  f.prompt.Push(B::All);
  EXPECT_TRUE(Save());
  EXPECT_EQ(f.prompt.Questions()[0].Buttons, B::Yes | B::No | B::Cancel | B::All);
  EXPECT_TRUE(f.state.Flags().BatchJobCreateAllDirs);
  f.state.GoToImage(2);
  EXPECT_TRUE(Save());
  EXPECT_EQ(Questions().size(), 1u);
  EXPECT_TRUE(fs::exists(out + "/trip/c.jpg"));
}

TEST_F(BatchSaveTest, FolderAnswerCancelStopsTheBatch) {
  f.prompt.Push(B::Cancel);
  EXPECT_FALSE(Save());
  EXPECT_TRUE(f.state.Flags().BatchJobCancelled);
  f.state.Flags().BatchJobCancelled = false;
  f.prompt.Push(B::No);
  EXPECT_FALSE(Save());
  EXPECT_FALSE(f.state.Flags().BatchJobCancelled);
}

TEST_F(BatchSaveTest, OverwriteNoThenFollowUpYesSkipsLaterFilesWithoutAsking) {
  WriteFile(out + "/a.jpg", "old a");
  WriteFile(out + "/b.jpg", "old b");
  f.prompt.Push(B::No);
  f.prompt.Push(B::Yes);
  EXPECT_FALSE(Save());
  EXPECT_EQ(Questions(), (std::vector<std::string>{kAskOverwrite, kAskNone}));
  EXPECT_EQ(f.prompt.Questions()[1].Buttons, B::Yes | B::No | B::Cancel);
  EXPECT_TRUE(f.state.Flags().BatchJobOverwriteNone);
  f.state.GoToImage(1);
  EXPECT_FALSE(Save());
  EXPECT_EQ(Questions().size(), 2u);
  EXPECT_EQ(ReadFile(out + "/a.jpg"), "old a");
  EXPECT_EQ(ReadFile(out + "/b.jpg"), "old b");
}

TEST_F(BatchSaveTest, OverwriteNoThenFollowUpNoOrCancel) {
  WriteFile(out + "/a.jpg", "old");
  f.prompt.Push(B::No);
  f.prompt.Push(B::No);
  EXPECT_FALSE(Save());
  EXPECT_FALSE(f.state.Flags().BatchJobOverwriteNone);
  EXPECT_FALSE(f.state.Flags().BatchJobCancelled);
  f.prompt.Push(B::No);
  f.prompt.Push(B::Cancel);
  EXPECT_FALSE(Save());
  EXPECT_TRUE(f.state.Flags().BatchJobCancelled);
  EXPECT_EQ(ReadFile(out + "/a.jpg"), "old");
}

TEST_F(BatchSaveTest, OverwriteCancelAsksNoFollowUp) {
  WriteFile(out + "/a.jpg", "old");
  f.prompt.Push(B::Cancel);
  EXPECT_FALSE(Save());
  EXPECT_EQ(Questions(), std::vector<std::string>{kAskOverwrite});
  EXPECT_TRUE(f.state.Flags().BatchJobCancelled);
}

TEST_F(BatchSaveTest, OverwriteAllReplacesLaterFilesWithoutAsking) {
  WriteFile(out + "/a.jpg", "old a");
  WriteFile(out + "/b.jpg", "old b");
  f.prompt.Push(B::All);
  EXPECT_TRUE(Save());
  EXPECT_TRUE(f.state.Flags().BatchJobOverwriteAll);
  f.state.GoToImage(1);
  EXPECT_TRUE(Save());
  EXPECT_EQ(Questions().size(), 1u);
  EXPECT_NE(ReadFile(out + "/b.jpg"), "old b");
}

TEST_F(BatchSaveTest, StatusTextsGoToTheDialogWhileItExists) {
  const std::vector<std::string>& label = f.observer.batchStatus;
  fs::create_directories(out);
  const size_t before = f.status.size();
  EXPECT_TRUE(Save());
  EXPECT_EQ(f.status.size(), before);
  ASSERT_FALSE(label.empty());
  EXPECT_EQ(label.back().rfind("Saved " + out + "/a.jpg successfully (", 0), 0u);
}

}  // namespace
}  // namespace picaxo
