// The main window's Batch Resize view and its batch runs, driven as a user would: tabs, clicks
// in the job list, the job actions, the batch dialog; questions answered from a script.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <set>

#include "jobs/file_remover.h"
#include "jobs/jobs_test_util.h"
#include "open_form.h"
#include "ui/job_list.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Scripted answers, and a look at the window whenever a question comes.
struct TWatchedPrompt : TScriptedPrompt {
  std::function<void()> OnAsk;
  TPromptButton Ask(const TQuestion& question) override {
    if (OnAsk) OnAsk();
    return TScriptedPrompt::Ask(question);
  }
};

class MainWindowJobsTest : public TempFolderTest {
 protected:
  void Open(int imageCount) {
    fs::create_directories(source_);
    fs::create_directories(destination_);
    for (int i = 1; i <= imageCount; ++i)
      WriteBmp((source_ / ("img" + std::to_string(i) + ".bmp")).string(), 24, 16,
               static_cast<uint8_t>(i * 40));
    ASSERT_NO_FATAL_FAILURE(picaxo::testing::OpenFormOnFolder(form_, source_, prompt_, imageCount));
    Widget<QLineEdit>("EOutputDir")->setText(QString::fromStdString(destination_.string()));
  }

  template <typename T = QWidget>
  T* Widget(const char* name) {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* Action(const char* name) { return Widget<QAction>(name); }
  TJobListView* List() { return Widget<TJobListView>("LVJobs"); }
  QString Caption(const char* action) { return Action(action)->text(); }
  void ShowBatchView(bool show = true) { Widget<QTabBar>("TabControl")->setCurrentIndex(show); }
  void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QRect rect = List()->visualRect(List()->model()->index(row, 0));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, rect.center());
  }
  const TFileEntry& Entry(int index) { return form_->State().List().At(index); }
  QString RowText(int row, TJobColumn column) {
    return List()->model()->index(row, static_cast<int>(column)).data().toString();
  }
  // The next command opens the batch dialog modally: act on it once it shows. (Events run before
  // it opens, in the passes that prepare the run, so the timer looks until it finds it.)
  void WhenDialogShows(const std::function<void(QWidget*)>& act) {
    auto* timer = new QTimer(form_.get());
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog || !dialog->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      EXPECT_EQ(dialog->objectName(), "BatchForm");
      act(dialog);
    });
    timer->start(0);
  }
  static void Click(QWidget* dialog, const char* name) {
    QTest::mouseClick(dialog->findChild<QAbstractButton*>(name), Qt::LeftButton);
  }
  std::set<std::string> Written() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(destination_))
      names.insert(e.path().filename().string());
    return names;
  }

  const fs::path source_ = dir_ / "src";
  const fs::path destination_ = dir_ / "out";
  TWatchedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(MainWindowJobsTest, SwitchingViewsRefillsTheListWithOnlyTheCurrentRowSelected) {
  Open(4);
  EXPECT_FALSE(Widget("PanelJobs")->isVisible());
  EXPECT_TRUE(Widget("Bevel1")->isVisible());
  EXPECT_TRUE(Widget("TBSaveAll")->isEnabled());
  EXPECT_EQ(List()->RowCount(), 0);
  form_->State().GoToImage(2);
  ShowBatchView();
  EXPECT_TRUE(Widget("PanelJobs")->isVisible());
  EXPECT_FALSE(Widget("Bevel1")->isVisible());
  EXPECT_GE(Widget("PanelJobs")->width(), 30);
  EXPECT_TRUE(Widget("ToolBarJobs")->isVisible());
  EXPECT_TRUE(Widget<QMenu>("MBatch")->menuAction()->isVisible());
  EXPECT_FALSE(Widget("TBSaveAll")->isEnabled());
  EXPECT_FALSE(Action("MSaveAll")->isEnabled());
  EXPECT_EQ(List()->RowCount(), 4);
  EXPECT_EQ(List()->SelectedRowCount(), 1);
  EXPECT_TRUE(List()->IsRowSelected(2));
  EXPECT_EQ(RowText(1, TJobColumn::FileName), "img2.bmp");
  EXPECT_EQ(Caption("AJobExecute"), "Save All");
  EXPECT_EQ(Caption("AJobApply"), "Apply All");
  EXPECT_EQ(Caption("AJobReset"), "Reset All");
  EXPECT_EQ(Caption("AJobToggle"), "Hide Batch Jobs");
  EXPECT_EQ(Widget<QToolButton>("TBJobsExecute")->text(), "Save All");
  EXPECT_EQ(Action("MJobExecute")->text(), "Save All");
  EXPECT_EQ(Action("AJobExecute")->statusTip(), "Save all images in the batch list");
  // Two rows selected, then back to Simple Resize and again to Batch Resize: one row per image,
  // the current row alone selected, the All captions.
  ClickRow(0, Qt::ControlModifier);
  EXPECT_EQ(Caption("AJobExecute"), "Save Selected");
  ShowBatchView(false);
  EXPECT_FALSE(Widget("PanelJobs")->isVisible());
  EXPECT_TRUE(Widget("Bevel1")->isVisible());
  EXPECT_EQ(List()->RowCount(), 0);
  EXPECT_EQ(Caption("AJobToggle"), "Show Batch Jobs");
  EXPECT_TRUE(Widget("TBSaveAll")->isEnabled());
  EXPECT_EQ(form_->State().JobCaptionMode(), TJobCaptionMode::Hidden);
  Action("AJobToggle")->trigger();
  EXPECT_EQ(Widget<QTabBar>("TabControl")->currentIndex(), 1);
  EXPECT_EQ(List()->RowCount(), 4);
  EXPECT_EQ(List()->SelectedRowCount(), 1);
  EXPECT_TRUE(List()->IsRowSelected(2));
  EXPECT_EQ(Caption("AJobExecute"), "Save All");
  EXPECT_EQ(Action("MJobReset")->text(), "Reset All");
}

