// The main window's settings, recent folders and placement as a user meets them: settings changed
// in the real window are there after it is closed and started again, and the per-user file holds
// them.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "imaging/color_profile.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/raster.h"
#include "jobs/file_remover.h"
#include "modal_helper.h"
#include "settings/temp_config.h"
#include "support/adobe_rgb.h"
#include "ui/main_window.h"
#include "ui/main_window_settings.h"
#include "ui/recent_menu.h"
#include "ui/window_placement.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using testing::WhenModal;

void WriteJpeg(const fs::path& path) {
  TRasterImage raster(32, 24);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  std::ofstream(path, std::ios::binary) << jpeg.CompressedData();
}

class MainWindowSettings : public TempConfig {
 protected:
  // A folder holding count small photos.
  std::string PhotoFolder(const std::string& name, int count) {
    const std::string folder = MakeFolder(name);
    for (int i = 0; i < count; ++i)
      WriteJpeg(fs::path(folder) / ("p" + std::to_string(i) + ".jpg"));
    return folder;
  }

  // Starts the program as a user would, optionally with a folder argument; the first scan has run
  // when this returns.
  void Start(const std::string& argument = "") {
    TForm1Options options;
    options.CommandLineArgument = argument;
    options.Prompt = &prompt_;
    options.Remover = &DeletingFileRemover();
    form_ = std::make_unique<TForm1>(options);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    for (int i = 0; i < 200 && form_->State().SourceFolder().empty(); ++i)
      QTest::qWait(5);
  }
  void Close() {
    form_->close();
    form_.reset();
  }

