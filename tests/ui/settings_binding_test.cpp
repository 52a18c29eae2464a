#include "ui/settings_binding.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>

#include "settings/temp_config.h"
#include "settings_form.h"
#include "ui/window_placement.h"

namespace picaxo {
namespace {

using testing::MakeSettingsForm;
using testing::Named;
using testing::TFormBinding;

using SettingsBinding = TempConfig;

// Gives every key a value other than its first-start one, through the controls where the window
// has one.
void ChangeEveryControl(QWidget& form, TFormBinding& binding, const QString& in,
                        const QString& out) {
  form.move(40, 30);
  form.resize(600, 450);
  Named<QLineEdit>(form, "EInputDir")->setText(in);
  Named<QLineEdit>(form, "EOutputDir")->setText(out);
  Named<QComboBox>(form, "CBZoom")->setCurrentIndex(4);
  Named<QSpinBox>(form, "UDQuality")->setValue(33);
  Named<QSpinBox>(form, "UDLongerSide")->setValue(1234);
  Named<QSpinBox>(form, "UDFixedArea")->setValue(777);
  Named<QSpinBox>(form, "UDPercent")->setValue(250);
  Named<QCheckBox>(form, "CBResize")->setChecked(false);
  Named<QRadioButton>(form, "RBFixedFit")->setChecked(true);
  Named<QLineEdit>(form, "EFitWidth")->setText("1600");
  Named<QLineEdit>(form, "EFitHeight")->setText("1200");
  Named<QCheckBox>(form, "CBPaddedFit")->setChecked(true);
  Named<QRadioButton>(form, "RBAlignRightBottom")->setChecked(true);
  QWidget* colour = Named<QWidget>(form, "PaddedFitColorPanel");
  QPalette palette = colour->palette();
  palette.setColor(QPalette::Window, QColor(0x99, 0x66, 0x33));
  colour->setPalette(palette);
  Named<QCheckBox>(form, "CBAllowEnlarge")->setChecked(true);
  Named<QCheckBox>(form, "CBForceRecompress")->setChecked(true);
  Named<QAction>(form, "MForceRecompress")->setChecked(true);
  Named<QAction>(form, "Recursiveinputdirs1")->setChecked(true);
  Named<QAction>(form, "UseLosslessJPEGrotateofinputfile1")->setChecked(false);
  Named<QWidget>(form, "PanelJobs")->hide();
  QHeaderView* header = Named<QTableView>(form, "LVJobs")->horizontalHeader();
  header->resizeSection(0, 90);
  header->resizeSection(1, 200);
  header->resizeSection(2, 55);
  binding.preview = true;  // so that the remembered normal zoom differs from the zoom shown
  binding.SetNormalZoom(2);
  binding.SetCopyToDir("/copies/of photos");
  binding.SetViewAllowEnlargeInAutoMode(false);
  binding.SetJobsListWidth(420);
  binding.SetBatchFlags({true, true, true});
}

TEST_F(SettingsBinding, EveryKeySurvivesCloseAndANewWindow) {
  const QString in = TextFromPath(MakeFolder("in & out"));
  const QString out = TextFromPath(MakeFolder("destination "));
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  const TPicaxoSettings firstStart = binding.FromWindow();
  ChangeEveryControl(*form, binding, in, out);
  const TPicaxoSettings changed = binding.FromWindow();
  binding.SaveRegistrySettings();

  // Nothing of the change is lost on the way into the record.
  TPicaxoSettings expected = firstStart;
  expected.MainWindow = changed.MainWindow;
  expected.InputDir = PathFromText(in);
  expected.OutputDir = PathFromText(out);
  expected.Zoom = 4;
  expected.Resize = {.ResizeEnabled = false,
                     .FixedLongerEnabled = false,
                     .FixedAreaEnabled = false,
                     .PercentEnabled = false,
                     .FixedFitEnabled = true,
                     .LongerPixels = 1234,
                     .AreaPixels = 777,
                     .Percent = 250,
                     .FixedFitWidth = 1600,
                     .FixedFitHeight = 1200,
                     .PaddedFitEnabled = true,
                     .PaddedAlignment = 9,
                     .PaddingColor = 0x336699,
                     .AllowEnlarge = true,
                     .JpegQuality = 33,
                     .AlwaysRecompress = true};
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
  EXPECT_NE(file.find("[PicaxoSettings]\n"), std::string::npos);
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
  // The controls themselves, where a record could hide a fault: one rule, the mirrored menu item,
  // the Fit texts.
  EXPECT_FALSE(Named<QRadioButton>(*next, "RBPercent")->isChecked());
  EXPECT_TRUE(Named<QRadioButton>(*next, "RBFixedFit")->isChecked());
  EXPECT_FALSE(Named<QRadioButton>(*next, "RBAlignCenter")->isChecked());
  EXPECT_TRUE(Named<QAction>(*next, "MForceRecompress")->isChecked());
  EXPECT_EQ(Named<QLineEdit>(*next, "EFitWidth")->text(), "1600");
  EXPECT_TRUE(Named<QWidget>(*next, "PanelJobs")->isHidden());
  EXPECT_EQ(Named<QLineEdit>(*next, "EInputDir")->text(), in);
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

TEST_F(SettingsBinding, AFileHoldingOnlyTheQualityChangesOnlyTheQuality) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  const QString folder = TextFromPath(WorkingFolder());
  ChangeEveryControl(*form, binding, folder, folder);
  binding.SetCopyToDir("");
  binding.SetBatchFlags({});
  TPicaxoSettings expected = binding.FromWindow();
  expected.Resize.JpegQuality = 70;

  binding.LoadSettingsFile(Write("only.ini", "[PicaxoSettings]\nJpegQuality=70\n"));
  TPicaxoSettings loaded = binding.FromWindow();
  // Without a stored position the window is centred on the work area, keeping its size.
  const TRect area = WorkAreaOf(*form);
  EXPECT_EQ(loaded.MainWindow.Bounds, RectFromSize(area.Left + (area.Width() / 2 - 300),
                                                   area.Top + (area.Height() / 2 - 225), 600, 450));
  loaded.MainWindow = expected.MainWindow;
  EXPECT_EQ(loaded, expected);
  EXPECT_EQ(Named<QSpinBox>(*form, "UDQuality")->value(), 70);
}

TEST_F(SettingsBinding, RuleButtonsFollowTheLastTrueKeyOrNone) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  auto checked = [&] {
    std::string names;
    for (const char* name : {"RBFixedLonger", "RBFixedArea", "RBPercent", "RBFixedFit"}) {
      if (Named<QRadioButton>(*form, name)->isChecked()) names += name;
    }
    return names;
  };
  binding.LoadSettingsFile(
      Write("both.ini", "[PicaxoSettings]\nFixedAreaEnabled=1\nFixedFitEnabled=1\n"));
  EXPECT_EQ(checked(), "RBFixedFit");
  // A file that clears the chosen rule leaves none chosen, although the buttons are one group.
  binding.LoadSettingsFile(Write("none.ini", "[PicaxoSettings]\nFixedFitEnabled=0\n"));
  EXPECT_EQ(checked(), "");
  EXPECT_FALSE(binding.FromWindow().Resize.FixedFitEnabled);
  // The group stays a radio group afterwards.
  Named<QRadioButton>(*form, "RBFixedArea")->click();
  Named<QRadioButton>(*form, "RBPercent")->click();
  EXPECT_EQ(checked(), "RBPercent");
}

TEST_F(SettingsBinding, AlignmentTakesTheLowSevenBitsAndIgnoresOthers) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  Named<QRadioButton>(*form, "RBAlignLeftTop")->setChecked(true);
  for (const char* value : {"0", "10"}) {
    binding.LoadSettingsFile(
        Write("align.ini", std::string("[PicaxoSettings]\nPaddedAlignment=") + value + "\n"));
    EXPECT_TRUE(Named<QRadioButton>(*form, "RBAlignLeftTop")->isChecked()) << value;
  }
  binding.LoadSettingsFile(Write("align.ini", "[PicaxoSettings]\nPaddedAlignment=133\n"));
  EXPECT_TRUE(Named<QRadioButton>(*form, "RBAlignCenter")->isChecked());
  EXPECT_FALSE(Named<QRadioButton>(*form, "RBAlignLeftTop")->isChecked());
}

