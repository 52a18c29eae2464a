// Options > "Auto-Rotate by EXIF" in the real window: a phone portrait shows upright, turning the
// option off shows it as stored at once (view, labels, preview), and the choice is saved.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <memory>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "open_form.h"
#include "settings/temp_config.h"
#include "support/exif_test_util.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"
#include "ui/main_window_settings.h"

namespace picaxo {
namespace {

class AutoOrientOption : public TempConfig {
 protected:
  void Start(const std::string& folder) { testing::OpenFormOnFolder(form_, folder, prompt_, 1); }
  template <typename T>
  T* Widget(const char* name) {
    T* widget = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  int ShownWidth() { return Widget<TImgViewBox>("ImgViewBox1")->Bitmap().Width(); }
  QString OriginalSize() { return Widget<QLabel>("LOriginalSize")->text(); }

  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(AutoOrientOption, ShowsThePortraitUprightAndSwitchingItOffRendersItAsStored) {
  const std::string folder = MakeFolder("photos");
  TRasterImage landscape(64, 48);
  landscape.FillRect(0, 0, 64, 48, 0x00336699);
  TJPEGImage jpeg;
  jpeg.Assign(landscape);
  jpeg.Compress();
  WriteFileAtomically(folder + "/p.jpg", testing::WithOrientation(jpeg.CompressedData(), 6));
  Start(folder);

  QAction* item = Widget<QAction>("MAutoOrient");
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(Widget<QMenu>("Options1")->actions().contains(item));
  EXPECT_TRUE(item->isCheckable());
  EXPECT_TRUE(item->isChecked());
  EXPECT_FALSE(item->statusTip().isEmpty());
  EXPECT_EQ(ShownWidth(), 48);
  EXPECT_EQ(OriginalSize(), QStringLiteral("48x64"));

  item->trigger();
  EXPECT_FALSE(item->isChecked());
  EXPECT_EQ(ShownWidth(), 64);
  EXPECT_EQ(OriginalSize(), QStringLiteral("64x48"));
  // In preview mode the preview is rendered again too.
  Widget<QAction>("MPreview")->trigger();
  EXPECT_EQ(ShownWidth(), 32);  // Percent 50
  item->trigger();
  EXPECT_EQ(ShownWidth(), 24);

  item->trigger();
  form_->close();
  form_.reset();
  EXPECT_NE(Read(UserFile()).find("\nAutoOrient=0"), std::string::npos);
  Start(folder);
  EXPECT_FALSE(Widget<QAction>("MAutoOrient")->isChecked());
  EXPECT_EQ(form_->State().Image().Notes().AppliedOrientation, 1);
}

}  // namespace
}  // namespace picaxo
