// The settings record made from the window model and the window's layout, saved and loaded
// without a window.
#include "ui/settings_binding.h"

#include <gtest/gtest.h>

#include "jobs/prompt.h"
#include "settings/temp_config.h"

namespace picaxo {
namespace {

using SettingsBinding = TempConfig;

// A model as a window starts it: the job list shows.
struct TModel {
  TScriptedPrompt prompt;
  TAppState state{prompt};
  TSettingsBinding binding{state};
  TModel() { state.SetJobsListVisible(true); }
};

TEST_F(SettingsBinding, EveryKeySurvivesASaveAndAFreshModel) {
  const std::string in = MakeFolder("in & out");
  const std::string out = MakeFolder("destination ");
  TModel model;
  TPicaxoSettings expected = model.binding.Record();

  TAppState& state = model.state;
  TWindowLayout layout;
  layout.Placement.Bounds = RectFromSize(40, 30, 600, 450);
  layout.JobsListWidth = 420;
  layout.JobsListColWidths = {90, 200, 55};
  TPicaxoSettings placed = expected;
  placed.MainWindow = layout.Placement;
  placed.JobsListWidth = layout.JobsListWidth;
  placed.JobsListColWidths = layout.JobsListColWidths;
  placed.ShowJobsList = false;
  model.binding.Apply(placed);
  state.SetSourceFolderField(in);
  state.SetDestinationFolderField(out);
  state.SelectZoom(TZoom::OneToTwo);
  state.SetRecursiveInput(true);
  state.SetLosslessRotate(false);
  TResizeSettings resize = state.Settings();
  resize.JpegQuality = 33;
  resize.PaddingColor = 0x336699;
  state.SetSettings(resize);
  state.SetNormalZoom(TZoom::TwoToOne);
  state.SetPreviewMode(true);  // so that the remembered normal zoom differs from the zoom shown
  state.CopyTargetChosen("/copies/of photos/a.jpg");
  state.SetViewAllowEnlargeInAutoMode(false);
  state.Flags().BatchJobOverwriteAll = state.Flags().BatchJobOverwriteNone = true;
  state.Flags().BatchJobCreateAllDirs = true;
  const TPicaxoSettings changed = model.binding.Record();
  model.binding.SaveRegistrySettings();

  // Nothing of the change is lost on the way into the record.
  expected.MainWindow = layout.Placement;
  expected.InputDir = in;
  expected.OutputDir = out;
  expected.Zoom = 4;
  expected.Resize = resize;
  expected.ViewAllowEnlargeInAutoMode = false;
  expected.RecursiveInput = true;
  expected.LosslessRotate = false;
  expected.CopyToDir = "/copies/of photos";
  expected.ShowJobsList = false;
  expected.JobsListWidth = 420;
  expected.JobsListColWidths = {90, 200, 55};
  expected.NormalZoom = 2;
  expected.BatchJobOverwriteAll = expected.BatchJobOverwriteNone = true;
  expected.BatchJobCreateAllDirs = true;
  EXPECT_EQ(changed, expected);
  const std::string file = Read(UserFile());
  EXPECT_NE(file.find("\nJpegQuality=33\n"), std::string::npos);
  EXPECT_NE(file.find("\nPaddingColor=3368601\n"), std::string::npos);

  TModel next;
  next.state.SetPreviewMode(true);
  next.binding.LoadRegistrySettings();
  EXPECT_FALSE(next.state.FillingControls());
  TPicaxoSettings again = next.binding.Record();
  EXPECT_EQ(again.MainWindow.Bounds, changed.MainWindow.Bounds);
  again.MainWindow = changed.MainWindow;
  // The loaded folder is where the "Copy to..." dialog starts; only a confirmed one is saved.
  EXPECT_EQ(next.state.CopyToStartFolder(), "/copies/of photos");
  again.CopyToDir = changed.CopyToDir;
  EXPECT_EQ(again, changed);
  EXPECT_FALSE(next.state.JobsListVisible());
}

TEST_F(SettingsBinding, FirstStartWithoutStoredSettings) {
  TModel model;
  model.state.SetSourceFolderField("/elsewhere");
  model.binding.LoadRegistrySettings();
  const TPicaxoSettings s = model.binding.Record();
  EXPECT_EQ(s.InputDir, WorkingFolder());
  EXPECT_EQ(s.OutputDir, WorkingFolder());
  EXPECT_EQ(s.Zoom, 0);
  EXPECT_TRUE(s.ShowJobsList);
  EXPECT_EQ(s.Resize, TResizeSettings{});
  EXPECT_FALSE(std::filesystem::exists(UserFile()));  // reading writes nothing
}

TEST_F(SettingsBinding, SavingOutsidePreviewRemembersTheZoomShown) {
  TModel model;
  model.state.SelectZoom(TZoom::OneToOne);
  model.state.SetNormalZoom(TZoom::FourToOne);
  model.binding.SaveSettingsFile(Path("zoom.ini"));
  EXPECT_EQ(model.state.NormalZoom(), TZoom::OneToOne);
  EXPECT_EQ(model.state.SavedZoomChoice(), TZoom::OneToOne);
  model.state.SetPreviewMode(true);
  model.state.SelectZoom(TZoom::OneToFour);
  model.binding.SaveSettingsFile(Path("zoom.ini"));
  const std::string file = Read(Path("zoom.ini"));
  EXPECT_NE(file.find("\nZoom=5\n"), std::string::npos);
  EXPECT_NE(file.find("\nNormalZoom=3\n"), std::string::npos);
}

TEST_F(SettingsBinding, ANonSettingsFileChangesNothing) {
  TModel model;
  TResizeSettings resize;
  resize.JpegQuality = 12;
  model.state.SetSettings(resize);
  const TPicaxoSettings before = model.binding.Record();
  EXPECT_THROW(model.binding.LoadSettingsFile(Write("other.ini", "[Other]\nJpegQuality=70\n")),
               std::exception);
  EXPECT_THROW(model.binding.LoadSettingsFile(Path("missing.ini")), std::exception);
  EXPECT_EQ(model.binding.Record(), before);
}

}  // namespace
}  // namespace picaxo