TEST_F(MainWindowJobsTest, OneSelectedRowMakesItsImageCurrentAndASecondSwitchesTheCaptions) {
  Open(5);
  ShowBatchView();
  ClickRow(3);
  EXPECT_EQ(form_->State().CurrentIndex(), 3);
  EXPECT_EQ(Widget<QLineEdit>("EInFilename")->text(), "img4");
  EXPECT_EQ(Caption("AJobApply"), "Apply All");
  ClickRow(1, Qt::ControlModifier);
  EXPECT_EQ(form_->State().CurrentIndex(), 3);
  EXPECT_EQ(Caption("AJobExecute"), "Save Selected");
  EXPECT_EQ(Caption("AJobReset"), "Reset Selected");
  EXPECT_EQ(Caption("AJobApply"), "Apply Selected");
  EXPECT_EQ(Action("MJobExecute")->text(), "Save Selected");
  // Navigation makes the list follow: that row alone, the All captions again.
  Action("MNext")->trigger();
  EXPECT_EQ(form_->State().CurrentIndex(), 4);
  EXPECT_EQ(List()->SelectedRowCount(), 1);
  EXPECT_TRUE(List()->IsRowSelected(4));
  EXPECT_EQ(Caption("AJobExecute"), "Save All");
}

TEST_F(MainWindowJobsTest, SelectAllNeedsTwoImages) {
  Open(1);
  ShowBatchView();
  EXPECT_FALSE(Action("AJobSelectAll")->isEnabled());
  EXPECT_FALSE(Action("MJobSelectAll")->isEnabled());
  EXPECT_TRUE(Action("AJobExecute")->isEnabled());

  Open(3);
  ShowBatchView();
  ASSERT_TRUE(Action("AJobSelectAll")->isEnabled());
  EXPECT_EQ(Action("AJobSelectAll")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
  EXPECT_TRUE(Action("MJobSelectAll")->text().startsWith("Select All\t"));
  List()->setFocus();
  QTest::keyClick(form_->windowHandle(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(List()->SelectedRowCount(), 3);
  EXPECT_EQ(Caption("AJobExecute"), "Save Selected");
}

TEST_F(MainWindowJobsTest, ApplyAllCopiesTheExclusionAndResetAllKeepsNames) {
  Open(4);
  ShowBatchView();
  ClickRow(1);
  Widget<QLineEdit>("EOutFilename")->setText("renamed");
  QTest::mouseClick(Widget<QCheckBox>("CBExcludeOutputFile"), Qt::LeftButton);
  ASSERT_TRUE(Entry(1).Excluded);
  Widget<QToolButton>("TBJobApply")->click();
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Entry(i).Excluded) << i;
    EXPECT_EQ(RowText(i, TJobColumn::Flags), "E") << i;
  }
  EXPECT_EQ(Entry(1).OutputName, "renamed");
  EXPECT_EQ(Entry(2).OutputName, "");  // names are not applied
  Action("MJobReset")->trigger();
  for (int i = 0; i < 4; ++i)
    EXPECT_FALSE(Entry(i).Excluded) << i;
  EXPECT_EQ(Entry(1).OutputName, "renamed");
  EXPECT_EQ(RowText(1, TJobColumn::Actions), "rename");
}

TEST_F(MainWindowJobsTest, AChangeWithTwoRowsSelectedGoesToThoseEntries) {
  Open(4);
  ShowBatchView();
  ClickRow(1);
  ClickRow(3, Qt::ControlModifier);
  QTest::mouseClick(Widget<QCheckBox>("CBExcludeOutputFile"), Qt::LeftButton);
  EXPECT_FALSE(Entry(0).Excluded);
  EXPECT_TRUE(Entry(1).Excluded);
  EXPECT_FALSE(Entry(2).Excluded);
  EXPECT_TRUE(Entry(3).Excluded);
  EXPECT_EQ(RowText(3, TJobColumn::Flags), "E");
}

TEST_F(MainWindowJobsTest, SaveAllEndsOnTheLastImageAndLeavesTheResultInTheStatusBar) {
  Open(3);
  std::vector<QString> shown;
  QObject::connect(Widget<QLineEdit>("EInFilename"), &QLineEdit::textChanged,
                   [&](const QString& text) { shown.push_back(text); });
  QString title;
  QString result;
  WhenDialogShows([&](QWidget* dialog) {
    title = dialog->findChild<QLabel*>("LTitle")->text();
    Click(dialog, "BStart");
    result = dialog->findChild<QLabel*>("LClose")->text();
    Click(dialog, "BClose");
  });
  Widget<QToolButton>("TBSaveAll")->click();
  EXPECT_EQ(title,
            "Clicking on Start will save all images to the destination folder with the current "
            "settings.");
  EXPECT_EQ(result, "Successfully saved 3 of 3 images!");
  EXPECT_EQ(Written(), (std::set<std::string>{"img1.jpg", "img2.jpg", "img3.jpg"}));
  // The window follows the run as events are let through, not once per image; it ends on the
  // last image.
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "img3");
  EXPECT_EQ(form_->StatusText(), "Successfully saved 3 of 3 images!");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowJobsTest, QuestionsDuringARunShowOverTheDialogWithAll) {
  Open(2);
  for (const char* name : {"img1.jpg", "img2.jpg"})
    WriteFile((destination_ / name).string(), "old");
  // The window's own message boxes this time, answered by a click on All.
  TForm1Options options;
  options.CommandLineArgument = source_.string();
  form_ = std::make_unique<TForm1>(options);
  form_->show();
  for (int i = 0; i < 100 && form_->State().SourceFolder().empty(); ++i)
    QTest::qWait(5);
  ShowBatchView(false);
  Widget<QLineEdit>("EOutputDir")->setText(QString::fromStdString(destination_.string()));
  QString boxParent;  // the dialog is gone when the run has ended
  QStringList buttons;
  WhenDialogShows([&](QWidget* dialog) {
    auto* answer = new QTimer(dialog);
    QObject::connect(answer, &QTimer::timeout, [&, answer, dialog] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == dialog) return;
      answer->stop();
      boxParent = box->parentWidget() ? box->parentWidget()->objectName() : QString();
      for (QAbstractButton* b : box->buttons())
        buttons << b->text().remove('&');
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "All") b->click();
    });
    answer->start(0);
    Click(dialog, "BStart");
    Click(dialog, "BClose");
  });
  Widget<QToolButton>("TBSaveAll")->click();
  EXPECT_EQ(boxParent, "BatchForm");
  EXPECT_TRUE(buttons.contains("All"));
  EXPECT_NE(ReadFile((destination_ / "img2.jpg").string()), "old");
  EXPECT_TRUE(form_->State().Flags().BatchJobOverwriteAll);
}

