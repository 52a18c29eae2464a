// The window on a folder holding one picture of every source format, as a user opens it.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QTabBar>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "imaging/jpeg.h"
#include "open_form.h"
#include "support/picture_files.h"
#include "support/test_support.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

struct TFile {
  const char* name;
  int width;
  int height;
};

// Sorted as the list sorts them; every picture has a size of its own.
constexpr TFile kFiles[] = {{"a.jpg", 40, 20},  {"b.JPEG", 42, 22}, {"c.bmp", 44, 24},
                            {"d.png", 46, 26},  {"e.webp", 48, 28}, {"f.heic", 50, 30},
                            {"g.heif", 52, 32}, {"h.AVIF", 54, 34}, {"i.tif", 56, 36},
                            {"j.tiff", 58, 38}};

void MakePicture(const fs::path& folder, const TFile& f) {
  const std::string path = (folder / f.name).string();
  const std::string ext = fs::path(f.name).extension().string();
  if (ext == ".jpg" || ext == ".JPEG") {
    TJPEGImage jpeg;
    TRasterImage grey(f.width, f.height);
    grey.FillRect(0, 0, f.width, f.height, 0x808080);
    jpeg.Assign(grey);
    jpeg.Compress();
    std::ofstream(path, std::ios::binary) << jpeg.CompressedData();
    return;
  }
  if (ext == ".bmp") {
    std::ofstream(path, std::ios::binary) << testing::BlankBmp(f.width, f.height);
    return;
  }
  const std::string pam = (folder / "x.pam").string(), png = (folder / "x.png").string();
  testing::WritePam(pam, f.width, f.height, 4, 255);
  testing::Shell("pamtopng " + pam + " > " + png);
  const std::string q = testing::Quote(path);
  if (ext == ".png") testing::Shell("cp " + png + " " + q);
  if (ext == ".webp") testing::Shell("cwebp -q 80 " + png + " -o " + q);
  if (ext == ".heic" || ext == ".heif") testing::Shell("heif-enc -q 50 " + png + " -o " + q);
  if (ext == ".AVIF") testing::Shell("heif-enc -A -q 50 " + png + " -o " + q);
  if (ext == ".tif" || ext == ".tiff") testing::Shell("pamtotiff -lzw " + pam + " > " + q);
  fs::remove(pam);
  fs::remove(png);
}

class SourceFormatsWindowTest : public testing::TempFolderTest {};

TEST_F(SourceFormatsWindowTest, AFolderOfEveryFormatIsListedAndShown) {
  const fs::path source = dir_ / "src";
  fs::create_directories(source);
  for (const TFile& f : kFiles)
    ASSERT_NO_FATAL_FAILURE(MakePicture(source, f));
  TScriptedPrompt prompt;
  std::unique_ptr<TForm1> form;
  ASSERT_NO_FATAL_FAILURE(testing::OpenFormOnFolder(form, source, prompt, 10));
  auto* size = form->findChild<QLabel*>(QStringLiteral("LOriginalSize"));
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(kFiles[i].name);
    ASSERT_EQ(form->State().CurrentIndex(), i);
    // Each picture decodes: its size is shown and no error is.
    EXPECT_EQ(size->text().toStdString(),
              std::to_string(kFiles[i].width) + "x" + std::to_string(kFiles[i].height));
    EXPECT_TRUE(form->StatusText().empty()) << form->StatusText();
    QTest::keyClick(form->windowHandle(), Qt::Key_PageDown);
    QApplication::processEvents();
  }
  // The Batch Resize view lists every file.
  form->findChild<QTabBar*>(QStringLiteral("TabControl"))->setCurrentIndex(1);
  QApplication::processEvents();
  auto* jobs = form->findChild<QAbstractItemView*>(QStringLiteral("LVJobs"));
  ASSERT_NE(jobs, nullptr);
  ASSERT_EQ(jobs->model()->rowCount(), 10);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(jobs->model()->index(i, 0).data().toString().toStdString(), kFiles[i].name);
}

}  // namespace
}  // namespace picaxo
