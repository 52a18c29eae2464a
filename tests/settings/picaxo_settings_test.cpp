#include "settings/picaxo_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "temp_config.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

constexpr TRect kWorkArea{0, 0, 1920, 1040};

using SettingsFile = TempConfig;

// A record in which every value differs from its first-start value.
TPicaxoSettings ChangedSettings() {
  TPicaxoSettings s;
  s.MainWindow.Bounds = {100, 50, 900, 650};
  s.MainWindow.State = TWindowState::Maximized;
  s.InputDir = "/photos/in dir\\with backslash";
  s.OutputDir = "/photos/out ";  // a trailing blank survives the round trip
  s.Zoom = 3;
  s.Resize.JpegQuality = 70;
  s.Resize.ResizeEnabled = false;
  s.Resize.PercentEnabled = false;
  s.Resize.FixedAreaEnabled = true;
  s.Resize.LongerPixels = 1200;
  s.Resize.AreaPixels = 900;
  s.Resize.Percent = 250;
  s.Resize.AllowEnlarge = true;
  s.ViewAllowEnlargeInAutoMode = false;
  s.Resize.FixedFitWidth = 2000000000;
  s.Resize.FixedFitHeight = 7;
  s.Resize.PaddedFitEnabled = true;
  s.Resize.PaddedAlignment = 9;
  s.Resize.PaddingColor = 0xFFFFFFFF;
  s.RecursiveInput = true;
  s.LosslessRotate = false;
  s.Resize.AlwaysRecompress = true;
  s.CopyToDir = "/copies";
  s.ShowJobsList = false;
  s.JobsListWidth = 500;
  s.JobsListColWidths = {1, 2, 3};
  s.NormalZoom = 5;
  s.BatchJobOverwriteAll = true;
  s.BatchJobOverwriteNone = true;
  s.BatchJobCreateAllDirs = true;
  s.AutoOrient = false;
  s.Resize.ColorProfile = 1;
  s.Resize.Metadata = 2;
  s.BatchWorkers = 3;
  s.Resize.OutputFormat = 3;
  return s;
}

TPicaxoSettings LoadText(SettingsFile& test, const std::string& text,
                         const TPicaxoSettings& start = {}) {
  TPicaxoSettings settings = start;
  LoadSettingsFile(test.Write("load.ini", text), settings, kWorkArea);
  return settings;
}

TEST_F(SettingsFile, SaveThenLoadReproducesEveryValueInTableOrder) {
  const TPicaxoSettings saved = ChangedSettings();
  const std::string path = Path("PicaxoSettings.ini");
  SaveSettingsFile(path, saved, kWorkArea);
  EXPECT_EQ(Read(path),
            "[PicaxoSettings]\nMainTop=50\nMainLeft=100\nMainHeight=600\nMainWidth=800\n"
            "MainState=2\nInputDir=/photos/in dir\\with backslash\nOutputDir=/photos/out \n"
            "Zoom=3\nJpegQuality=70\nResizeEnabled=0\nFixedLongerEnabled=0\n"
            "FixedAreaEnabled=1\nPercentEnabled=0\nFixedFitEnabled=0\nLongerPixels=1200\n"
            "AreaPixels=900\nPercent=250\nAllowEnlarge=1\nViewAllowEnlargeInAutoMode=0\n"
            "FixedFitWidth=2000000000\nFixedFitHeight=7\nPaddedFitEnabled=1\n"
            "PaddedAlignment=9\nPaddingColor=-1\nRecursiveInput=1\nLosslessRotate=0\n"
            "AlwaysRecompress=1\nCopyToDir=/copies\nShowJobsList=0\nJobsListWidth=500\n"
            "JobsListColWidth0=1\nJobsListColWidth1=2\nJobsListColWidth2=3\nNormalZoom=5\n"
            "BatchJobOverwriteAll=1\nBatchJobOverwriteNone=1\nBatchJobCreateAllDirs=1\n"
            "AutoOrient=0\nColorProfile=1\nMetadata=2\nOutputFormat=3\nBatchWorkers=3\n");
  TPicaxoSettings loaded;
  LoadSettingsFile(path, loaded, kWorkArea);
  EXPECT_EQ(loaded, saved);

  // Saving again into the same file changes nothing, and other sections survive.
  const std::string withOther = "[Mine]\nkeep=1\n" + Read(path);
  Write("PicaxoSettings.ini", withOther);
  SaveSettingsFile(path, loaded, kWorkArea);
  EXPECT_EQ(Read(path), withOther);
}