TEST_F(MainWindowJobsTest, AQuestionDuringARunShowsItsImageAndEveryRowIsRedrawn) {
  Open(3);
  ShowBatchView();
  WriteFile((destination_ / "img2.jpg").string(), "old");
  prompt_.Push(TPromptButton::No);  // and No to never overwriting the following files
  prompt_.Push(TPromptButton::No);
  QString askedAbout;
  prompt_.OnAsk = [&] { askedAbout = Widget<QLineEdit>("EInFilename")->text(); };
  std::set<int> redrawn;
  QObject::connect(List()->model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& first, const QModelIndex& last) {
                     for (int row = first.row(); row <= last.row(); ++row)
                       redrawn.insert(row);
                   });
  WhenDialogShows([&](QWidget* dialog) {
    redrawn.clear();
    Click(dialog, "BStart");
    Click(dialog, "BClose");
  });
  Widget<QToolButton>("TBJobsExecute")->click();
  ASSERT_EQ(prompt_.QuestionIds(), (std::vector<TQuestionId>{TQuestionId::OverwriteFile,
                                                             TQuestionId::OverwriteNoneFollowing}));
  EXPECT_EQ(askedAbout, "img2");
  EXPECT_EQ(ReadFile((destination_ / "img2.jpg").string()), "old");
  EXPECT_EQ(redrawn, (std::set<int>{0, 1, 2}));
}