  template <typename T = QWidget>
  T* Widget(const char* name) {
    T* widget = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const char* field) { return Widget<QLineEdit>(field)->text(); }
  QStringList Hints(const char* menu) {
    QStringList hints;
    for (const QAction* action : Widget<QMenu>(menu)->actions())
      hints << (action->isEnabled() ? action->statusTip() : action->text());
    return hints;
  }
  // Applies a settings file to the running window as Load Settings does, without the dialogs.
  void LoadFile(const std::string& keys) {
    TForm1Settings(*form_).LoadSettingsFile(Write("load.ini", "[PicaxoSettings]\r\n" + keys));
  }
  std::string CheckedRules() {
    std::string names;
    for (const char* name : {"RBFixedLonger", "RBFixedArea", "RBPercent", "RBFixedFit"}) {
      if (Widget<QRadioButton>(name)->isChecked()) names += name;
    }
    return names;
  }
  bool Holds(const std::string& line) {
    return ("\n" + Read(UserFile())).find("\n" + line + "\n") != std::string::npos;
  }

  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(MainWindowSettings, WhatTheUserSetIsThereAfterARestart) {
  const std::string source = PhotoFolder("photos", 2);
  const std::string destination = MakeFolder("web");
  Start(source);
  form_->move(30, 20);
  form_->resize(720, 580);
  Widget<QLineEdit>("EOutputDir")->setText(TextFromPath(destination));
  form_->SelectZoomIndex(2);
  Widget<QSpinBox>("UDQuality")->setValue(66);
  Widget<QRadioButton>("RBFixedFit")->click();
  Widget<QLineEdit>("EFitWidth")->setText("1500");
  Widget<QCheckBox>("CBPaddedFit")->click();
  Widget<QRadioButton>("RBAlignLeftBottom")->click();
  WhenModal<QColorDialog>([](QColorDialog* dialog) {
    dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
    dialog->accept();
  });
  QTest::mouseClick(Widget("PaddedFitColorPanel"), Qt::LeftButton);
  Widget<QCheckBox>("CBAllowEnlarge")->click();
  Widget<QCheckBox>("CBForceRecompress")->click();
  Widget<QAction>("Recursiveinputdirs1")->trigger();
  Widget<QTabBar>("TabControl")->setCurrentIndex(1);
  auto* splitter = Widget<QSplitter>("Splitter1");
  const int total = splitter->sizes()[0] + splitter->sizes()[1];
  splitter->setSizes({300, total - 300});
  ASSERT_EQ(Widget("PanelJobs")->width(), 300);
  Close();

  const std::vector<std::string> lines = {"MainTop=20",
                                          "MainLeft=30",
                                          "MainHeight=580",
                                          "MainWidth=720",
                                          "MainState=0",
                                          "InputDir=" + source,
                                          "OutputDir=" + destination,
                                          "Zoom=2",
                                          "JpegQuality=66",
                                          "PercentEnabled=0",
                                          "FixedFitEnabled=1",
                                          "FixedFitWidth=1500",
                                          "FixedFitHeight=800",
                                          "PaddedFitEnabled=1",
                                          "PaddedAlignment=7",
                                          "PaddingColor=" + std::to_string(0x302010),
                                          "AllowEnlarge=1",
                                          "AlwaysRecompress=1",
                                          "RecursiveInput=1",
                                          "LosslessRotate=1",
                                          "ShowJobsList=1",
                                          "NormalZoom=2",
                                          "CopyToDir=",
                                          "File0=" + source};
  for (const std::string& line : lines)
    EXPECT_TRUE(Holds(line)) << line << "\n" << Read(UserFile());
  const std::string first = Read(UserFile());

  Start();
  EXPECT_EQ(form_->pos(), QPoint(30, 20));
  EXPECT_EQ(form_->size(), QSize(720, 580));
  EXPECT_EQ(Text("EInputDir"), TextFromPath(source));
  EXPECT_EQ(form_->State().Count(), 2);  // the stored source folder was read
  EXPECT_EQ(Text("EOutputDir"), TextFromPath(destination));
  EXPECT_EQ(Widget<QComboBox>("CBZoom")->currentIndex(), 2);
  EXPECT_EQ(Widget<QSpinBox>("UDQuality")->value(), 66);
  EXPECT_TRUE(Widget<QRadioButton>("RBFixedFit")->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>("RBPercent")->isChecked());
  EXPECT_EQ(Text("EFitWidth"), "1500");
  EXPECT_TRUE(Widget("EFitWidth")->isVisible());
  EXPECT_TRUE(Widget<QCheckBox>("CBPaddedFit")->isChecked());
  EXPECT_TRUE(Widget<QRadioButton>("RBAlignLeftBottom")->isChecked());
  EXPECT_EQ(Widget("PaddedFitColorPanel")->palette().color(QPalette::Window),
            QColor(0x10, 0x20, 0x30));
  EXPECT_TRUE(Widget<QCheckBox>("CBAllowEnlarge")->isChecked());
  EXPECT_TRUE(Widget<QCheckBox>("CBForceRecompress")->isChecked());
  EXPECT_TRUE(Widget<QAction>("MForceRecompress")->isChecked());
  EXPECT_TRUE(Widget<QAction>("Recursiveinputdirs1")->isChecked());
  EXPECT_EQ(Widget<QTabBar>("TabControl")->currentIndex(), 1);
  EXPECT_TRUE(Widget("PanelJobs")->isVisible());
  EXPECT_EQ(Widget("PanelJobs")->width(), 300);
  EXPECT_EQ(Hints("RecentInputDirs1"), QStringList{TextFromPath(source)});
  Close();
  EXPECT_EQ(Read(UserFile()), first);  // repeated start and close change nothing
}

TEST_F(MainWindowSettings, RecentFoldersFollowScansAndSavesAndAreWrittenAfterTheSettings) {
  const std::string photos = PhotoFolder("photos", 1);
  const std::string more = PhotoFolder("more", 1);
  const std::string destination = MakeFolder("web");
  Start(photos);
  EXPECT_EQ(Hints("RecentOutputDirs1"), QStringList{"(none)"});
  Widget<QLineEdit>("EInputDir")->setText(TextFromPath(more));
  QTest::keyClick(Widget("EInputDir"), Qt::Key_Return);
  EXPECT_EQ(form_->State().SourceFolder(), more);
  EXPECT_EQ(Hints("RecentInputDirs1"), (QStringList{TextFromPath(more), TextFromPath(photos)}));
  Widget<QLineEdit>("EOutputDir")->setText(TextFromPath(destination));
  Widget<QAction>("MSave")->trigger();
  EXPECT_EQ(Hints("RecentOutputDirs1"), QStringList{TextFromPath(destination)});

  // Choosing a folder makes it the source folder and reads it.
  Widget<QMenu>("RecentInputDirs1")->actions()[1]->trigger();
  EXPECT_EQ(Text("EInputDir"), TextFromPath(photos));
  EXPECT_EQ(form_->State().SourceFolder(), photos);
  EXPECT_EQ(Hints("RecentInputDirs1"), (QStringList{TextFromPath(photos), TextFromPath(more)}));
  Close();

  const std::string file = Read(UserFile());
  const size_t settings = file.find("[PicaxoSettings]");
  const size_t input = file.find("[MRUInput]\nFile0=" + photos + "\nFile1=" + more + "\n");
  const size_t output = file.find("[MRUOutput]\nFile0=" + destination + "\n");
  ASSERT_NE(input, std::string::npos) << file;
  ASSERT_NE(output, std::string::npos) << file;
  EXPECT_LT(settings, input);
  EXPECT_LT(input, output);
}

TEST_F(MainWindowSettings, LoadSettingsUpdatesTheRuleControlsAndReadsTheSourceFolder) {
  const std::string photos = PhotoFolder("photos", 1);
  const std::string more = PhotoFolder("more", 3);
  Start(photos);
  // Chooses the file in the Load Settings dialog; the message that follows is returned.
  auto load = [&](const std::string& keys) {
    const std::string path = Write("mine.ini", "[PicaxoSettings]\r\n" + keys);
    QString message;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->accept();
      });
      QTest::qWait(200);  // the dialog reads its folder first
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(TextFromPath(path));
      static_cast<QDialog*>(dialog)->accept();
    });
    Widget<QAction>("LoadSettings1")->trigger();
    return message;
  };
  EXPECT_EQ(load("InputDir=" + more + "\r\nFixedFitEnabled=1\r\n"),
            "Settings loaded successfully.");
  EXPECT_TRUE(Widget("EFitWidth")->isVisible());
  EXPECT_FALSE(Widget("UDPercent")->isVisible());
  EXPECT_EQ(form_->State().SourceFolder(), more);
  EXPECT_EQ(form_->State().Count(), 3);

  // The same folder is not read again, but the labels follow the new settings.
  load("InputDir=" + more + "\r\nPercentEnabled=1\r\nPercent=25\r\n");
  EXPECT_EQ(Widget<QLabel>("LNewDimension")->text(), "8x6");
}

