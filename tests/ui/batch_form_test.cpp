// The batch dialog over a real run: five small images saved with scripted answers.
#include "ui/batch_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <set>

#include "jobs/jobs_test_util.h"
#include "ui/job_list.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using B = TPromptButton;

// The window's part of a run: the observer passes the run's texts and progress to the dialog,
// lets events run between images and answers for the job list's selection.
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
  TJobListView list{[](int row, TJobColumn) { return std::to_string(row); }};
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
  int SelectedRowCount() const override { return list.SelectedRowCount(); }
  bool IsRowSelected(int row) const override { return list.IsRowSelected(row); }

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
    list.SyncJobCount(state.Count());
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
  const TFileEntry& Entry(int index) const { return state.List().At(index); }

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

TEST_F(BatchFormTest, NeverOverwriteSkipsExistingFilesWithoutAsking) {
  for (const char* name : {"a.jpg", "c.jpg", "e.jpg"})
    WriteFile(out + "/" + name, "old");
  SaveAll([&] {
    Click("CBDontOverwrite");
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 2 of 5 images!");
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

TEST_F(BatchFormTest, SaveAllDropsStoredResizeSettingsButKeepsExclusionsCropsAndNames) {
  // Image c gets a rule, a quality, forced recompression, a crop and a name of its own; b is
  // excluded. Then the settings in effect are "no resize" again.
  OnEntry(2, [&] {
    TResizeSettings settings = state.Settings();
    settings.ResizeEnabled = true;
    SelectRule(settings, ResizeRule::Percent);
    settings.Percent = 50;
    state.ChangeSettings(TControl::UDPercent, TTrigger::Commit, settings);
    settings.JpegQuality = 20;
    state.ChangeSettings(TControl::UDQuality, TTrigger::Commit, settings);
    settings.AlwaysRecompress = true;
    state.ChangeSettings(TControl::CBForceRecompress, TTrigger::Commit, settings);
    state.ChangeSelection(TSelection{0, 0, 7, 5}, TSelectionPhase::Changed);
    state.ChangeOutputName("cover");
  });
  OnEntry(1, [&] { state.ChangeExcluded(true); });
  const TFileEntry& c = Entry(2);
  ASSERT_EQ(c.ResizeMode, TResizeMode::Percent);
  ASSERT_EQ(c.JpegQuality, 20);
  TResizeSettings settings;
  settings.ResizeEnabled = false;
  state.SetSettings(settings);

  SaveAll([&] { Click("BStart"); });
  EXPECT_EQ(c.ResizeMode, TResizeMode::Unset);
  EXPECT_EQ(c.JpegQuality, -1);
  EXPECT_EQ(c.RecompressChoice, TChoice::Unset);
  EXPECT_EQ(c.OutputName, "cover");
  EXPECT_TRUE(c.HasSelection());
  EXPECT_TRUE(Entry(1).Excluded);
  // The run used the settings in effect (no resize) with the image's own crop and name.
  EXPECT_EQ(JpegSize(out + "/cover.jpg"), std::make_pair(8, 6));
  EXPECT_EQ(Written(), (std::set<std::string>{"a.jpg", "cover.jpg", "d.jpg", "e.jpg"}));
}

TEST_F(BatchFormTest, OneSelectedRowCoversAllEntriesAndTwoRestrictTheRun) {
  list.SelectOnlyRow(3);
  Dialog(&TAppState::ExecuteJobs, [&] {
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 5 of 5 images!");
  });
  fs::remove_all(out);
  fs::create_directories(out);
  list.selectionModel()->select(list.model()->index(1, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Dialog(&TAppState::ExecuteJobs, [&] {
    Click("BStart");
    EXPECT_EQ(Find<QLabel>("LClose")->text(), "Successfully saved 2 of 2 images!");
  });
  EXPECT_EQ(Written(), (std::set<std::string>{"b.jpg", "d.jpg"}));
}

TEST_F(BatchFormTest, AnEmptyFolderTellsSoAndOpensNoDialog) {
  TScratchFolder empty;
  state.SetSourceFolderField(empty.Path());
  state.ScanSourceFolder();
  bool opened = false;
  state.SaveAll([&](TBatchRun&) { opened = true; });
  state.ExecuteJobs([&](TBatchRun&) { opened = true; });
  EXPECT_FALSE(opened);
  ASSERT_EQ(prompt.Questions().size(), 2u);
  EXPECT_EQ(prompt.Questions()[0].Id, TQuestionId::NoFiles);
  EXPECT_EQ(prompt.Questions()[0].Text, "No files in current folder!");
  EXPECT_EQ(prompt.Questions()[0].Kind, TPromptKind::Error);
  EXPECT_EQ(prompt.Questions()[0].Buttons, TPromptButtons(B::Cancel));
}

}  // namespace
}  // namespace picaxo