TEST_F(SettingsBinding, HandWrittenFilesReadAsTheLayoutSays) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  auto* resize = Named<QCheckBox>(*form, "CBResize");
  for (bool state : {true, false}) {
    resize->setChecked(state);
    binding.LoadSettingsFile(Write("yes.ini", "[PicaxoSettings]\nResizeEnabled=yes\n"));
    EXPECT_EQ(resize->isChecked(), state);
  }
  binding.LoadSettingsFile(Write("hand.ini",
                                 "[Other]\r\nJpegQuality=5\r\n[picaxosettings]\r\n"
                                 "JPEGQUALITY=0x20\r\nPercent=$64\r\nZoom=junk\r\n"));
  EXPECT_EQ(Named<QSpinBox>(*form, "UDQuality")->value(), 32);
  EXPECT_EQ(Named<QSpinBox>(*form, "UDPercent")->value(), 100);
  EXPECT_EQ(Named<QComboBox>(*form, "CBZoom")->currentIndex(), 0);
}

TEST_F(SettingsBinding, SavingOutsidePreviewRemembersTheZoomShown) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  Named<QComboBox>(*form, "CBZoom")->setCurrentIndex(3);
  binding.SetNormalZoom(1);
  binding.SaveSettingsFile(Path("zoom.ini"));
  EXPECT_EQ(binding.NormalZoom(), 3);
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
  Named<QSpinBox>(*form, "UDQuality")->setValue(12);
  const TPicaxoSettings before = binding.FromWindow();
  EXPECT_THROW(binding.LoadSettingsFile(Write("other.ini", "[Other]\nJpegQuality=70\n")),
               std::exception);
  EXPECT_THROW(binding.LoadSettingsFile(Path("missing.ini")), std::exception);
  EXPECT_EQ(binding.FromWindow(), before);
  EXPECT_EQ(binding.fillingCalls, 0);
}

}  // namespace
}  // namespace picaxo