// A file holding one key changes that key alone: the folders stay, the list is not read again (so
// what the user set for each image stays), the window does not move and the batch answers stay.
TEST_F(MainWindowSettings, AFileHoldingOnlyTheQualityChangesOnlyTheQuality) {
  const std::string photos = PhotoFolder("photos", 2);
  const std::string out = MakeFolder("out");
  Start(photos);
  Widget<QLineEdit>("EOutputDir")->setText(TextFromPath(out));
  Widget<QRadioButton>("RBFixedArea")->click();
  Widget<QSpinBox>("UDQuality")->setValue(40);
  Widget<QCheckBox>("CBAllowEnlarge")->click();
  Widget<QCheckBox>("CBExcludeOutputFile")->click();
  form_->State().Flags().BatchJobOverwriteAll = true;
  form_->move(form_->pos() + QPoint(7, 5));
  const QPoint place = form_->pos();
  const TFileEntry* entry = form_->State().CurrentEntry();
  ASSERT_TRUE(entry && entry->Excluded);
  TPicaxoSettings expected = TForm1Settings(*form_).Record();

  LoadFile("JpegQuality=71\r\n");
  expected.Resize.JpegQuality = 71;
  EXPECT_EQ(TForm1Settings(*form_).Record(), expected);
  EXPECT_EQ(Widget<QSpinBox>("UDQuality")->value(), 71);
  EXPECT_EQ(CheckedRules(), "RBFixedArea");
  EXPECT_EQ(form_->pos(), place);
  EXPECT_EQ(form_->State().SourceFolder(), photos);
  EXPECT_EQ(Text("EOutputDir"), TextFromPath(out));
  EXPECT_EQ(form_->State().CurrentEntry(), entry);
  EXPECT_TRUE(entry->Excluded);
  EXPECT_TRUE(form_->State().Flags().BatchJobOverwriteAll);
}

