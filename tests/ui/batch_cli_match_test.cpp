// A batch run through the dialog writes the same files as picaxo-cli batch with the same
// settings: the dialog and its event processing add nothing to the bytes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>
#include <map>

#include "jobs/jobs_test_util.h"
#include "ui/batch_form.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return files;
}

TEST(BatchCliMatch, DialogRunWritesTheFilesOfTheCommandLine) {
  TScratchFolder dir;
  const std::string src = dir / "src";
  const std::string photos = std::string(PICAXO_TESTDATA) + "/photos/";
  fs::create_directories(src + "/sub");
  fs::copy_file(photos + "Path_by_Risto_Saukonpaa.jpg", src + "/path.jpg");
  fs::copy_file(photos + "seeding_by_Clements_Engelhardt.jpg", src + "/sub/seeding.JPG");
  WriteBmp(src + "/sub/drawing.bmp", 640, 90);
  WriteFile(src + "/small.jpg", JpegBytes(120, 80));  // smaller than the frame: padded only

  // The window's part of the run: events between images, texts and progress to the dialog.
  struct TWindow : IJobObserver {
    TBatchForm* form = nullptr;
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    void BatchStatusTextChanged(const std::string& text) override {
      if (form) form->ShowStatusText(text);
    }
    void BatchProgressChanged(int position, int maximum) override {
      if (form) form->ShowProgress(position, maximum);
    }
  } window;
  TScriptedPrompt prompt;
  TAppState state(prompt, window);
  TResizeSettings settings;
  settings.ResizeEnabled = true;
  SelectRule(settings, ResizeRule::Fit);
  settings.FixedFitWidth = 300;
  settings.FixedFitHeight = 200;
  settings.PaddedFitEnabled = true;
  settings.PaddedAlignment = 5;
  settings.PaddingColor = 0x996633;
  settings.JpegQuality = 80;
  state.SetSettings(settings);
  state.SetRecursiveInput(true);
  state.SetSourceFolderField(src);
  state.SetDestinationFolderField(dir / "window");
  state.ScanSourceFolder();
  state.SaveAll([&](TBatchRun& run) {
    TBatchForm form(run, nullptr);
    window.form = &form;
    form.Prepare("");
    form.show();
    // Folders are created without asking, as the command line does.
    QTest::mouseClick(form.findChild<QAbstractButton*>("CBPromptForCreateDir"), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QAbstractButton*>("BStart"), Qt::LeftButton);
    window.form = nullptr;
  });
  ASSERT_EQ(prompt.Questions().size(), 0u);

  const TCliRun cli = RunCli(
      "batch --fit 300x200 --pad 5 --pad-color 336699 --quality 80 "
      "--recursive --jobs 1 " +
      Quote(src) + " " + Quote(dir / "cli"));
  ASSERT_EQ(cli.exitCode, 0) << cli.out;
  const auto dialog = Tree(dir / "window");
  const auto line = Tree(dir / "cli");
  ASSERT_EQ(dialog.size(), 4u);
  ASSERT_EQ(dialog.size(), line.size());
  for (const auto& [name, bytes] : dialog) {
    ASSERT_TRUE(line.count(name)) << name;
    EXPECT_TRUE(bytes == line.at(name)) << name << " differs";  // not printed: megabytes
  }
}

}  // namespace
}  // namespace picaxo