TEST_F(SettingsFile, ARefusedValueLeavesTheOldFileUntouched) {
  const std::string path = Write("kept.ini", "[PicaxoSettings]\nZoom=2\n");
  TPicaxoSettings bad = ChangedSettings();
  bad.CopyToDir = "/copies\nJpegQuality=1";  // would read back as another key
  try {
    SaveSettingsFile(path, bad, kWorkArea);
    FAIL() << "no error";
  } catch (const EPicaxoError& e) {
    EXPECT_NE(std::string(e.what()).find("kept.ini\" was not written."), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(Read(path), "[PicaxoSettings]\nZoom=2\n");
  EXPECT_FALSE(fs::exists(Path("fresh.ini")));
  EXPECT_THROW(SaveSettingsFile(Path("fresh.ini"), bad, kWorkArea), EPicaxoError);
  EXPECT_FALSE(fs::exists(Path("fresh.ini")));
}

TEST_F(SettingsFile, FirstStartDefaults) {
  const TPicaxoSettings s;
  EXPECT_EQ(s.InputDir, fs::current_path().string());
  EXPECT_EQ(s.OutputDir, s.InputDir);
  EXPECT_EQ(s.Zoom, 0);
  EXPECT_TRUE(s.ShowJobsList);
  EXPECT_EQ(s.Resize, TResizeSettings{});
  EXPECT_EQ(s.JobsListWidth, 368);
  EXPECT_EQ(s.MainWindow.Bounds.Width(), 686);
  EXPECT_EQ(s.MainWindow.Bounds.Height(), 544);

  // Nothing stored: the window is centred and everything else stays as it is.
  TPicaxoSettings loaded;
  LoadRegistrySettings(loaded, kWorkArea);
  TPicaxoSettings expected;
  expected.MainWindow.Bounds = {617, 248, 617 + 686, 248 + 544};
  EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsFile, AFileWithOnlyTheQualityChangesOnlyTheQuality) {
  const TPicaxoSettings start;
  TPicaxoSettings expected = start;
  expected.Resize.JpegQuality = 70;
  TPicaxoSettings loaded = LoadText(*this, "[PicaxoSettings]\nJpegQuality=70\n", start);
  EXPECT_EQ(loaded, expected);  // the window is not moved either
}

// A file the user loads changes only the keys it holds: not the folders (which would scan the
// list again and lose every image's settings), the window, the "Copy to..." folder or the batch
// answers.
TEST_F(SettingsFile, MissingKeysOfAFileChangeNothing) {
  const TPicaxoSettings start = ChangedSettings();
  TPicaxoSettings expected = start;
  expected.Zoom = 1;
  EXPECT_EQ(LoadText(*this, "[PicaxoSettings]\nZoom=1\n", start), expected);
  // A size without a position keeps the window's place.
  expected.MainWindow.Bounds = RectFromSize(100, 50, 700, 600);
  EXPECT_EQ(LoadText(*this, "[PicaxoSettings]\nZoom=1\nMainWidth=700\n", start), expected);
}

// The per-user store at start: the folders fall back to the working folder, the "Copy to..."
// folder to none, the batch answers to no, and a window without a position is centred.
TEST_F(SettingsFile, MissingKeysAtStartResetFoldersCopyToDirAndBatchFlags) {
  TPicaxoSettings start = ChangedSettings();
  TPicaxoSettings loaded = start;
  const TIniSettingsStore store(Write("start.ini", "[PicaxoSettings]\nZoom=1\n"));
  LoadSettings(store, loaded, kWorkArea, TMissingKeys::StartDefaults);
  EXPECT_EQ(loaded.Zoom, 1);
  EXPECT_EQ(loaded.InputDir, WorkingFolder());
  EXPECT_EQ(loaded.OutputDir, WorkingFolder());
  EXPECT_EQ(loaded.CopyToDir, "");
  EXPECT_FALSE(loaded.BatchJobOverwriteAll);
  EXPECT_FALSE(loaded.BatchJobOverwriteNone);
  EXPECT_FALSE(loaded.BatchJobCreateAllDirs);
  EXPECT_EQ(loaded.MainWindow.Bounds, RectFromSize(560, 220, 800, 600));  // centred, no position
  loaded.MainWindow = start.MainWindow;
  loaded.Zoom = start.Zoom;
  loaded.InputDir = start.InputDir;
  loaded.OutputDir = start.OutputDir;
  loaded.CopyToDir = start.CopyToDir;
  loaded.BatchJobOverwriteAll = loaded.BatchJobOverwriteNone = loaded.BatchJobCreateAllDirs = true;
  EXPECT_EQ(loaded, start);
}

TEST_F(SettingsFile, RuleKeysActLikeRadioButtons) {
  TPicaxoSettings loaded =
      LoadText(*this, "[PicaxoSettings]\nFixedAreaEnabled=1\nFixedFitEnabled=1\n");
  EXPECT_TRUE(loaded.Resize.FixedFitEnabled);
  EXPECT_FALSE(loaded.Resize.FixedAreaEnabled);
  EXPECT_FALSE(loaded.Resize.PercentEnabled);
  EXPECT_FALSE(loaded.Resize.FixedLongerEnabled);

  // A false value clears its own button and never chooses another rule.
  loaded = LoadText(*this, "[PicaxoSettings]\nFixedLongerEnabled=0\nFixedAreaEnabled=0\n");
  EXPECT_TRUE(loaded.Resize.PercentEnabled);
  loaded = LoadText(*this, "[PicaxoSettings]\nPercentEnabled=0\n");
  EXPECT_FALSE(SelectedRule(loaded.Resize).has_value());
}

TEST_F(SettingsFile, PaddedAlignmentTakesTheLowSevenBitsOfOneToNine) {
  TPicaxoSettings start;
  start.Resize.PaddedAlignment = 3;
  EXPECT_EQ(LoadText(*this, "[PicaxoSettings]\nPaddedAlignment=0\n", start).Resize.PaddedAlignment,
            3);
  EXPECT_EQ(LoadText(*this, "[PicaxoSettings]\nPaddedAlignment=10\n", start).Resize.PaddedAlignment,
            3);
  EXPECT_EQ(
      LoadText(*this, "[PicaxoSettings]\nPaddedAlignment=133\n", start).Resize.PaddedAlignment, 5);
  EXPECT_EQ(LoadText(*this, "[PicaxoSettings]\nPaddedAlignment=-1\n", start).Resize.PaddedAlignment,
            3);  // low 7 bits 127
  EXPECT_EQ(
      LoadText(*this, "[PicaxoSettings]\nPaddedAlignment=0x88\n", start).Resize.PaddedAlignment, 8);
}

TEST_F(SettingsFile, TextsThatAreNotNumbersKeepTheCurrentValue) {
  TPicaxoSettings start;
  start.Resize.ResizeEnabled = false;
  const TPicaxoSettings loaded = LoadText(
      *this, "[PicaxoSettings]\nResizeEnabled=yes\nJpegQuality=high\nPercent=$4B\nZoom=0x2\n",
      start);
  EXPECT_FALSE(loaded.Resize.ResizeEnabled);
  EXPECT_EQ(loaded.Resize.JpegQuality, 85);
  EXPECT_EQ(loaded.Resize.Percent, 75);
  EXPECT_EQ(loaded.Zoom, 2);
}

TEST_F(SettingsFile, OutOfRangeNumbersAreClampedToTheControlsRange) {
  const TPicaxoSettings loaded =
      LoadText(*this,
               "[PicaxoSettings]\nJpegQuality=500\nLongerPixels=70000\nAreaPixels=-4\nPercent=0\n"
               "FixedFitWidth=0\nFixedFitHeight=-5\nZoom=9\nPaddingColor=0x00FF8040\n"
               "ColorProfile=7\nMetadata=-1\nOutputFormat=9\n");
  EXPECT_EQ(loaded.Resize.JpegQuality, 100);
  EXPECT_EQ(loaded.Resize.LongerPixels, 10000);
  EXPECT_EQ(loaded.Resize.AreaPixels, 10);
  EXPECT_EQ(loaded.Resize.Percent, 1);
  EXPECT_EQ(loaded.Resize.FixedFitWidth, 1024);  // the Fit edits ignore sizes below 1
  EXPECT_EQ(loaded.Resize.FixedFitHeight, 800);
  EXPECT_EQ(loaded.Zoom, 5);
  EXPECT_EQ(loaded.Resize.PaddingColor, 0x00FF8040u);
  EXPECT_EQ(loaded.Resize.ColorProfile, 2);
  EXPECT_EQ(loaded.Resize.Metadata, 0);
  EXPECT_EQ(loaded.Resize.OutputFormat, 3);
}

TEST_F(SettingsFile, HandWrittenWindowsFileWithOtherCaseReadsBackUnchanged) {
  const TPicaxoSettings loaded =
      LoadText(*this,
               "[picaxosettings]\r\ninputdir=C:\\My Photos\\Summer 2023\r\n"
               "OUTPUTDIR=/home/me/Web Export\r\njpegquality=0x46\r\nCopyToDir=D:\\a b\\c\r\n");
  EXPECT_EQ(loaded.InputDir, "C:\\My Photos\\Summer 2023");
  EXPECT_EQ(loaded.OutputDir, "/home/me/Web Export");
  EXPECT_EQ(loaded.CopyToDir, "D:\\a b\\c");
  EXPECT_EQ(loaded.Resize.JpegQuality, 70);
}

TEST_F(SettingsFile, FilesThatAreNoSettingsFileAreReportedToTheCommandLine) {
  TPicaxoSettings settings;
  EXPECT_THROW(LoadSettingsFile(Path("none.ini"), settings), EPicaxoError);
  EXPECT_THROW(LoadSettingsFile(Write("other.ini", "[Other]\nJpegQuality=1\n"), settings),
               EPicaxoError);
  EXPECT_THROW(LoadSettingsFile(MakeFolder("folder.ini"), settings), EPicaxoError);
  EXPECT_EQ(settings, TPicaxoSettings{});

  TResizeSettings current;
  current.Percent = 20;
  const TResizeSettings read =
      LoadResizeSettingsFile(Write("r.ini", "[PicaxoSettings]\nJpegQuality=60\n"), current);
  EXPECT_EQ(read.JpegQuality, 60);
  EXPECT_EQ(read.Percent, 20);
}

// A store whose reads or writes fail from the given key on, as a registry value of an
// unexpected kind would.
class FailingStore final : public TSettingsStore {
 public:
  FailingStore(TIniDocument document, std::string failAt)
      : document_(std::move(document)), failAt_(std::move(failAt)) {}
  TIniDocument document_;

 protected:
  std::optional<std::string> ReadValue(std::string_view section,
                                       std::string_view key) const override {
    if (key == failAt_) throw EPicaxoError("wrong kind");
    return document_.Find(section, key);
  }
  void WriteValue(std::string_view section, std::string_view key, std::string_view value) override {
    if (key == failAt_) throw EPicaxoError("cannot write");
    document_.Set(section, key, value);
  }

 private:
  std::string failAt_;
};

TEST(SettingsErrors, AnErrorEndsThePassSilentlyAndKeepsWhatWasDone) {
  FailingStore store(TIniDocument("[PicaxoSettings]\nZoom=2\nJpegQuality=50\nPercent=20\n"),
                     "PercentEnabled");
  TPicaxoSettings settings;
  EXPECT_NO_THROW(LoadSettings(store, settings, kWorkArea));
  EXPECT_EQ(settings.Zoom, 2);
  EXPECT_EQ(settings.Resize.JpegQuality, 50);
  EXPECT_EQ(settings.Resize.Percent, 50);  // after the failing key: not read

  // Loading applies the keys in the window's order, not in the file's: the fit size comes before
  // AllowEnlarge, NormalZoom after it.
  FailingStore ordered(
      TIniDocument("[PicaxoSettings]\nFixedFitWidth=99\nNormalZoom=4\nPaddingColor=7\n"),
      "AllowEnlarge");
  TPicaxoSettings partly;
  LoadSettings(ordered, partly, kWorkArea);
  EXPECT_EQ(partly.Resize.FixedFitWidth, 99);
  EXPECT_EQ(partly.Resize.PaddingColor, 7u);
  EXPECT_EQ(partly.NormalZoom, 0);

  // A refused value is an error of the save, so that no caller flushes half of the keys.
  FailingStore target(TIniDocument(), "Zoom");
  EXPECT_THROW(SaveSettings(target, ChangedSettings(), kWorkArea), EPicaxoError);

  // A failing placement key ends only the placement.
  FailingStore placement(TIniDocument("[PicaxoSettings]\nMainTop=5\nZoom=4\n"), "MainLeft");
  TPicaxoSettings placed;
  LoadSettings(placement, placed, kWorkArea);
  EXPECT_EQ(placed.Zoom, 4);
}

TEST_F(SettingsFile, TheRegistryStoreRoundTripsAndAnUnwritableOneChangesNothing) {
  const TPicaxoSettings saved = ChangedSettings();
  SaveRegistrySettings(saved, kWorkArea);
  TPicaxoSettings loaded;
  LoadRegistrySettings(loaded, kWorkArea);
  EXPECT_EQ(loaded, saved);
  const std::string before = Read(UserFile());

  // The configuration folder lies below a file: no folder can be made, nothing is raised.
  ::setenv("XDG_CONFIG_HOME", Write("blocker", "x").append("/config").c_str(), 1);
  EXPECT_NO_THROW(SaveRegistrySettings(TPicaxoSettings{}, kWorkArea));
  TPicaxoSettings untouched = saved;
  EXPECT_NO_THROW(LoadRegistrySettings(untouched, kWorkArea));
  EXPECT_EQ(untouched.Resize, saved.Resize);
  EXPECT_EQ(Read(Path("blocker")), "x");

  // A value the file cannot hold fails before anything is written: the old file stays whole.
  ::setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
  TPicaxoSettings odd = saved;
  odd.Zoom = 1;
  odd.OutputDir = "/a\nb";
  SaveRegistrySettings(odd, kWorkArea);
  const std::string after = Read(UserFile());
  EXPECT_NE(after.find("Zoom=3"), std::string::npos);  // keys after OutputDir keep old values
  EXPECT_EQ(after.find("\nb"), std::string::npos);     // and the line break is never written
  EXPECT_EQ(CountEntries(fs::path(UserFile()).parent_path()), 1);
}

}  // namespace
}  // namespace picaxo
