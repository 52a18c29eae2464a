// The main window as a user drives it: real widgets on the offscreen platform, found by their
// object names, keys sent to the window as the window system would deliver them, and questions
// answered from a script.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "imaging/raster.h"
#include "jobs/convert.h"
#include "jobs/file_remover.h"
#include "open_form.h"
#include "support/test_support.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A JPEG of width x height with a pattern that differs per seed.
void WriteJpeg(const fs::path& path, int width, int height, int seed) {
  TRasterImage raster(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = raster.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + seed * 40);
      row[3 * x + 1] = static_cast<uint8_t>(y * 5 + seed * 13);
      row[3 * x + 2] = static_cast<uint8_t>((x ^ y) + seed);
    }
  }
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.SetCompressionQuality(90);
  jpeg.Compress();
  std::ofstream(path, std::ios::binary) << jpeg.CompressedData();
}

class MainWindowTest : public testing::TempFolderTest {
 protected:
  void Open(int imageCount, int width = 64, int height = 48) {
    fs::create_directories(source_);
    fs::create_directories(destination_);
    for (int i = 1; i <= imageCount; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "img%02d.jpg", i);
      WriteJpeg(source_ / name, width, height, i);
    }
    ASSERT_NO_FATAL_FAILURE(picaxo::testing::OpenFormOnFolder(form_, source_, prompt_, imageCount));
    Field("EOutputDir")->setText(QString::fromStdString(destination_.string()));
  }

  template <typename T = QWidget>
  T* Widget(const char* name) {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* Field(const char* name) { return Widget<QLineEdit>(name); }
  QLabel* Label(const char* name) { return Widget<QLabel>(name); }
  QAction* Action(const char* name) { return Widget<QAction>(name); }

  // A key as the window system delivers it to the focused widget of the window.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(form_->windowHandle(), key, modifiers);
  }
  void Focus(QWidget* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
  }
  int Current() { return form_->State().CurrentIndex(); }

  const fs::path source_ = dir_ / "src";
  const fs::path destination_ = dir_ / "out";
  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(MainWindowTest, PageKeysMoveTenWithCtrlAndClampToTheList) {
  Open(12);
  form_->State().GoToImage(4);  // image 5 of 12
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(Current(), 11);
  EXPECT_EQ(Field("EInFileNumber")->text(), "12");
  EXPECT_EQ(Label("LFileNumber")->text(), "12");
  form_->State().GoToImage(2);  // image 3
  Key(Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Current(), 0);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Current(), 1);
  EXPECT_EQ(Field("EInFilename")->text(), "img02");
}

TEST_F(MainWindowTest, HomeMovesTheCaretInAnEditAndCtrlHomeShowsTheFirstImage) {
  Open(4);
  form_->State().GoToImage(2);
  QLineEdit* folder = Field("EInputDir");
  Focus(folder);
  folder->setCursorPosition(3);
  Key(Qt::Key_Home);
  EXPECT_EQ(folder->cursorPosition(), 0);
  EXPECT_EQ(Current(), 2);
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Current(), 0);
  // Outside an edit Home and End move at once.
  Focus(Widget("ImgViewBox1"));
  Key(Qt::Key_End);
  EXPECT_EQ(Current(), 3);
}

