// The Format choice of the Destination File group: the name, the marker, the saved file and the
// preview follow it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/output_codec.h"
#include "imaging/pipeline.h"
#include "open_form.h"
#include "support/test_support.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

class FormatChoiceTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    fs::create_directories(source_);
    fs::create_directories(destination_);
    TRasterImage raster(120, 80);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 3 * 120; ++x)
        raster.ScanLine(y)[x] = static_cast<uint8_t>(x + 3 * y);
    TJPEGImage jpeg;
    jpeg.Assign(raster);
    jpeg.Compress();
    WriteFileAtomically((source_ / "img01.jpg").string(), jpeg.CompressedData());
    ASSERT_NO_FATAL_FAILURE(testing::OpenFormOnFolder(form_, source_, prompt_, 1));
    Widget<QLineEdit>("EOutputDir")->setText(QString::fromStdString(destination_.string()));
  }
  template <typename T = QWidget>
  T* Widget(const char* name) {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Text(const char* label) { return Widget<QLabel>(label)->text(); }
  void Choose(int format) {
    auto* box = Widget<QComboBox>("CBFormat");
    box->setCurrentIndex(format);
    emit box->activated(format);
  }

  const fs::path source_ = dir_ / "src";
  const fs::path destination_ = dir_ / "out";
  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(FormatChoiceTest, NameMarkerSavedFileAndPreviewFollowTheFormat) {
  EXPECT_EQ(Widget<QComboBox>("CBFormat")->currentText(), "JPEG");
  EXPECT_EQ(Text("LExtOut"), ".jpg");

  Choose(static_cast<int>(EOutputFormat::WebP));
  EXPECT_EQ(Text("LExtOut"), ".webp");
  EXPECT_EQ(form_->State().Settings().OutputFormat, 1);
  Widget<QAbstractButton>("TBSave")->click();
  const fs::path webp = destination_ / "img01.webp";
  ASSERT_TRUE(fs::exists(webp));
  EXPECT_FALSE(fs::exists(destination_ / "img01.jpg"));
  const std::string bytes = ReadWholeFile(webp.string());
  EXPECT_TRUE(FileHoldsFormat(bytes, EImageFormat::WebP));
  EXPECT_EQ(Text("LFileExists"), "X");

  // The preview is the saved file decoded, and its size label is that file's size.
  Widget<QAbstractButton>("TBPreview")->click();
  EXPECT_EQ(Text("LImageFileSize").toStdString(),
            SizeAndRatioText(static_cast<int64_t>(bytes.size()), 60, 40, TRatio::Include));
  const TRasterImage& shown = Widget<TImgViewBox>("ImgViewBox1")->Bitmap();
  const TRasterImage decoded = DecodeWebP(bytes);
  ASSERT_EQ(shown.Width(), 60);
  for (int y = 0; y < 40; ++y)
    EXPECT_EQ(0, std::memcmp(shown.ScanLine(y), decoded.ScanLine(y), 3 * 60)) << "row " << y;

  // PNG: no quality to choose, and its file does not exist yet.
  Choose(static_cast<int>(EOutputFormat::Png));
  EXPECT_EQ(Text("LExtOut"), ".png");
  EXPECT_EQ(Text("LFileExists"), "");
  EXPECT_FALSE(Widget<QSpinBox>("UDQuality")->isEnabled());
  Widget<QAbstractButton>("TBPreview")->click();
  Widget<QAbstractButton>("TBSave")->click();
  EXPECT_TRUE(
      FileHoldsFormat(ReadWholeFile((destination_ / "img01.png").string()), EImageFormat::Png));
}

}  // namespace
}  // namespace picaxo