TEST_F(MainWindowJobsTest, SaveSelectedCoversTheSelectedRows) {
  Open(4);
  ShowBatchView();
  ClickRow(0);
  ClickRow(2, Qt::ControlModifier);
  QString title;
  WhenDialogShows([&](QWidget* dialog) {
    title = dialog->findChild<QLabel*>("LTitle")->text();
    Click(dialog, "BStart");
    Click(dialog, "BClose");
  });
  Widget<QToolButton>("TBJobsExecute")->click();
  EXPECT_EQ(title, "Clicking on Start will save all selected images to the destination folder.");
  EXPECT_EQ(Written(), (std::set<std::string>{"img1.jpg", "img3.jpg"}));
  // During the run the selection stayed as it was.
  EXPECT_EQ(List()->SelectedRowCount(), 2);
}

TEST_F(MainWindowJobsTest, ApplyAllOnAnEmptyFolderSaysSo) {
  Open(0);
  ShowBatchView();
  EXPECT_FALSE(Action("AJobExecute")->isEnabled());
  EXPECT_TRUE(Action("AJobApply")->isEnabled());
  Action("AJobApply")->trigger();
  ASSERT_EQ(prompt_.QuestionIds(), std::vector<TQuestionId>{TQuestionId::NoFiles});
  EXPECT_EQ(prompt_.Questions()[0].Text, "No files in current folder!");
}

}  // namespace
}  // namespace picaxo
