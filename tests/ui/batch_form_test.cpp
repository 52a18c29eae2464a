// The batch dialog over a real run: five small images saved with scripted answers.
#include "ui/batch_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <set>

#include "jobs/jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using B = TPromptButton;

// The window's part of a run: the observer passes the run's texts and progress to the dialog and
// lets events run between images.
struct BatchFormTest : ::testing::Test, IJobObserver {
  TScratchFolder dir;
  std::string src = dir / "src";
  std::string out = dir / "out";
  TScriptedPrompt prompt;
  std::vector<std::string> mainStatus;  // texts that reached the main window's status line
  std::function<void(TBatchForm&)> betweenImages;  // runs in the run's event processing
  TBatchForm* form = nullptr;
  std::vector<int> progressSeen;
  QWidget owner;
  TAppState state{prompt, *this};

  void StatusTextChanged(const std::string& text, TRepaint) override { mainStatus.push_back(text); }
  void BatchStatusTextChanged(const std::string& text) override {
    if (form) form->ShowStatusText(text);
  }
  void BatchProgressChanged(int position, int maximum) override {
    if (form) form->ShowProgress(position, maximum);
  }
  void ProcessEvents() override {
    if (form) {
      progressSeen.push_back(Find<QProgressBar>("ProgressBar")->value());
      if (betweenImages) betweenImages(*form);
    }
    QCoreApplication::processEvents();
  }

  void SetUp() override {
    for (char c = 'a'; c <= 'e'; ++c)
      WriteBmp(src + "/" + c + ".bmp", 16, 12);
    fs::create_directories(out);
    TResizeSettings settings;
    settings.ResizeEnabled = false;
    state.SetSettings(settings);
    state.SetDestinationFolderField(out);
    state.SetSourceFolderField(src);
    state.ScanSourceFolder();
    mainStatus.clear();
    owner.resize(600, 400);
    owner.show();
  }

  // Makes image index current, lets change work on it as the window's controls would, and goes
  // back to the first image.
  void OnEntry(int index, const std::function<void()>& change) {
    state.GoToImage(index);
    change();
    state.GoToImage(0);
  }

  template <class W>
  W* Find(const char* name) {
    W* widget = form->findChild<W*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QCheckBox* Box(const char* name) { return Find<QCheckBox>(name); }
  QString Page() { return Find<QStackedWidget>("Notebook")->currentWidget()->objectName(); }

  // Opens the dialog as the window does (without a nested loop), lets `act` work on it while it
  // is open, and returns whether it was still open after `act`.
  using TAct = std::function<void()>;
  bool Dialog(void (TAppState::*entry)(const TBatchDialogRunner&), const TAct& act) {
    bool openAfter = false;
    (state.*entry)([&](TBatchRun& run) {
      TBatchForm dialog(run, &owner);
      form = &dialog;
      dialog.Prepare("title");
      dialog.show();
      act();
      openAfter = dialog.isVisible();
      form = nullptr;
    });
    return openAfter;
  }
  bool SaveAll(const TAct& act) { return Dialog(&TAppState::SaveAll, act); }

  void Click(const char* name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }

  std::set<std::string> Written() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(out))
      names.insert(e.path().filename().string());
    return names;
  }
};

TEST_F(BatchFormTest, DialogAsDesignedWithTheStoredOptions) {
  state.Flags().BatchJobCreateAllDirs = true;
  SaveAll([&] {
    EXPECT_EQ(form->windowTitle(), "Batch process");
    EXPECT_TRUE(form->isModal());
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->size(), QSize(288, 215));
    EXPECT_EQ(Page(), "Start");
    EXPECT_EQ(Find<QLabel>("LTitle")->text(), "title");
    EXPECT_EQ(Box("CBOverwriteAll")->text(), "Overwrite existing files without prompting");
    EXPECT_EQ(Box("CBDontOverwrite")->text(), "Never overwrite existing files");
    EXPECT_EQ(Box("CBPromptForCreateDir")->text(), "Prompt when a folder needs to be created");
    EXPECT_FALSE(Box("CBPromptForCreateDir")->isChecked());  // create-all-folders was stored
    EXPECT_EQ(Find<QPushButton>("BStart")->text(), "Start");
    EXPECT_TRUE(Find<QPushButton>("BStart")->isDefault());
    EXPECT_EQ(Find<QPushButton>("BCancel")->text(), "Cancel");
    EXPECT_EQ(Find<QPushButton>("BClose")->text(), "Close");
    EXPECT_EQ(Find<QProgressBar>("ProgressBar")->minimum(), 0);
    EXPECT_EQ(Find<QProgressBar>("ProgressBar")->value(), 0);
    // Centred on the main window.
    EXPECT_LE((form->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);
  });
}

