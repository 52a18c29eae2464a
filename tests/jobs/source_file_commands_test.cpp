// Rotating, renaming, deleting and copying the current image's files.
#include <gtest/gtest.h>

#include "base/error.h"
#include "imaging/jpeg.h"
#include "jobs/app_state.h"
#include "jobs_test_util.h"
#include "lossless/jpeg_rotate.h"

namespace picaxo {
namespace {

using namespace testing;
using B = TPromptButton;

TEST(RotateCurrentImage, TurnsTheFileAndItsStoredSelection) {
  TScratchFolder dir;
  WriteFile(dir / "p.jpg", JpegBytes(640, 480));
  for (TRotation direction : {TRotation::Right, TRotation::Left}) {
    SCOPED_TRACE(static_cast<int>(direction));
    WriteFile(dir / "p.jpg", JpegBytes(640, 480));
    TStateFixture f;
    f.Open(dir.Path());
    f.state.ChangeSelection(TSelection{10, 20, 109, 219}, TSelectionPhase::Changed);
    const TRotateOutcome outcome = f.state.RotateCurrentImage(direction);
    EXPECT_EQ(outcome.Result, TRotateResult::Rotated);
    EXPECT_EQ(outcome.Warnings, 0);
    EXPECT_EQ(JpegSize(dir / "p.jpg"), std::make_pair(480, 640));
    // Reloaded: the new size is recorded and the rotated selection is in the view again.
    EXPECT_EQ(f.state.List().At(0).Size.value().Width, 480);
    EXPECT_EQ(f.state.Image().Image().Width(), 480);
    const TSelection expected = direction == TRotation::Right ? TSelection{260, 10, 459, 109}
                                                              : TSelection{20, 530, 219, 629};
    EXPECT_EQ(f.state.List().At(0).Selection, expected);
    EXPECT_EQ(f.state.ViewSelection(), expected);
    EXPECT_EQ(f.status.back(), "");
    EXPECT_EQ(f.waitDepth, 0);
  }
}

TEST(RotateCurrentImage, OnlyJpegsWithTheLosslessOptionAndErrorsRestoreTheCursor) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp");
  WriteFile(dir / "b.jpg", "not a jpeg at all");
  TStateFixture f;
  EXPECT_EQ(f.state.RotateCurrentImage(TRotation::Right).Result, TRotateResult::NoImage);
  f.Open(dir.Path());
  EXPECT_EQ(f.state.RotateCurrentImage(TRotation::Right).Result, TRotateResult::NotAvailable);
  f.state.GoNext();
  f.state.SetLosslessRotate(false);
  EXPECT_EQ(f.state.RotateCurrentImage(TRotation::Right).Result, TRotateResult::NotAvailable);
  f.state.SetLosslessRotate(true);
  std::string error;
  try {
    f.state.RotateCurrentImage(TRotation::Right);
  } catch (const EPicaxoError& e) {
    error = e.what();
  }
  EXPECT_EQ(error.rfind("Not a JPEG file", 0), 0u) << error;
  EXPECT_EQ(f.waitDepth, 0);
  // The status line tells the failure instead of a rotation that seems to go on.
  EXPECT_EQ(f.status.back(), error);
  EXPECT_EQ(ReadFile(dir / "b.jpg"), "not a jpeg at all");
}

// A damaged source is shown as far as it decodes, with a status line that says so; rotating it
// (which wrote grey blocks over the rest for good) is refused with the core's message, and the
// file stays byte for byte as it was.
TEST(RotateCurrentImage, ADamagedSourceIsNamedAndNeverRotated) {
  TScratchFolder dir;
  const std::string whole = JpegBytes(640, 480);
  const std::string cut = whole.substr(0, whole.size() * 2 / 3);
  WriteFile(dir / "p.jpg", cut);
  TStateFixture f;
  f.Open(dir.Path());
  EXPECT_EQ(f.state.Image().Width(), 640);
  EXPECT_EQ(f.status.back(), DamagedSourceText("p.jpg"));
  try {
    f.state.RotateCurrentImage(TRotation::Right);
    ADD_FAILURE() << "rotated";
  } catch (const EDamagedJPEG& e) {
    EXPECT_EQ(std::string(e.what()).rfind(DamagedSourceText("p.jpg"), 0), 0u) << e.what();
  }
  EXPECT_EQ(ReadFile(dir / "p.jpg"), cut);
  // The status line tells why, instead of a rotation that seems to go on.
  EXPECT_EQ(f.status.back().rfind(DamagedSourceText("p.jpg"), 0), 0u) << f.status.back();
  EXPECT_EQ(f.waitDepth, 0);
}

struct RenameTest : ::testing::Test {
  TScratchFolder dir;
  TStateFixture f;
  void SetUp() override {
    WriteBmp(dir / "a.BMP");
    WriteBmp(dir / "b.bmp");
    f.Open(dir.Path());
  }
};

TEST_F(RenameTest, EnterOffersACaseOnlyRenameLeavingTheBoxDoesNot) {
  f.state.SetSourceNameText("A");
  EXPECT_EQ(f.state.CheckSourceRename(TRenameTrigger::FocusLoss), TRenameResult::Unchanged);
  EXPECT_TRUE(f.prompt.Questions().empty());
  f.prompt.Push(B::Yes);
  EXPECT_EQ(f.state.CheckSourceRename(TRenameTrigger::EnterKey), TRenameResult::Renamed);
  EXPECT_EQ(f.prompt.QuestionIds(), std::vector<TQuestionId>{TQuestionId::RenameSourceFile});
  // The extension becomes lower case.
  EXPECT_EQ(f.state.CurrentEntry()->FileName, dir / "A.bmp");
  EXPECT_TRUE(fs::exists(dir / "A.bmp"));
  EXPECT_FALSE(fs::exists(dir / "a.BMP"));
  EXPECT_EQ(f.state.SourceNameText(), "A");
  EXPECT_EQ(f.state.OutputNameText(), "A");
}

TEST_F(RenameTest, NavigationOffersThePendingRenameAndNoKeepsTheOldName) {
  f.state.SetSourceNameText("holiday");
  f.prompt.Push(B::No);
  f.state.GoNext();
  EXPECT_EQ(f.state.CurrentIndex(), 1);
  EXPECT_TRUE(fs::exists(dir / "a.BMP"));
  EXPECT_EQ(f.state.List().At(0).FileName, dir / "a.BMP");
  f.state.SetSourceNameText("holiday");
  f.prompt.Push(B::Yes);
  f.state.GoPrevious();
  EXPECT_EQ(f.state.List().At(1).FileName, dir / "holiday.bmp");
  EXPECT_TRUE(fs::exists(dir / "holiday.bmp"));
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  EXPECT_EQ(f.prompt.Questions().size(), 2u);  // one question per move
}

TEST_F(RenameTest, ARenameNeverReplacesAnotherFileAndBadNamesFail) {
  const std::string before = ReadFile(dir / "b.bmp");
  WriteBmp(dir / "a.BMP", 3, 3);  // a different picture under the old name
  for (const char* name : {"b", "sub/x", "..", ""}) {
    SCOPED_TRACE(name);
    f.state.SetSourceNameText(name);
    f.prompt.Push(B::Yes);
    EXPECT_EQ(f.state.CheckSourceRename(TRenameTrigger::EnterKey), TRenameResult::Failed);
    EXPECT_EQ(f.prompt.Questions().back().Id, TQuestionId::RenameFailed);
    EXPECT_EQ(f.prompt.Questions().back().Text, "Error renaming!");
    EXPECT_EQ(f.state.SourceNameText(), name);  // the typed text stays
  }
  EXPECT_EQ(ReadFile(dir / "b.bmp"), before);
  EXPECT_TRUE(fs::exists(dir / "a.BMP"));
  EXPECT_EQ(f.state.CurrentEntry()->FileName, dir / "a.BMP");
}

TEST_F(RenameTest, AnOwnOutputNameIsKept) {
  f.state.ChangeOutputName("cover");
  f.state.SetSourceNameText("new");
  f.prompt.Push(B::Yes);
  EXPECT_EQ(f.state.CheckSourceRename(TRenameTrigger::FocusLoss), TRenameResult::Renamed);
  EXPECT_EQ(f.state.OutputNameText(), "cover");
  EXPECT_EQ(f.state.CurrentEntry()->OutputName, "cover");
  EXPECT_EQ(f.state.DestinationFileNameOf(f.state.CurrentEntry()), "cover.jpg");
}

TEST(DeleteDestinationFile, AsksDeletesAndAFailureSaysNothing) {
  TScratchFolder dir;
  WriteBmp(dir / "src/a.bmp");
  TStateFixture f;
  f.state.SetDestinationFolderField(dir / "out");
  f.Open(dir / "src");
  EXPECT_EQ(f.state.DeleteDestinationFile(), TDeleteResult::NoFile);
  fs::create_directories(dir / "out");
  ASSERT_TRUE(f.state.SaveCurrentImage().Saved());
  EXPECT_TRUE(f.state.EnabledCommands().DeleteDestination);
  const std::string saved = f.state.DestinationPathOf(f.state.CurrentEntry());

  f.remover.refuse = true;
  f.prompt.Push(B::Yes);
  EXPECT_EQ(f.state.DeleteDestinationFile(), TDeleteResult::NotDeleted);
  EXPECT_TRUE(fs::exists(saved));
  EXPECT_EQ(f.prompt.Questions().size(), 1u);  // no message about the failure

  f.remover.refuse = false;
  f.prompt.Push(B::No);
  EXPECT_EQ(f.state.DeleteDestinationFile(), TDeleteResult::Declined);
  f.prompt.Push(B::Yes);
  EXPECT_EQ(f.state.DeleteDestinationFile(), TDeleteResult::Deleted);
  EXPECT_EQ(f.remover.removed, std::vector<std::string>{saved});
  EXPECT_EQ(f.prompt.Questions().back().Id, TQuestionId::DeleteDestinationFile);
  EXPECT_EQ(f.prompt.Questions().back().Text, "Do you want to delete " + saved + " ?");
  EXPECT_FALSE(f.state.EnabledCommands().DeleteDestination);
  // The source file is untouched and still listed.
  EXPECT_EQ(f.state.Count(), 1);
}

TEST(DeleteSourceFile, ARefusedRemovalKeepsTheEntry) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp");
  TStateFixture f;
  f.Open(dir.Path());
  f.remover.refuse = true;
  f.prompt.Push(B::Yes);
  EXPECT_EQ(f.state.DeleteSourceFile(), TDeleteResult::NotDeleted);
  EXPECT_EQ(f.state.Count(), 1);
  fs::remove(dir / "a.bmp");  // gone behind our back: not asked about
  EXPECT_EQ(f.state.DeleteSourceFile(), TDeleteResult::NoFile);
  EXPECT_EQ(f.prompt.Questions().size(), 1u);
}