TEST_F(MainWindowSettings, RuleButtonsAlignmentAndValuesThatAreNoNumbers) {
  Start(PhotoFolder("photos", 1));
  LoadFile("FixedAreaEnabled=1\r\nFixedFitEnabled=1\r\n");
  EXPECT_EQ(CheckedRules(), "RBFixedFit");
  // A file can clear the chosen rule; the buttons stay one group afterwards.
  LoadFile("FixedFitEnabled=0\r\n");
  EXPECT_EQ(CheckedRules(), "");
  Widget<QRadioButton>("RBFixedArea")->click();
  Widget<QRadioButton>("RBPercent")->click();
  EXPECT_EQ(CheckedRules(), "RBPercent");

  LoadFile("PaddedAlignment=1\r\n");
  for (const char* value : {"0", "10"}) {
    LoadFile(std::string("PaddedAlignment=") + value + "\r\n");
    EXPECT_TRUE(Widget<QRadioButton>("RBAlignLeftTop")->isChecked()) << value;
  }
  LoadFile("PaddedAlignment=133\r\n");
  EXPECT_TRUE(Widget<QRadioButton>("RBAlignCenter")->isChecked());

  for (const char* state : {"0", "1"}) {
    LoadFile(std::string("ResizeEnabled=") + state + "\r\n");
    LoadFile("ResizeEnabled=yes\r\n");
    EXPECT_EQ(Widget<QCheckBox>("CBResize")->isChecked(), state[0] == '1');
  }
}

// The first start takes a sensible part of the screen, centred, and the Batch Resize view shows
// the whole job list (Flags column included) at its designed width beside a useful picture; the
// first exit stores that width.
TEST_F(MainWindowSettings, TheFirstStartShowsTheWholeJobListBesideThePicture) {
  Start(PhotoFolder("photos", 1));
  const TRect area = WorkAreaOf(*form_);
  const TRect first = FirstStartMainWindowSize(area);
  EXPECT_EQ(form_->size(), QSize(int(first.Width()), int(first.Height())));
  EXPECT_GE(form_->width(), std::min(960, int(area.Width())));
  EXPECT_GE(form_->height(), std::min(640, int(area.Height())));
  EXPECT_EQ(form_->pos(), QPoint(area.Left + int(area.Width() / 2 - first.Width() / 2),
                                 area.Top + int(area.Height() / 2 - first.Height() / 2)));
  EXPECT_EQ(Hints("RecentOutputDirs1"), QStringList{"(none)"});
  // The Batch Resize view, with its toolbar and menu.
  EXPECT_EQ(form_->findChild<QTabBar*>("TabControl")->currentIndex(), 1);
  EXPECT_TRUE(form_->findChild<QWidget*>("PanelJobs")->isVisible());
  EXPECT_TRUE(form_->findChild<QWidget*>("ToolBarJobs")->isVisible());
  EXPECT_FALSE(form_->findChild<QWidget*>("Bevel1")->isVisible());
  EXPECT_EQ(Widget("PanelJobs")->width(), 368);
  auto* list = Widget<QTreeView>("LVJobs");
  const QHeaderView* header = list->header();
  EXPECT_LE(header->sectionViewportPosition(2) + header->sectionSize(2), list->viewport()->width());
  EXPECT_GE(Widget("ImgViewBox1")->width(), 200);

  Close();
  EXPECT_TRUE(Holds("JobsListWidth=368"));
}

}  // namespace
}  // namespace picaxo