TEST_F(BatchFormTest, RunSavesEveryImageShowingProgressAndStatusInTheDialog) {
  SaveAll([&] {
    Click("BStart");
    EXPECT_EQ(Page(), "Success");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 5 of 5 images!");
    EXPECT_TRUE(Find<QPushButton>("BClose")->hasFocus());
    EXPECT_TRUE(Find<QLabel>("LStatus")->text().startsWith("Saved " + QString::fromStdString(out)));
    EXPECT_EQ(Find<QProgressBar>("ProgressBar")->maximum(), 5);
    // Between images: k of 5 after the k-th image (counted from 0), never 5.
    const std::vector<int> working(progressSeen.end() - 5, progressSeen.end());
    EXPECT_EQ(working, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(Find<QPushButton>("BStart")->isEnabled());
    EXPECT_FALSE(Box("CBOverwriteAll")->isEnabled());
    // The main status line heard nothing of the run while the dialog was open.
    EXPECT_TRUE(mainStatus.empty());
    Click("BClose");
    EXPECT_FALSE(form->isVisible());
  });
  EXPECT_EQ(Written().size(), 5u);
  EXPECT_EQ(state.BatchForm(), nullptr);
  // The result stays in the main window's status line.
  ASSERT_FALSE(mainStatus.empty());
  EXPECT_EQ(mainStatus.back(), "Successfully saved 5 of 5 images!");
}

TEST_F(BatchFormTest, AllExcludedSavesNothingOfNothing) {
  for (int i = 0; i < state.Count(); ++i)
    OnEntry(i, [&] { state.ChangeExcluded(true); });
  SaveAll([&] {
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 0 of 0 images!");
  });
  EXPECT_TRUE(Written().empty());
}

// The result page lists the images that failed, with their reasons; without failures the list
// stays hidden and the dialog keeps its size.
TEST_F(BatchFormTest, FailedImagesAreListedWithTheirReasons) {
  WriteFile(src + "/b.bmp", "not a picture");
  fs::remove(src + "/d.bmp");
  SaveAll([&] {
    EXPECT_FALSE(Find<QPlainTextEdit>("MDetails")->isVisibleTo(form));
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Saved 3 of 5 images: 0 skipped, 2 failed.");
    auto* details = Find<QPlainTextEdit>("MDetails");
    EXPECT_TRUE(details->isVisible());
    EXPECT_TRUE(details->isReadOnly());
    const QStringList lines = details->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2) << details->toPlainText().toStdString();
    EXPECT_TRUE(lines[0].startsWith("b.bmp: ")) << lines[0].toStdString();
    EXPECT_EQ(lines[1].toStdString(),
              "d.bmp: Could not read \"" + src + "/d.bmp\": No such file or directory");
    EXPECT_EQ(form->size(), QSize(TBatchForm::kDetailsWidth, TBatchForm::kDetailsHeight));
  });
}

TEST_F(BatchFormTest, NeverOverwriteSkipsExistingFilesWithoutAsking) {
  for (const char* name : {"a.jpg", "c.jpg", "e.jpg"})
    WriteFile(out + "/" + name, "old");
  SaveAll([&] {
    Click("CBDontOverwrite");
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Saved 2 of 5 images: 3 skipped, 0 failed.");
    EXPECT_EQ(Find<QProgressBar>("ProgressBar")->maximum(), 2);
  });
  EXPECT_TRUE(prompt.Questions().empty());
  EXPECT_EQ(ReadFile(out + "/c.jpg"), "old");
  EXPECT_EQ(Written().size(), 5u);
  EXPECT_TRUE(state.Flags().BatchJobOverwriteNone);
}

