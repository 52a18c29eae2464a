// The state the window drives: control changes, the selection, preview and zoom, the job list's
// view state and the Escape texts.
#include <gtest/gtest.h>

#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

struct WindowModelTest : ::testing::Test {
  TScratchFolder dir;
  TStateFixture f;
  std::string src = dir / "src";

  void SetUp() override {
    WriteBmp(src + "/a.bmp", 40, 30);
    WriteBmp(src + "/b.bmp", 20, 10);
    WriteBmp(src + "/c.bmp", 10, 10);
    f.Open(src);
  }

  TResizeSettings Percent(int16_t percent) const {
    TResizeSettings s = f.state.Settings();
    s.ResizeEnabled = true;
    SelectRule(s, ResizeRule::Percent);
    s.Percent = percent;
    return s;
  }
};

TEST_F(WindowModelTest, AChangeIsStoredIntoTheCurrentEntryAndCarriesOverToUntouchedImages) {
  const TRedraw redraw = f.state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, Percent(30));
  EXPECT_TRUE(redraw.DimensionLabel && redraw.SelectionLabel && redraw.CurrentJobRow);
  EXPECT_FALSE(redraw.AllJobRows || redraw.View);
  EXPECT_EQ(f.state.List().At(0).ResizeMode, TResizeMode::Percent);
  EXPECT_EQ(f.state.List().At(0).Percent, 30);
  EXPECT_EQ(f.state.DimensionLabelText(), "12x9");
  f.state.GoNext();
  EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::Unset);
  EXPECT_EQ(f.state.Settings().Percent, 30);  // unset fields keep what the controls held
  EXPECT_EQ(f.state.DimensionLabelText(), "6x3");
  // Only the quality: nothing else is stored.
  TResizeSettings q = f.state.Settings();
  q.JpegQuality = 42;
  f.state.ChangeSettings(TControl::EQuality, TTrigger::Leave, q);
  EXPECT_EQ(f.state.List().At(1).JpegQuality, 42);
  EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::Unset);
}

TEST_F(WindowModelTest, SelectedCaptionsStoreIntoEverySelectedEntryButNoCropOrName) {
  f.state.SetJobsListVisible(true);
  f.state.JobRowsSelected(std::nullopt, TRowSelection::OfRows({0, 2}));
  ASSERT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::Selected);
  const TRedraw redraw = f.state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, Percent(25));
  EXPECT_TRUE(redraw.AllJobRows);
  EXPECT_EQ(f.state.List().At(0).Percent, 25);
  EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::Unset);
  EXPECT_EQ(f.state.List().At(2).ResizeMode, TResizeMode::Percent);
  f.state.ChangeSelection(TSelection{1, 1, 5, 5}, TSelectionPhase::Changed);
  f.state.ChangeOutputName("x");
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(f.state.List().At(i).HasSelection());
    EXPECT_EQ(f.state.List().At(i).OutputName, "");
  }
  // The selection cleared (the captions stay Selected): the change goes to the current image.
  f.state.JobRowsSelected(std::nullopt, TRowSelection());
  EXPECT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::Selected);
  f.state.ChangeExcluded(true);
  EXPECT_TRUE(f.state.List().At(0).Excluded);
  EXPECT_FALSE(f.state.List().At(2).Excluded);
}

TEST_F(WindowModelTest, WhileFillingControlsNothingIsStoredButTheValuesAreTaken) {
  {
    TAppState::TFillingControls filling(f.state);
    EXPECT_EQ(f.state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, Percent(70)),
              TRedraw{});
    EXPECT_EQ(f.state.ChangeOutputName("typed"), TRedraw{});
  }
  EXPECT_EQ(f.state.Settings().Percent, 70);
  EXPECT_EQ(f.state.List().At(0).ResizeMode, TResizeMode::Unset);
  EXPECT_EQ(f.state.List().At(0).OutputName, "");
  EXPECT_FALSE(f.state.FillingControls());
}

TEST_F(WindowModelTest, ThePreviewIsRenderedAgainOnlyForChangesMadeAtOnce) {
  f.state.SelectZoom(TZoom::TwoToOne);
  f.state.SetPreviewMode(true);
  ASSERT_EQ(f.state.View().Kind, TViewContent::TKind::Preview);
  const int rendered = f.observer.viewChanges;
  EXPECT_TRUE(f.state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, Percent(50)).View);
  EXPECT_EQ(f.observer.viewChanges, rendered + 1);
  EXPECT_FALSE(f.state.ChangeSettings(TControl::EPercent, TTrigger::Leave, Percent(40)).View);
  EXPECT_FALSE(f.state.ChangeExcluded(true).View);
  EXPECT_EQ(f.observer.viewChanges, rendered + 1);
  f.state.SetPreviewMode(false);
  EXPECT_FALSE(f.state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, Percent(60)).View);
}