TEST(CopySourceTo, CopiesTheBytesAndRefusesToCopyAFileOntoItself) {
  TScratchFolder dir;
  WriteFile(dir / "src/Photo.JPG", JpegBytes(16, 16));
  const std::string original = ReadFile(dir / "src/Photo.JPG");
  TStateFixture f;
  f.Open(dir / "src");
  EXPECT_EQ(f.state.CopyToProposedName(), "Photo.jpg");
  f.state.SetCopyToDir("/from/settings");
  EXPECT_EQ(f.state.CopyToStartFolder(), "/from/settings");
  fs::create_directories(dir / "copies");
  f.state.CopySourceTo(dir / "copies/x.jpg");
  EXPECT_EQ(ReadFile(dir / "copies/x.jpg"), original);
  EXPECT_EQ(f.state.CopyToStartFolder(), dir / "copies");
  EXPECT_EQ(f.state.CopyToDir(), dir / "copies");
  EXPECT_EQ(f.state.Count(), 1);

  EXPECT_THROW(f.state.CopySourceTo(dir / "src/Photo.JPG"), EPicaxoError);
  EXPECT_THROW(f.state.CopySourceTo(dir / "src/../src/Photo.JPG"), EPicaxoError);
  EXPECT_EQ(ReadFile(dir / "src/Photo.JPG"), original);
  EXPECT_THROW(f.state.CopySourceTo(dir / "no/such/folder/x.jpg"), EPicaxoError);
}

}  // namespace
}  // namespace picaxo