namespace picaxo {
namespace {

// A photo of one strong colour, stored as Adobe RGB with its profile, and a long comment.
void WriteAdobeRgbPhoto(const fs::path& path) {
  const std::string profile = testing::AdobeRgbProfileBytes();
  TRasterImage raster(32, 24);
  raster.FillRect(0, 0, 32, 24, 0x003020C0);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  const std::string markers =
      IccProfileSegments(profile) + MakeSegment(0xFE, std::string(6000, 'c'));
  std::ofstream(path, std::ios::binary) << InsertSegmentsAfterApp0(jpeg.CompressedData(), markers);
}

TEST_F(MainWindowSettings, ColourProfileAndMetadataMenusRerenderAndAreKept) {
  const std::string source = MakeFolder("adobe");
  WriteAdobeRgbPhoto(fs::path(source) / "a.jpg");
  Start(source);
  QMenu* colour = Widget<QMenu>("ColorProfile1");
  QMenu* metadata = Widget<QMenu>("Metadata1");
  ASSERT_EQ(colour->actions().size(), 3);
  ASSERT_EQ(metadata->actions().size(), 3);
  EXPECT_TRUE(Widget<QMenu>("Options1")->actions().contains(colour->menuAction()));
  for (QAction* item : colour->actions() + metadata->actions()) {
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->statusTip().isEmpty()) << item->objectName().toStdString();
  }
  EXPECT_TRUE(Widget<QAction>("MColorConvert")->isChecked());
  EXPECT_TRUE(Widget<QAction>("MMetadataStrip")->isChecked());

  // The view shows the converted colour; Ignore shows the stored one, decoded again.
  auto red = [this] { return form_->State().Image().Image().ScanLine(10)[3 * 10 + 2]; };
  const int converted = red();
  Widget<QAction>("MColorIgnore")->trigger();
  EXPECT_EQ(form_->State().Settings().ColorProfile, 2);
  EXPECT_GT(std::abs(red() - converted), 10);
  EXPECT_NEAR(red(), 0xC0, 3);

  // The preview's size follows the metadata choice: the comment goes into the saved file.
  Widget<QAction>("MPreview")->trigger();
  const std::string stripped = form_->State().View().ImageFileSizeText;
  Widget<QAction>("MMetadataKeepPublic")->trigger();
  EXPECT_EQ(form_->State().Settings().Metadata, 2);
  EXPECT_NE(form_->State().View().ImageFileSizeText, stripped);
  Close();
  EXPECT_TRUE(Holds("ColorProfile=2"));
  EXPECT_TRUE(Holds("Metadata=2"));

  Start(source);
  EXPECT_TRUE(Widget<QAction>("MColorIgnore")->isChecked());
  EXPECT_TRUE(Widget<QAction>("MMetadataKeepPublic")->isChecked());
  EXPECT_NEAR(red(), 0xC0, 3);
}

TEST_F(MainWindowSettings, BatchWorkersAreOnePerCoreUntilChosenAndAreKept) {
  Start(PhotoFolder("workers", 1));
  EXPECT_TRUE(
      Widget<QMenu>("Options1")->actions().contains(Widget<QMenu>("MBatchWorkers")->menuAction()));
  EXPECT_TRUE(Widget<QAction>("MBatchWorkers0")->isChecked());
  EXPECT_EQ(form_->State().BatchWorkers(), 0u);
  Widget<QAction>("MBatchWorkers1")->trigger();
  EXPECT_EQ(form_->State().BatchWorkers(), 1u);
  Close();
  EXPECT_TRUE(Holds("BatchWorkers=1"));
  Start();
  EXPECT_TRUE(Widget<QAction>("MBatchWorkers1")->isChecked());
  EXPECT_EQ(form_->State().BatchWorkers(), 1u);
  Close();
}

}  // namespace
}  // namespace picaxo