TEST_F(WindowModelTest, DraggingUnderFixedAreaUpdatesOnlyTheSelectionLabel) {
  TResizeSettings area = f.state.Settings();
  SelectRule(area, ResizeRule::FixedArea);
  f.state.SetSettings(area);
  TRedraw drag = f.state.ChangeSelection(TSelection{0, 0, 9, 9}, TSelectionPhase::Dragging);
  EXPECT_TRUE(drag.SelectionLabel);
  EXPECT_FALSE(drag.DimensionLabel);
  EXPECT_EQ(f.state.SelectionLabelText(), "(0,0) - 10x10");
  EXPECT_FALSE(f.state.List().At(0).HasSelection());  // a drag step stores nothing

  area.ResizeEnabled = false;  // the exception holds only while resizing
  f.state.SetSettings(area);
  drag = f.state.ChangeSelection(TSelection{0, 0, 4, 9}, TSelectionPhase::Dragging);
  EXPECT_TRUE(drag.DimensionLabel);
  EXPECT_EQ(f.state.DimensionLabelText(), "5x10");

  const TRedraw done = f.state.ChangeSelection(TSelection{0, 0, 4, 9}, TSelectionPhase::Changed);
  EXPECT_TRUE(done.DimensionLabel && done.CurrentJobRow);
  EXPECT_EQ(f.state.List().At(0).Selection, (TSelection{0, 0, 4, 9}));
  f.state.ChangeSelection(std::nullopt, TSelectionPhase::Changed);
  EXPECT_FALSE(f.state.List().At(0).HasSelection());
  EXPECT_EQ(f.state.SelectionLabelText(), "[all]");
}

TEST_F(WindowModelTest, PreviewForcesOneToOneAndGivesTheSavedZoomBack) {
  f.state.SelectZoom(TZoom::TwoToOne);
  EXPECT_EQ(f.state.NormalZoom(), TZoom::TwoToOne);
  f.state.TogglePreview();
  EXPECT_TRUE(f.state.PreviewMode());
  EXPECT_EQ(f.state.Zoom(), TZoom::OneToOne);
  EXPECT_EQ(f.state.SavedZoomChoice(), TZoom::TwoToOne);
  EXPECT_EQ(f.state.NormalZoom(), TZoom::TwoToOne);
  EXPECT_FALSE(f.state.View().Selectable);
  ASSERT_NE(f.state.View().Picture, nullptr);
  EXPECT_EQ(f.state.View().Picture->Width(), 20);  // 50 % of 40 x 30
  // "%dKB" or "%d bytes", then the ratio of the decoded size.
  EXPECT_NE(f.state.View().ImageFileSizeText.find("  ["), std::string::npos);
  // Another image in preview mode shows its preview; the saved choice is not overwritten by 1:1.
  f.state.GoNext();
  EXPECT_EQ(f.state.View().Kind, TViewContent::TKind::Preview);
  EXPECT_EQ(f.state.View().Picture->Width(), 10);
  EXPECT_EQ(f.state.SavedZoomChoice(), TZoom::TwoToOne);
  f.state.TogglePreview();
  EXPECT_EQ(f.state.Zoom(), TZoom::TwoToOne);
  EXPECT_TRUE(f.state.View().Selectable);
  EXPECT_EQ(f.state.View().Kind, TViewContent::TKind::Source);
  EXPECT_EQ(f.state.View().ImageFileSizeText, "");
  EXPECT_EQ(f.waitDepth, 0);
}

TEST_F(WindowModelTest, ABatchRunLeavesPreviewModeFirst) {
  f.state.SetPreviewMode(true);
  f.state.SetDestinationFolderField(dir / "out");
  f.state.ExecuteJobs([](TBatchRun& run) { run.Start(run.Show()); });
  EXPECT_FALSE(f.state.PreviewMode());
}

