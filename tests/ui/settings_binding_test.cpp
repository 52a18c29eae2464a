#include "ui/settings_binding.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include "settings/temp_config.h"
#include "settings_form.h"

namespace picaxo {
namespace {

using testing::MakeSettingsForm;
using testing::Named;
using testing::TFormBinding;

using SettingsBinding = TempConfig;

TEST_F(SettingsBinding, EveryKeySurvivesCloseAndANewWindow) {
  const QString in = TextFromPath(MakeFolder("in & out"));
  const QString out = TextFromPath(MakeFolder("destination "));
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  TPicaxoSettings expected = binding.FromWindow();

  form->move(40, 30);
  form->resize(600, 450);
  Named<QLineEdit>(*form, "EInputDir")->setText(in);
  Named<QLineEdit>(*form, "EOutputDir")->setText(out);
  Named<QComboBox>(*form, "CBZoom")->setCurrentIndex(4);
  Named<QAction>(*form, "Recursiveinputdirs1")->setChecked(true);
  Named<QAction>(*form, "UseLosslessJPEGrotateofinputfile1")->setChecked(false);
  Named<QWidget>(*form, "PanelJobs")->hide();
  binding.SetJobsListWidth(420);
  QHeaderView* header = Named<QTableView>(*form, "LVJobs")->horizontalHeader();
  header->resizeSection(0, 90);
  header->resizeSection(1, 200);
  header->resizeSection(2, 55);
  binding.resize.JpegQuality = 33;
  binding.resize.PaddingColor = 0x336699;
  binding.preview = true;  // so that the remembered normal zoom differs from the zoom shown
  binding.normalZoom = 2;
  binding.copyToDir = "/copies/of photos";
  binding.viewAllowEnlarge = false;
  binding.flags = {true, true, true};
  const TPicaxoSettings changed = binding.FromWindow();
  binding.SaveRegistrySettings();

  // Nothing of the change is lost on the way into the record.
  expected.MainWindow = changed.MainWindow;
  expected.InputDir = PathFromText(in);
  expected.OutputDir = PathFromText(out);
  expected.Zoom = 4;
  expected.Resize = binding.resize;
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
  EXPECT_EQ(changed.MainWindow.Bounds, RectFromSize(40, 30, 600, 450));
  const std::string file = Read(UserFile());
  EXPECT_NE(file.find("\nJpegQuality=33\n"), std::string::npos);
  EXPECT_NE(file.find("\nPaddingColor=3368601\n"), std::string::npos);

  auto next = MakeSettingsForm();
  TFormBinding restored(*next);
  restored.preview = true;
  restored.LoadRegistrySettings();
  EXPECT_FALSE(restored.filling);
  EXPECT_EQ(restored.fillingCalls, 2);
  TPicaxoSettings again = restored.FromWindow();
  EXPECT_EQ(again.MainWindow.Bounds, changed.MainWindow.Bounds);
  again.MainWindow = changed.MainWindow;
  EXPECT_EQ(again, changed);
  EXPECT_EQ(Named<QLineEdit>(*next, "EInputDir")->text(), in);
  EXPECT_TRUE(Named<QWidget>(*next, "PanelJobs")->isHidden());
  EXPECT_EQ(Named<QTableView>(*next, "LVJobs")->horizontalHeader()->sectionSize(1), 200);
}

TEST_F(SettingsBinding, FirstStartWithoutStoredSettings) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  binding.LoadRegistrySettings();
  const TPicaxoSettings s = binding.FromWindow();
  EXPECT_EQ(s.InputDir, WorkingFolder());
  EXPECT_EQ(s.OutputDir, WorkingFolder());
  EXPECT_EQ(s.Zoom, 0);
  EXPECT_TRUE(s.ShowJobsList);
  EXPECT_EQ(s.Resize, TResizeSettings{});
  EXPECT_FALSE(std::filesystem::exists(UserFile()));  // reading writes nothing
}

TEST_F(SettingsBinding, SavingOutsidePreviewRemembersTheZoomShown) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  Named<QComboBox>(*form, "CBZoom")->setCurrentIndex(3);
  binding.normalZoom = 1;
  binding.SaveSettingsFile(Path("zoom.ini"));
  EXPECT_EQ(binding.normalZoom, 3);
  binding.preview = true;
  Named<QComboBox>(*form, "CBZoom")->setCurrentIndex(5);
  binding.SaveSettingsFile(Path("zoom.ini"));
  const std::string file = Read(Path("zoom.ini"));
  EXPECT_NE(file.find("\nZoom=5\n"), std::string::npos);
  EXPECT_NE(file.find("\nNormalZoom=3\n"), std::string::npos);
}

TEST_F(SettingsBinding, ANonSettingsFileChangesNothing) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  binding.resize.JpegQuality = 12;
  const TPicaxoSettings before = binding.FromWindow();
  EXPECT_THROW(binding.LoadSettingsFile(Write("other.ini", "[Other]\nJpegQuality=70\n")),
               std::exception);
  EXPECT_THROW(binding.LoadSettingsFile(Path("missing.ini")), std::exception);
  EXPECT_EQ(binding.FromWindow(), before);
  EXPECT_EQ(binding.fillingCalls, 0);
}

}  // namespace
}  // namespace picaxo