TEST_F(MainWindowTest, KeypadKeysZoomAndNeverTypeIntoAnEdit) {
  Open(2);
  auto* zoom = Widget<QComboBox>("CBZoom");
  auto* view = Widget<TImgViewBox>("ImgViewBox1");
  ASSERT_EQ(zoom->currentIndex(), 0);
  QLineEdit* name = Field("EOutFilename");
  Focus(name);
  const QString before = name->text();
  Key(Qt::Key_Plus, Qt::KeypadModifier);  // from Auto: 1:1
  EXPECT_EQ(name->text(), before);
  EXPECT_EQ(zoom->currentIndex(), 3);
  EXPECT_EQ(view->Zoom(), ivz11);
  EXPECT_TRUE(Action("MZoom11")->isChecked());
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(zoom->currentIndex(), 1);  // 4:1
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(zoom->currentIndex(), 1);  // nothing beyond 4:1
  Key(Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_EQ(zoom->currentIndex(), 0);
  Key(Qt::Key_Minus, Qt::KeypadModifier);  // from Auto: 1:1 as well
  EXPECT_EQ(zoom->currentIndex(), 3);
  Key(Qt::Key_Minus, Qt::KeypadModifier);
  Key(Qt::Key_Minus, Qt::KeypadModifier);
  Key(Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(zoom->currentIndex(), 5);  // 1:4 is the end
  EXPECT_EQ(view->Zoom(), ivz14);
  Key(Qt::Key_Slash, Qt::KeypadModifier);
  EXPECT_EQ(zoom->currentIndex(), 3);
  EXPECT_EQ(name->text(), before);
}

TEST_F(MainWindowTest, BackspaceReturnsToThePreviousImage) {
  Open(8);
  Focus(Widget("ImgViewBox1"));
  Key(Qt::Key_Backspace);  // nothing before the first move
  EXPECT_EQ(Current(), 0);
  form_->State().GoToImage(1);
  form_->State().GoToImage(6);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Current(), 1);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Current(), 6);
  // Inside an edit Backspace edits.
  QLineEdit* name = Field("EOutFilename");
  Focus(name);
  name->end(false);
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Current(), 6);
  EXPECT_EQ(name->text(), "img0");
}

TEST_F(MainWindowTest, ResizeGroupsFollowTheRuleControls) {
  Open(1);
  auto* resize = Widget<QGroupBox>("GBResize");
  auto* output = Widget<QGroupBox>("GBOutputFile");
  auto* fitPanel = Widget("PaddedFitPanel");
  EXPECT_EQ(resize->height(), 102);  // Percent
  EXPECT_EQ(output->height(), 225);
  EXPECT_FALSE(fitPanel->isVisible());
  Widget<QRadioButton>("RBFixedFit")->click();
  EXPECT_EQ(resize->height(), 121);
  EXPECT_EQ(output->height(), 244);
  EXPECT_TRUE(fitPanel->isVisible());
  EXPECT_TRUE(Field("EFitWidth")->isVisible());
  EXPECT_FALSE(Widget("UDPercent")->isVisible());
  Widget<QCheckBox>("CBPaddedFit")->click();
  EXPECT_EQ(resize->height(), 201);
  EXPECT_EQ(output->height(), 324);
  EXPECT_TRUE(Widget("RBAlignRightBottom")->isVisible());
  // The bottom controls stay anchored to the group's bottom edge.
  auto* exclude = Widget("CBExcludeOutputFile");
  EXPECT_EQ(output->height() - exclude->y(), 22);
  Widget<QCheckBox>("CBResize")->click();  // Resize off: the Fit inputs go
  EXPECT_EQ(resize->height(), 102);
  EXPECT_FALSE(Widget<QRadioButton>("RBFixedFit")->isEnabled());
  EXPECT_EQ(output->height() - exclude->y(), 22);
}

TEST_F(MainWindowTest, FitTextRevertsToTheLastValidValue) {
  Open(1, 1600, 1200);
  Widget<QRadioButton>("RBFixedFit")->click();
  EXPECT_EQ(Label("LNewDimension")->text(), "1024x768");
  QLineEdit* width = Field("EFitWidth");
  Focus(width);
  width->selectAll();
  QTest::keyClicks(width, "abc");
  EXPECT_EQ(width->text(), "abc");
  Focus(Field("EOutFilename"));
  EXPECT_EQ(width->text(), "1024");
  Focus(width);
  width->selectAll();
  QTest::keyClicks(width, "800");
  Key(Qt::Key_Return);
  EXPECT_EQ(Label("LNewDimension")->text(), "800x600");
  width->selectAll();
  QTest::keyClicks(width, "0");
  Focus(Field("EOutFilename"));
  EXPECT_EQ(width->text(), "800");
  EXPECT_EQ(Label("LNewDimension")->text(), "800x600");
}