TEST_F(BatchFormTest, OverwriteBoxesExcludeEachOtherAndOpenWithOnlyNeverWhenBothStored) {
  state.Flags().BatchJobOverwriteAll = true;
  state.Flags().BatchJobOverwriteNone = true;
  SaveAll([&] {
    EXPECT_FALSE(Box("CBOverwriteAll")->isChecked());
    EXPECT_TRUE(Box("CBDontOverwrite")->isChecked());
    Click("CBOverwriteAll");
    EXPECT_TRUE(Box("CBOverwriteAll")->isChecked());
    EXPECT_FALSE(Box("CBDontOverwrite")->isChecked());
    Click("CBDontOverwrite");
    EXPECT_FALSE(Box("CBOverwriteAll")->isChecked());
    EXPECT_TRUE(Box("CBDontOverwrite")->isChecked());
    Click("CBDontOverwrite");  // unchecking leaves the other box alone
    EXPECT_FALSE(Box("CBOverwriteAll")->isChecked());
    EXPECT_FALSE(Box("CBDontOverwrite")->isChecked());
  });
}

TEST_F(BatchFormTest, CancelBeforeStartClosesAndKeepsTheFlags) {
  state.Flags().BatchJobOverwriteAll = true;
  const bool open = SaveAll([&] {
    Click("CBDontOverwrite");
    Click("CBPromptForCreateDir");
    Click("BCancel");
  });
  EXPECT_FALSE(open);
  EXPECT_TRUE(state.Flags().BatchJobOverwriteAll);
  EXPECT_FALSE(state.Flags().BatchJobOverwriteNone);
  EXPECT_FALSE(state.Flags().BatchJobCreateAllDirs);
  EXPECT_TRUE(Written().empty());
  // Esc is the Cancel button.
  EXPECT_FALSE(SaveAll([&] { QTest::keyClick(form, Qt::Key_Escape); }));
  // So is the frame.
  EXPECT_FALSE(SaveAll([&] { form->close(); }));
  EXPECT_TRUE(Written().empty());
  EXPECT_TRUE(state.Flags().BatchJobOverwriteAll);
}

TEST_F(BatchFormTest, CancelDuringTheRunFinishesTheImageAndClosesAtOnce) {
  betweenImages = [&](TBatchForm& dialog) {
    if (Written().size() == 1)
      QMetaObject::invokeMethod(dialog.findChild<QPushButton*>("BCancel"), "click",
                                Qt::QueuedConnection);
  };
  QString caption;
  const bool open = SaveAll([&] {
    Click("BStart");
    caption = Find<QPushButton>("BCancel")->text();
  });
  EXPECT_FALSE(open);
  EXPECT_EQ(caption, "Closing...");
  EXPECT_EQ(Written().size(), 1u);
  // No result: the main status line is left empty.
  ASSERT_FALSE(mainStatus.empty());
  EXPECT_EQ(mainStatus.back(), "");
}

TEST_F(BatchFormTest, FrameCloseDuringTheRunWaitsForItsEnd) {
  betweenImages = [&](TBatchForm& dialog) {
    if (Written().size() == 2) QMetaObject::invokeMethod(&dialog, "close", Qt::QueuedConnection);
  };
  const bool open = SaveAll([&] { Click("BStart"); });
  EXPECT_FALSE(open);
  EXPECT_EQ(Written().size(), 5u);
  ASSERT_FALSE(mainStatus.empty());
  EXPECT_EQ(mainStatus.back(), "Successfully saved 5 of 5 images!");
}

TEST_F(BatchFormTest, AllToTheOverwriteQuestionIsRememberedForTheNextDialog) {
  for (char c = 'a'; c <= 'e'; ++c)
    WriteFile(out + "/" + c + ".jpg", "old");
  prompt.Push(B::All);
  SaveAll([&] {
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 5 of 5 images!");
  });
  EXPECT_EQ(prompt.QuestionIds(), std::vector<TQuestionId>{TQuestionId::OverwriteFile});
  EXPECT_TRUE(prompt.Questions()[0].Buttons.Has(B::All));
  EXPECT_NE(ReadFile(out + "/e.jpg"), "old");
  SaveAll([&] { EXPECT_TRUE(Box("CBOverwriteAll")->isChecked()); });
}

}  // namespace
}  // namespace picaxo