TEST_F(WindowModelTest, JobListViewAndBatchTitle) {
  EXPECT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::Hidden);
  EXPECT_EQ(f.state.BatchTitle(),
            "Clicking on Start will save all images to the destination folder with the current "
            "settings.");
  f.state.SetJobsListVisible(true);
  EXPECT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::All);
  EXPECT_FALSE(f.state.EnabledCommands().SaveAll);
  EXPECT_EQ(f.state.BatchTitle(),
            "Clicking on Start will save all images to the destination folder.");
  // One row selected makes its image current; a second one switches the captions only.
  f.state.JobRowsSelected(2, TRowSelection::OfRows({2}));
  EXPECT_EQ(f.state.CurrentIndex(), 2);
  f.state.JobRowsSelected(0, TRowSelection::OfRows({0, 2}));
  EXPECT_EQ(f.state.CurrentIndex(), 2);
  EXPECT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::Selected);
  EXPECT_EQ(f.state.BatchTitle(),
            "Clicking on Start will save all selected images to the destination folder.");
  f.state.SetJobsListVisible(false);
  EXPECT_EQ(f.state.JobCaptionMode(), TJobCaptionMode::Hidden);
  EXPECT_TRUE(f.state.EnabledCommands().SaveAll);
}

TEST_F(WindowModelTest, EscapeRestoresTheCommittedTexts) {
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EOutputDir), "");  // never committed
  f.state.SetDestinationFolderField("/out");
  f.state.CommitDestinationFolderField();
  f.state.SetDestinationFolderField("/typing");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EOutputDir), "/out");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EInputDir), f.state.SourceFolder());
  f.state.SetSourceNameText("half typed");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EInFilename), "a");
  f.state.ChangeOutputName("cover");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EOutFilename), "a");
  f.state.CommitOutputNameText();
  f.state.ChangeOutputName("cov");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EOutFilename), "cover");
  // Another image: its own name, never the previous image's.
  f.state.GoNext();
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::EOutFilename), "b");
  EXPECT_EQ(f.state.EscapeRestoreText(TFocusedField::Other), std::nullopt);
}

TEST_F(WindowModelTest, KeysDriveTheState) {
  const auto press = [&](uint16_t key, bool ctrl) {
    TKeyEvent event;
    event.VirtualKey = key;
    event.Ctrl = ctrl;
    const TKeyContext context{f.state.CurrentIndex(), f.state.List().PreviousIndex(),
                              f.state.Count(), f.state.Zoom()};
    const TKeyAction action = HandleHookedKey(event, context);
    if (action.Command == TKeyCommand::GoToImage) f.state.GoToImage(action.Index);
  };
  press(vk::PageDown, true);
  EXPECT_EQ(f.state.CurrentIndex(), 2);  // clamped to the last
  press(vk::Home, false);
  EXPECT_EQ(f.state.CurrentIndex(), 0);
  press(vk::Back, false);
  EXPECT_EQ(f.state.CurrentIndex(), 2);
  press(vk::Back, false);
  EXPECT_EQ(f.state.CurrentIndex(), 0);
}

TEST(CurrentImageTexts, LabelsOfALoadedJpegAndOfAnEmptyFolder) {
  TScratchFolder dir;
  WriteFile(dir / "src/Photo.JPG", JpegBytes(32, 16));
  TStateFixture f;
  f.state.SetDestinationFolderField(dir / "out");
  f.Open(dir / "src");
  TCurrentImageTexts texts = f.state.CurrentImageTexts();
  EXPECT_EQ(texts.SourceExtension, ".jpg");
  EXPECT_EQ(texts.OriginalSize, "32x16");
  EXPECT_NE(texts.OriginalFileSize.find("  ["), std::string::npos);  // decoded JPEG: a ratio
  EXPECT_EQ(texts.EntryFolder, dir / "src");
  EXPECT_EQ(texts.DestinationFolder, dir / "out/");
  EXPECT_EQ(texts.Selection, "[all]");
  EXPECT_EQ(texts.FileExists, "");
  EXPECT_EQ(f.state.SourceNameText(), "Photo");
  EXPECT_EQ(f.state.OutputNameText(), "Photo");

  f.state.SetSourceFolderField(dir / "missing");
  f.state.ScanSourceFolder();
  texts = f.state.CurrentImageTexts();
  EXPECT_EQ(texts.OriginalSize, "");
  EXPECT_EQ(texts.Dimension, "");
  EXPECT_EQ(texts.EntryFolder, "");
  EXPECT_EQ(f.state.SourceNameText(), "(no source file)");
  EXPECT_EQ(f.state.View().Kind, TViewContent::TKind::Empty);
}

}  // namespace
}  // namespace picaxo