TEST_F(MainWindowTest, EscapeRestoresTheFocusedField) {
  Open(2);
  QLineEdit* output = Field("EOutputDir");
  // Never left nor confirmed since start: Escape empties it.
  Focus(output);
  Key(Qt::Key_Escape);
  EXPECT_EQ(output->text(), "");
  QTest::keyClicks(output, QString::fromStdString(destination_.string()));
  Key(Qt::Key_Return);
  QTest::keyClicks(output, "/more");
  Key(Qt::Key_Escape);
  EXPECT_EQ(output->text().toStdString(), destination_.string());

  QLineEdit* folder = Field("EInputDir");
  Focus(folder);
  folder->setText("/somewhere/else");
  Key(Qt::Key_Escape);
  EXPECT_EQ(folder->text().toStdString(), form_->State().SourceFolder());

  QLineEdit* name = Field("EInFilename");
  Focus(name);
  QTest::keyClicks(name, "xyz");
  Key(Qt::Key_Escape);
  EXPECT_EQ(name->text(), "img01");
  Focus(Widget("ImgViewBox1"));  // leaving after Escape asks nothing
  EXPECT_TRUE(prompt_.Questions().empty());
}

TEST_F(MainWindowTest, PreviewShowsTheSavedBytesAndGivesBackSelectionAndZoom) {
  Open(1, 200, 100);
  auto* view = Widget<TImgViewBox>("ImgViewBox1");
  form_->SelectZoomIndex(4);  // 1:2
  view->SetSelection({10, 10, 109, 59});
  emit view->OnSelectionChange(view);
  EXPECT_EQ(Label("LSelection")->text(), "(10,10) - 100x50");
  EXPECT_EQ(Label("LNewDimension")->text(), "50x25");

  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(Action("MPreview")->isChecked());
  EXPECT_TRUE(Widget<QAbstractButton>("TBPreview")->isChecked());
  EXPECT_FALSE(view->Selectable());
  EXPECT_EQ(Widget<QComboBox>("CBZoom")->currentIndex(), 3);
  EXPECT_EQ(view->Bitmap().Width(), 50);
  EXPECT_EQ(view->Bitmap().Height(), 25);
  EXPECT_FALSE(Label("LImageFileSize")->text().isEmpty());

  Key(Qt::Key_P, Qt::ControlModifier);
  EXPECT_FALSE(Action("MPreview")->isChecked());
  EXPECT_TRUE(view->Selectable());
  EXPECT_EQ(Widget<QComboBox>("CBZoom")->currentIndex(), 4);
  EXPECT_EQ(view->Bitmap().Width(), 200);
  EXPECT_EQ(&view->Bitmap(), &form_->State().Image().Image());  // shown as loaded, not copied
  EXPECT_TRUE(view->HasSelection());
  EXPECT_EQ(view->GetSelection(), (TSelection{10, 10, 109, 59}));
  EXPECT_TRUE(Label("LImageFileSize")->text().isEmpty());
}

