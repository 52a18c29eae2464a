// The desktop window loads the pictures it moves to in the background: a run of Page Down is
// shown at once, the picture of the image it ends on follows, and a save asked for meanwhile
// waits for that picture rather than saving none or another.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <filesystem>
#include <memory>

#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "jobs/file_remover.h"
#include "support/test_support.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

class BackgroundLoadWindowTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    fs::create_directories(source_);
    fs::create_directories(destination_);
    // Photo-sized, so that a decode takes a while; each one a little wider than the one before.
    for (int i = 0; i < 6; ++i) {
      TRasterImage raster(1600 + 8 * i, 1200);
      for (int y = 0; y < raster.Height(); ++y)
        for (int x = 0; x < 3 * raster.Width(); ++x)
          raster.ScanLine(y)[x] = static_cast<uint8_t>(x * 7 + y * 3 + i * 40);
      TJPEGImage jpeg;
      jpeg.Assign(raster);
      jpeg.Compress();
      std::ofstream(source_ / ("p" + std::to_string(i) + ".jpg"), std::ios::binary)
          << jpeg.CompressedData();
    }
    TForm1Options options;
    options.CommandLineArgument = source_.string();
    options.Prompt = &prompt_;
    options.Remover = &DeletingFileRemover();
    options.BackgroundLoads = true;
    form_ = std::make_unique<TForm1>(options);
    form_->show();
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    for (int i = 0; i < 400 && form_->State().Count() == 0; ++i)
      QTest::qWait(5);
    ASSERT_EQ(form_->State().Count(), 6);
    form_->findChild<QTabBar*>(QStringLiteral("TabControl"))->setCurrentIndex(0);
    form_->findChild<QLineEdit*>(QStringLiteral("EOutputDir"))
        ->setText(QString::fromStdString(destination_.string()));
  }
  QString Text(const char* name) {
    if (auto* edit = form_->findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
    return form_->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }

  const fs::path source_ = dir_ / "src";
  const fs::path destination_ = dir_ / "out";
  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(BackgroundLoadWindowTest, PageDownMovesAtOnceAndASaveWaitsForThePictureItMovedTo) {
  for (int i = 0; i < 5; ++i)
    QTest::keyClick(form_->windowHandle(), Qt::Key_PageDown);
  EXPECT_EQ(Text("EInFilename"), "p5");
  form_->findChild<QAction*>(QStringLiteral("MSave"))->trigger();
  EXPECT_FALSE(form_->State().LoadPending());
  EXPECT_EQ(Text("LOriginalSize"), "1640x1200");
  EXPECT_EQ(LoadSourceImage((destination_ / "p5.jpg").string()).Width(),
            820);  // half, as the default settings save

  // Back one: the window's own polling shows the picture once it arrived.
  QTest::keyClick(form_->windowHandle(), Qt::Key_PageUp);
  EXPECT_EQ(Text("EInFilename"), "p4");
  for (int i = 0; i < 1000 && form_->State().LoadPending(); ++i)
    QTest::qWait(2);
  EXPECT_EQ(Text("LOriginalSize"), "1632x1200");
  EXPECT_EQ(form_->findChild<TImgViewBox*>(QStringLiteral("ImgViewBox1"))->Bitmap().Width(), 1632);
}

}  // namespace
}  // namespace picaxo