TEST_F(MainWindowTest, SaveWritesTheCoresConversion) {
  Open(2, 300, 200);
  Widget<QSpinBox>("UDQuality")->setValue(70);
  Key(Qt::Key_S, Qt::ControlModifier);
  const fs::path saved = destination_ / "img01.jpg";
  ASSERT_TRUE(fs::exists(saved));
  EXPECT_EQ(Label("LFileExists")->text(), "X");
  EXPECT_TRUE(Action("MOutDelete")->isEnabled());

  TFileEntry entry((source_ / "img01.jpg").string(), 0);
  TRasterImage image = LoadSourceImage(entry.FileName);
  TResizeSettings settings;
  settings.JpegQuality = 70;
  std::string expected;
  ASSERT_TRUE(ConvertCurrentImage(&entry, image, std::nullopt, settings, expected));
  EXPECT_EQ(ReadFile(saved), expected);
  EXPECT_NE(form_->StatusText().find("Saved "), std::string::npos);

  // Save and Next writes the second image and stays on it as the last one, with "Finished !".
  form_->State().GoNext();
  prompt_.Push(TPromptButton::OK);
  Key(Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(fs::exists(destination_ / "img02.jpg"));
  ASSERT_EQ(prompt_.Questions().size(), 1u);
  EXPECT_EQ(prompt_.Questions()[0].Text, "Finished !");
}

TEST_F(MainWindowTest, ASaveErrorIsShownAndTheWindowStaysUsable) {
  Open(2);
  Field("EOutputDir")->setText(QString::fromStdString(source_.string()));
  prompt_.Push(TPromptButton::OK);
  Key(Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(prompt_.Questions().size(), 1u);
  EXPECT_EQ(prompt_.Questions()[0].Kind, TPromptKind::Error);
  EXPECT_EQ(prompt_.Questions()[0].Text,
            "You cannot use the same folder for source and destination files.");
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Current(), 1);
}

TEST_F(MainWindowTest, RotationTurnsTheFileAndItsStoredSelection) {
  Open(1, 640, 480);
  auto* view = Widget<TImgViewBox>("ImgViewBox1");
  view->SetSelection({10, 20, 109, 219});
  emit view->OnSelectionChange(view);
  const auto before = fs::last_write_time(source_ / "img01.jpg");
  Key(Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(Label("LOriginalSize")->text(), "480x640");
  EXPECT_EQ(view->Bitmap().Width(), 480);
  EXPECT_EQ(view->GetSelection(), (TSelection{260, 10, 459, 109}));
  EXPECT_EQ(Label("LSelection")->text(), "(260,10) - 200x100");
  EXPECT_EQ(fs::last_write_time(source_ / "img01.jpg"), before);
  Key(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(Label("LOriginalSize")->text(), "640x480");
  EXPECT_EQ(view->GetSelection(), (TSelection{10, 20, 109, 219}));
  EXPECT_TRUE(prompt_.Questions().empty());
}

TEST_F(MainWindowTest, DeleteAsksAndRemovesOnlyOnYes) {
  Open(3);
  form_->State().GoLast();
  Focus(Widget("ImgViewBox1"));
  prompt_.Push(TPromptButton::No);
  Key(Qt::Key_Delete);
  ASSERT_EQ(prompt_.Questions().size(), 1u);
  EXPECT_EQ(prompt_.Questions()[0].Text,
            "Do you want to delete " + (source_ / "img03.jpg").string() + " ?");
  EXPECT_TRUE(fs::exists(source_ / "img03.jpg"));
  EXPECT_EQ(form_->State().Count(), 3);

  prompt_.Push(TPromptButton::Yes);
  Key(Qt::Key_Delete);
  EXPECT_FALSE(fs::exists(source_ / "img03.jpg"));
  EXPECT_EQ(form_->State().Count(), 2);
  EXPECT_EQ(Current(), 1);  // the new last image
  EXPECT_EQ(Field("EInFilename")->text(), "img02");

  // Delete inside an edit edits; with Ctrl it deletes.
  QLineEdit* name = Field("EOutFilename");
  Focus(name);
  name->home(false);
  Key(Qt::Key_Delete);
  EXPECT_EQ(name->text(), "mg02");
  EXPECT_EQ(prompt_.Questions().size(), 2u);
}

TEST_F(MainWindowTest, DeletingTheOnlyImageLeavesNoCurrentImage) {
  Open(1);
  Focus(Widget("ImgViewBox1"));
  prompt_.Push(TPromptButton::Yes);
  Key(Qt::Key_Delete);
  EXPECT_EQ(form_->State().Count(), 0);
  EXPECT_EQ(Field("EInFilename")->text(), "(no source file)");
  EXPECT_FALSE(Action("MInDelete")->isEnabled());
  Key(Qt::Key_Delete);  // disabled: nothing is asked
  EXPECT_EQ(prompt_.Questions().size(), 1u);
}

TEST_F(MainWindowTest, WheelOverTheLeftPanelDoesNotScrollTheView) {
  Open(1, 2000, 1500);
  form_->SelectZoomIndex(3);  // 1:1: the view can scroll
  auto* view = Widget<TImgViewBox>("ImgViewBox1");
  QScrollBar* bar = view->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  auto wheel = [](QWidget* target) {
    const QPoint local = target->rect().center();
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  };
  wheel(Widget("GroupBox1"));
  EXPECT_EQ(bar->value(), 0);
  wheel(view->viewport());
  EXPECT_EQ(bar->value(), 60);
}

TEST_F(MainWindowTest, LayoutCarriesTheNamesCaptionsAndHints) {
  Open(1);
  EXPECT_EQ(form_->windowTitle(), "Picaxo");
  EXPECT_EQ(Widget<QAbstractButton>("TBPrev")->text(), "<< Prev");
  EXPECT_EQ(Widget<QAbstractButton>("TBPrev")->statusTip(), "Previous image [Page Up]");
  EXPECT_TRUE(Widget<QAbstractButton>("TBPrev")->toolTip().isEmpty());
  EXPECT_EQ(Action("MNext")->text(), "Next\tPageDown");
  EXPECT_EQ(Action("MZoomAuto")->text(), "&Auto\tNUM *");
  EXPECT_EQ(Action("MSave")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_FALSE(Action("UseLosslessJPEGrotateofinputfile1")->isVisible());
  EXPECT_TRUE(Action("UseLosslessJPEGrotateofinputfile1")->isChecked());
  EXPECT_EQ(Widget<QComboBox>("CBZoom")->count(), 6);
  EXPECT_EQ(Widget<QComboBox>("CBZoom")->itemText(3), "1:1 [NUM /]");
  EXPECT_EQ(Widget<QSpinBox>("UDQuality")->value(), 85);
  EXPECT_EQ(Widget<QSpinBox>("UDPercent")->value(), 50);
  EXPECT_TRUE(Widget<QRadioButton>("RBPercent")->isChecked());
  EXPECT_NE(form_->findChild<QLineEdit*>("EQuality"), nullptr);
  EXPECT_EQ(Label("LOriginalSize")->text(), "64x48");
  EXPECT_EQ(Label("LNewDimension")->text(), "32x24");
  EXPECT_EQ(Label("LSelection")->text(), "[all]");
  EXPECT_EQ(Label("LExtIn")->text(), ".jpg");
  EXPECT_EQ(Label("LExtOut")->text(), ".jpg");
}

TEST_F(MainWindowTest, EnterInTheSourceNameOffersTheRename) {
  Open(2);
  QLineEdit* name = Field("EInFilename");
  Focus(name);
  name->selectAll();
  QTest::keyClicks(name, "beach");
  prompt_.Push(TPromptButton::Yes);
  Key(Qt::Key_Return);
  ASSERT_EQ(prompt_.Questions().size(), 1u);
  EXPECT_EQ(prompt_.Questions()[0].Text, "Do you want to rename the source file ?");
  EXPECT_TRUE(fs::exists(source_ / "beach.jpg"));
  EXPECT_FALSE(fs::exists(source_ / "img01.jpg"));
  EXPECT_EQ(Field("EOutFilename")->text(), "beach");
  // Leaving after an edit asks too; No keeps the file and gives the box its name back.
  name->selectAll();
  QTest::keyClicks(name, "other");
  prompt_.Push(TPromptButton::No);
  Focus(Field("EOutFilename"));
  ASSERT_EQ(prompt_.Questions().size(), 2u);
  EXPECT_EQ(name->text(), "beach");
  EXPECT_TRUE(fs::exists(source_ / "beach.jpg"));
}

TEST_F(MainWindowTest, ExclusionBoxAndMenuItemMirrorEachOther) {
  Open(2);
  auto* box = Widget<QCheckBox>("CBExcludeOutputFile");
  Key(Qt::Key_E, Qt::ControlModifier);
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(Action("MExcludeInBatchMode")->isChecked());
  EXPECT_TRUE(form_->State().CurrentEntry()->Excluded);
  box->click();
  EXPECT_FALSE(Action("MExcludeInBatchMode")->isChecked());
  EXPECT_FALSE(form_->State().CurrentEntry()->Excluded);
  Widget<QCheckBox>("CBForceRecompress")->click();
  EXPECT_TRUE(Action("MForceRecompress")->isChecked());
}

TEST_F(MainWindowTest, AFileThatDoesNotDecodeIsReportedInTheStatusLine) {
  Open(2);
  std::ofstream(source_ / "img02.jpg", std::ios::binary | std::ios::trunc) << "not a jpeg";
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Current(), 1);
  EXPECT_FALSE(form_->StatusText().empty());
  EXPECT_FALSE(Action("MSave")->isEnabled());
  EXPECT_FALSE(Action("MPreview")->isEnabled());
  EXPECT_TRUE(Label("LNewDimension")->text().isEmpty());
  EXPECT_TRUE(prompt_.Questions().empty());
  Key(Qt::Key_PageUp);
  EXPECT_TRUE(Action("MSave")->isEnabled());
  EXPECT_TRUE(form_->StatusText().empty());
}

TEST_F(MainWindowTest, LeavingTheSourceFieldKeepsTheListAndEnterReadsItAgain) {
  Open(2);
  auto* percent = Widget<QSpinBox>("UDPercent");
  Focus(percent);
  percent->setValue(30);  // stored into image 1's entry
  ASSERT_EQ(form_->State().CurrentEntry()->ResizeMode, TResizeMode::Percent);
  QLineEdit* folder = Field("EInputDir");
  Focus(folder);
  folder->setText(QString::fromStdString(source_.string() + "/"));
  Focus(Widget("ImgViewBox1"));  // leaving: the same folder, nothing read again
  EXPECT_EQ(form_->State().CurrentEntry()->ResizeMode, TResizeMode::Percent);
  Focus(folder);
  Key(Qt::Key_Return);  // Enter reads the folder again: the per-image settings are gone
  EXPECT_EQ(form_->State().Count(), 2);
  EXPECT_EQ(form_->State().CurrentEntry()->ResizeMode, TResizeMode::Unset);
}

TEST_F(MainWindowTest, HelpItemsTellTheirTexts) {
  Open(1);
  prompt_.Push(TPromptButton::OK);
  Action("About1")->trigger();
  ASSERT_EQ(prompt_.Questions().size(), 1u);
  EXPECT_EQ(prompt_.Questions()[0].Kind, TPromptKind::Plain);
  EXPECT_EQ(prompt_.Questions()[0].Text.substr(0, prompt_.Questions()[0].Text.find('\n')),
            std::string("Picaxo v") + PICAXO_VERSION);
  EXPECT_EQ(Action("ProgramHomepage1")->statusTip().left(8), "https://");
}

TEST_F(MainWindowTest, FullScreenTakesTheViewAndGivesItBack) {
  Open(1);
  auto* view = Widget<TImgViewBox>("ImgViewBox1");
  QWidget* home = view->parentWidget();
  Action("FullScreen1")->trigger();
  ASSERT_TRUE(form_->FullScreenActive());
  EXPECT_NE(view->window(), form_.get());
  QWidget* full = view->window();
  QApplication::setActiveWindow(full);
  QTest::keyClick(full->windowHandle(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_FALSE(form_->FullScreenActive());
  EXPECT_EQ(view->parentWidget(), home);
  // Ctrl+F works inside the full-screen window too, and F11 as well.
  QTest::keyClick(form_->windowHandle(), Qt::Key_F11);
  ASSERT_TRUE(form_->FullScreenActive());
  full = view->window();
  QApplication::setActiveWindow(full);
  QTest::keyClick(full->windowHandle(), Qt::Key_F, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_FALSE(form_->FullScreenActive());
  EXPECT_EQ(view->parentWidget(), home);
  QApplication::setActiveWindow(form_.get());
  // Closing the main window in full-screen mode puts the view back first.
  Action("FullScreen1")->trigger();
  form_->close();
  EXPECT_EQ(view->parentWidget(), home);
}

// Folders and photos dropped from a file manager open as the command-line argument opens them;
// several photos open the first one's folder with it shown; other drops are refused.
TEST_F(MainWindowTest, DroppedFoldersAndPhotosOpen) {
  Open(2);
  const fs::path other = dir_ / "other";
  fs::create_directories(other);
  WriteJpeg(other / "a.jpg", 32, 24, 1);
  WriteJpeg(other / "b.jpg", 32, 24, 2);
  std::ofstream(other / "notes.txt") << "x";
  const auto drop = [&](const std::vector<fs::path>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const fs::path& p : paths)
      urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &dropped);
    return dropped.isAccepted();
  };
  EXPECT_FALSE(drop({other / "notes.txt"}));
  EXPECT_EQ(form_->State().List().SourceFolder(), source_.string());

  EXPECT_TRUE(drop({other / "b.jpg", other / "a.jpg"}));
  EXPECT_EQ(form_->State().List().SourceFolder(), other.string());
  EXPECT_EQ(Field("EInputDir")->text().toStdString(), other.string());
  EXPECT_EQ(Field("EInFilename")->text(), "b");

  EXPECT_TRUE(drop({source_}));
  EXPECT_EQ(form_->State().Count(), 2);
  EXPECT_EQ(Field("EInFilename")->text(), "img01");
}

}  // namespace
}  // namespace picaxo
