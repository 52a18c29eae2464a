// The walk over the entries and the batch dialog's run: filters, counts, cancellation, Save All.
#include "jobs/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>

#include "base/error.h"
#include "base/file_util.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

using namespace testing;
using B = TPromptButton;

struct BatchTest : ::testing::Test {
  TScratchFolder dir;
  TStateFixture f;
  std::string src = dir / "src";
  std::string out = dir / "out";
  // The job list's selection, as the list reports it to the model.
  void SelectRows(const std::vector<int32_t>& rows) {
    f.state.SetJobRowSelection(TRowSelection::OfRows(rows));
  }

  void SetUp() override {
    for (char c = 'a'; c <= 'e'; ++c)
      WriteBmp(src + "/" + c + ".bmp", 8, 6);
    f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = false; });
    f.state.SetDestinationFolderField(out);
    f.Open(src);
    fs::create_directories(out);
  }

  std::vector<int> Visited(TNavigate navigate, TSkipExcluded skip) {
    std::vector<int> visited;
    f.state.ForEachJob(navigate, skip, [&](TFileEntry&, int index, bool&, std::optional<int>) {
      visited.push_back(index);
    });
    return visited;
  }

  // Runs a batch dialog from Show to the end of Start with the given check boxes.
  std::unique_ptr<TBatchRun> Run(TBatchChoices choices, TJobProc proc = {}) {
    auto run = std::make_unique<TBatchRun>(f.state, proc ? proc : f.state.SaveCurrentJob());
    run->Show();
    run->Start(choices);
    return run;
  }

  std::set<std::string> Written() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(out))
      names.insert(e.path().filename().string());
    return names;
  }
};

TEST_F(BatchTest, EmptyListTellsSoAndDoesNothingElse) {
  TStateFixture empty;
  bool called = false;
  empty.state.ForEachJob(TNavigate::Yes, TSkipExcluded::Yes,
                         [&](TFileEntry&, int, bool&, std::optional<int>) { called = true; });
  empty.state.SaveAll([&](TBatchRun&) { called = true; });
  empty.state.ExecuteJobs([&](TBatchRun&) { called = true; });
  EXPECT_FALSE(called);
  ASSERT_EQ(empty.prompt.Questions().size(), 3u);
  for (const auto& q : empty.prompt.Questions()) {
    EXPECT_EQ(q.Text, "No files in current folder!");
    EXPECT_EQ(q.Kind, TPromptKind::Error);
    EXPECT_EQ(q.Buttons, TPromptButtons(B::Cancel));
  }
}

TEST_F(BatchTest, ExcludedEntriesAreSkippedOnlyWhenAsked) {
  f.Exclude(1);
  f.Exclude(3);
  EXPECT_EQ(Visited(TNavigate::No, TSkipExcluded::Yes), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(Visited(TNavigate::No, TSkipExcluded::No), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(BatchTest, OneSelectedRowCoversAllTwoRestrictTheRun) {
  SelectRows({3});
  EXPECT_EQ(Visited(TNavigate::No, TSkipExcluded::Yes), (std::vector<int>{0, 1, 2, 3, 4}));
  SelectRows({1, 3});
  std::vector<std::pair<int, int>> rows;
  f.state.ForEachJob(TNavigate::No, TSkipExcluded::Yes,
                     [&](TFileEntry&, int index, bool&, std::optional<int> row) {
                       rows.push_back({index, row.value_or(-1)});
                     });
  EXPECT_EQ(rows, (std::vector<std::pair<int, int>>{{1, 1}, {3, 3}}));
  // Ctrl and Shift clicks leave overlapping ranges: each row counts once.
  f.state.SetJobRowSelection(TRowSelection({{2, 3}, {1, 2}, {4, 3}}));
  EXPECT_EQ(f.state.PassScope(), TPassScope::SelectedRows);
  EXPECT_EQ(Visited(TNavigate::No, TSkipExcluded::Yes), (std::vector<int>{1, 2, 3}));
}

TEST_F(BatchTest, NavigationMakesEachEntryCurrentFirst) {
  std::vector<int> current;
  f.state.ForEachJob(TNavigate::Yes, TSkipExcluded::Yes,
                     [&](TFileEntry& e, int, bool&, std::optional<int>) {
                       current.push_back(f.state.CurrentIndex());
                       EXPECT_EQ(f.state.Image().LoadedFileName(), e.FileName);
                     });
  EXPECT_EQ(current, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(BatchTest, AnErrorOfOneEntryDoesNotStopTheOthers) {
  auto run = Run({}, [](TFileEntry&, int index, bool&, std::optional<int>) {
    if (index == 1) throw std::runtime_error("boom");
  });
  EXPECT_EQ(run->Stage(), TBatchRun::TStage::Finished);
  EXPECT_EQ(run->ResultText, "Saved 4 of 5 images: 0 skipped, 1 failed.");
  TJobOutcome outcome = f.state.HandleJob(
      1, TNavigate::No, TSkipExcluded::Yes, TPassScope::AllRows,
      [](TFileEntry&, int, bool&, std::optional<int>) { throw EPicaxoError("boom"); });
  EXPECT_EQ(outcome.Result, TJobResult::Failed);
  EXPECT_EQ(outcome.Error, "boom");
}

TEST_F(BatchTest, SavesEveryImageAndReportsTheCount) {
  auto run = Run({});
  EXPECT_EQ(run->ResultText, "Successfully saved 5 of 5 images!");
  EXPECT_EQ(run->ProgressMax, 5);
  EXPECT_EQ(run->ProgressPosition, 4);  // never reaches the maximum during the run
  EXPECT_EQ(Written(), (std::set<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
  run->Close(TBatchRun::TCloseResult::OK);
  EXPECT_EQ(f.state.BatchForm(), nullptr);
  EXPECT_EQ(f.status.back(), "Successfully saved 5 of 5 images!");
}

TEST_F(BatchTest, AllExcludedSavesNothing) {
  for (int i = 0; i < f.state.Count(); ++i)
    f.Exclude(i);
  auto run = Run({});
  EXPECT_EQ(run->ProgressMax, 0);
  EXPECT_EQ(run->ResultText, "Successfully saved 0 of 0 images!");
  EXPECT_TRUE(Written().empty());
}

TEST_F(BatchTest, NeverOverwriteSkipsExistingFilesWithoutAsking) {
  for (const char* n : {"a.jpg", "c.jpg", "e.jpg"})
    WriteFile(out + "/" + n, "old");
  std::vector<int> called;
  TJobProc save = f.state.SaveCurrentJob();
  TBatchChoices choices;
  choices.CheckDontOverwrite(true);
  auto run = Run(choices, [&](TFileEntry& e, int i, bool& s, std::optional<int> r) {
    called.push_back(i);
    save(e, i, s, r);
  });
  EXPECT_EQ(called, (std::vector<int>{1, 3}));
  EXPECT_EQ(run->ProgressMax, 2);
  EXPECT_EQ(run->ResultText, "Saved 2 of 5 images: 3 skipped, 0 failed.");
  EXPECT_TRUE(f.prompt.Questions().empty());
  EXPECT_EQ(ReadFile(out + "/c.jpg"), "old");
}

TEST_F(BatchTest, ExistingFilesAskedOnceAnswerAllOverwritesTheRest) {
  for (const char* n : {"a.jpg", "c.jpg"})
    WriteFile(out + "/" + n, "old");
  f.prompt.Push(B::All);
  auto run = Run({});
  EXPECT_EQ(f.prompt.Questions().size(), 1u);
  EXPECT_EQ(run->ResultText, "Successfully saved 5 of 5 images!");
  EXPECT_NE(ReadFile(out + "/c.jpg"), "old");
  run.reset();
  // The next dialog opens with "Overwrite existing files without prompting" checked.
  TBatchRun next(f.state, f.state.SaveCurrentJob());
  EXPECT_TRUE(next.Show().OverwriteAll);
}

TEST_F(BatchTest, CancelDuringTheRunFinishesTheImageAndCloses) {
  std::unique_ptr<TBatchRun> run;
  int saved = 0;
  TJobProc save = f.state.SaveCurrentJob();
  run = std::make_unique<TBatchRun>(
      f.state, [&](TFileEntry& e, int i, bool& s, std::optional<int> r) {
        save(e, i, s, r);
        ++saved;
        if (i == 1) run->Cancel();  // as if the button were pressed while image 2 was saved
      });
  run->Show();
  run->Start({});
  EXPECT_EQ(saved, 2);
  EXPECT_EQ(run->CancelCaption, "Closing...");
  EXPECT_EQ(run->Stage(), TBatchRun::TStage::Closed);
  EXPECT_EQ(run->CloseResult(), TBatchRun::TCloseResult::Cancel);
  EXPECT_EQ(f.state.BatchForm(), nullptr);
  EXPECT_EQ(f.status.back(), "");
  EXPECT_EQ(Written(), (std::set<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(BatchTest, CancelAnswerStopsAfterThatImage) {
  WriteFile(out + "/b.jpg", "old");
  f.prompt.Push(B::Cancel);
  auto run = Run({});
  EXPECT_EQ(run->Stage(), TBatchRun::TStage::Closed);
  EXPECT_EQ(Written(), (std::set<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(BatchTest, FrameCloseDuringTheRunWaitsForItsEnd) {
  std::unique_ptr<TBatchRun> run;
  TJobProc save = f.state.SaveCurrentJob();
  run = std::make_unique<TBatchRun>(f.state,
                                    [&](TFileEntry& e, int i, bool& s, std::optional<int> r) {
                                      save(e, i, s, r);
                                      if (i == 0) run->Close();
                                    });
  run->Show();
  run->Start({});
  EXPECT_EQ(Written().size(), 5u);
  EXPECT_EQ(run->Stage(), TBatchRun::TStage::Closed);
  EXPECT_EQ(f.status.back(), "Successfully saved 5 of 5 images!");
}

TEST_F(BatchTest, DialogBoxesFollowTheFlagsAndStayUntilStart) {
  f.state.Flags().BatchJobOverwriteAll = true;
  f.state.Flags().BatchJobOverwriteNone = true;
  f.state.Flags().BatchJobCreateAllDirs = true;
  f.state.Flags().BatchJobCancelled = true;
  {
    TBatchRun run(f.state, f.state.SaveCurrentJob());
    TBatchChoices choices = run.Show();
    EXPECT_FALSE(f.state.Flags().BatchJobCancelled);
    EXPECT_FALSE(choices.OverwriteAll);
    EXPECT_TRUE(choices.DontOverwrite);
    EXPECT_FALSE(choices.PromptForCreateDir);
    choices.CheckOverwriteAll(true);
    EXPECT_FALSE(choices.DontOverwrite);
    run.Cancel();  // before Start: closes, flags untouched
    EXPECT_EQ(run.Stage(), TBatchRun::TStage::Closed);
  }
  EXPECT_TRUE(f.state.Flags().BatchJobOverwriteAll);
  EXPECT_TRUE(f.state.Flags().BatchJobOverwriteNone);
  EXPECT_TRUE(Written().empty());
}

TEST_F(BatchTest, MissingFolderWithPromptOffIsCreated) {
  f.state.SetDestinationFolderField(out + "/new");
  TBatchChoices choices;
  choices.PromptForCreateDir = false;
  auto run = Run(choices);
  EXPECT_TRUE(f.prompt.Questions().empty());
  EXPECT_EQ(run->ResultText, "Successfully saved 5 of 5 images!");
}

TEST_F(BatchTest, SaveAllDropsStoredResizeSettingsButKeepsCropExclusionAndName) {
  // Entry 1, not the current one, so that its stored choices take effect when the run reaches it.
  f.OnEntry(1, [](TAppState& s) {
    TResizeSettings stored = s.Settings();
    stored.ResizeEnabled = true;
    SelectRule(stored, ResizeRule::Percent);
    stored.Percent = 200;
    stored.JpegQuality = 10;
    stored.AllowEnlarge = true;
    stored.AlwaysRecompress = true;
    s.ChangeSettings(TControl::UDPercent, TTrigger::Commit, stored);
    s.ChangeSettings(TControl::UDQuality, TTrigger::Commit, stored);
    s.ChangeSettings(TControl::CBAllowEnlarge, TTrigger::Commit, stored);
    s.ChangeSettings(TControl::CBForceRecompress, TTrigger::Commit, stored);
    s.ChangeSelection(TSelection{1, 1, 4, 3}, TSelectionPhase::Changed);
    s.ChangeOutputName("first");
  });
  const TFileEntry& a = f.state.List().At(1);
  ASSERT_EQ(a.ResizeMode, TResizeMode::Percent);
  ASSERT_EQ(a.Percent, 200);
  f.Exclude(4);
  f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = true; });
  f.EditSettings([](TResizeSettings& s) { SelectRule(s, ResizeRule::Percent); });
  f.EditSettings([](TResizeSettings& s) { s.Percent = 50; });

  std::string result;
  f.state.SaveAll([&](TBatchRun& run) {
    // Before the dialog opens the stored rule is gone already.
    EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::Unset);
    run.Show();
    run.Start({});
    result = run.ResultText;
  });
  EXPECT_EQ(result, "Successfully saved 4 of 4 images!");
  EXPECT_EQ(f.state.BatchForm(), nullptr);
  EXPECT_EQ(a.ResizeMode, TResizeMode::Unset);
  EXPECT_FALSE(a.JpegQuality);
  EXPECT_EQ(a.EnlargeChoice, TChoice::Unset);
  EXPECT_EQ(a.RecompressChoice, TChoice::Unset);
  EXPECT_TRUE(a.HasSelection());
  EXPECT_EQ(a.OutputName, "first");
  EXPECT_TRUE(f.state.List().At(4).Excluded);
  // The crop (4 x 3) at the settings' 50 % instead of the stored 200 %.
  EXPECT_EQ(testing::JpegSize(out + "/first.jpg"), std::make_pair(2, 2));
  EXPECT_EQ(testing::JpegSize(out + "/a.jpg"), std::make_pair(4, 3));
  EXPECT_FALSE(fs::exists(out + "/b.jpg"));
  EXPECT_FALSE(fs::exists(out + "/e.jpg"));
}

TEST_F(BatchTest, ApplyStoresSettingsAndResetClearsAllButTheName) {
  f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = true; });
  f.EditSettings([](TResizeSettings& s) { SelectRule(s, ResizeRule::LongerSide); });
  f.EditSettings([](TResizeSettings& s) { s.LongerPixels = 640; });
  f.EditSettings([](TResizeSettings& s) { s.JpegQuality = 77; });
  SelectRows({1, 2});
  f.state.ApplySettingsToJobs();
  EXPECT_EQ(f.state.List().At(0).ResizeMode, TResizeMode::Unset);
  EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::LongerSide);
  EXPECT_EQ(f.state.List().At(1).LongerPixels, 640);
  EXPECT_EQ(f.state.List().At(2).JpegQuality, 77);

  f.Exclude(1);
  f.OnEntry(1, [](TAppState& s) {
    s.ChangeSelection(TSelection{0, 0, 2, 2}, TSelectionPhase::Changed);
    s.ChangeOutputName("kept");
  });
  SelectRows({});
  f.state.ResetJobs();
  EXPECT_EQ(f.state.List().At(1).ResizeMode, TResizeMode::Unset);
  EXPECT_FALSE(f.state.List().At(1).Excluded);
  EXPECT_FALSE(f.state.List().At(1).HasSelection());
  EXPECT_EQ(f.state.List().At(1).OutputName, "kept");
  EXPECT_FALSE(f.state.List().At(2).JpegQuality);
}

TEST_F(BatchTest, ProcessEventsRunsAfterEveryIndex) {
  int breaths = 0;
  f.observer.onProcessEvents = [&] { ++breaths; };
  f.Exclude(2);
  Visited(TNavigate::No, TSkipExcluded::Yes);
  EXPECT_EQ(breaths, 5);
}

// An error outside the per-image guard ends the run the same way in either pass: no further
// pass, a result that says it stopped, and batch mode over.
TEST_F(BatchTest, AnObserverFailureEndsTheRunInEitherPassAlike) {
  for (int failAt : {1, 7}) {  // during the counting pass; during the working pass
    SCOPED_TRACE(failAt);
    fs::remove_all(out);
    fs::create_directories(out);
    int calls = 0;
    f.observer.onProcessEvents = [&] {
      if (++calls == failAt) throw EPicaxoError("event loop gone");
    };
    std::string result;
    f.state.ExecuteJobs([&](TBatchRun& run) {
      run.Start(run.Show());
      result = run.ResultText;
    });
    EXPECT_EQ(f.state.BatchForm(), nullptr);
    EXPECT_NE(result.find("the run stopped: event loop gone"), std::string::npos) << result;
    EXPECT_EQ(result.rfind("Saved ", 0), 0u) << result;
    // Counting stops after image 1 (nothing saved); the working pass after its second image.
    EXPECT_EQ(Written().size(), failAt == 1 ? 0u : 2u);
  }
}

TEST_F(BatchTest, AFailingImageIsReportedInPlainWordsAndTheRunGoesOn) {
  int index = 0;
  auto run = Run({}, [&](TFileEntry&, int, bool&, std::optional<int>) {
    if (index++ == 1) throw std::bad_alloc();
  });
  EXPECT_EQ(run->ResultText, "Saved 4 of 5 images: 0 skipped, 1 failed.");
  ASSERT_EQ(run->Outcomes.size(), 5u);
  EXPECT_EQ(run->Outcomes[0].Result, TJobResult::Succeeded);
  EXPECT_EQ(run->Outcomes[1].Result, TJobResult::Failed);
  EXPECT_EQ(run->Outcomes[1].Error, "Not enough memory to process b.bmp");
  EXPECT_EQ(run->Outcomes[2].Result, TJobResult::Succeeded);
  const TJobOutcome outcome = f.state.HandleJob(
      0, TNavigate::No, TSkipExcluded::No, TPassScope::AllRows,
      [](TFileEntry&, int, bool&, std::optional<int>) { throw std::bad_alloc(); });
  EXPECT_EQ(outcome.Result, TJobResult::Failed);
  EXPECT_EQ(outcome.Error, "Not enough memory to process a.bmp");
  // Our own errors as they stand, never the raw text of another exception nor "Unknown error".
  auto errorOf = [&](const std::function<void()>& fail) {
    return f.state
        .HandleJob(1, TNavigate::No, TSkipExcluded::Yes, TPassScope::AllRows,
                   [&](TFileEntry&, int, bool&, std::optional<int>) { fail(); })
        .Error;
  };
  EXPECT_EQ(errorOf([] { throw EPicaxoError("boom"); }), "boom");
  EXPECT_EQ(errorOf([] { throw std::runtime_error("basic_string::_M_create"); }),
            "Could not process b.bmp: an internal error occurred");
  EXPECT_EQ(errorOf([] { throw 42; }), "Could not process b.bmp: an internal error occurred");
}

// a.bmp and a.jpg both go to a.jpg. The run writes a.jpg from a.bmp; a.jpg must then not replace
// it under any overwrite choice (it did not exist before the run), and the result says so.
TEST_F(BatchTest, ALaterImageNeverReplacesAFileThisRunWrote) {
  WriteFile(src + "/a.jpg", JpegBytes(32, 24));
  const auto policies = {std::make_pair("ask", TBatchChoices{}),
                         std::make_pair("overwrite all", TBatchChoices{true, false, true}),
                         std::make_pair("never overwrite", TBatchChoices{false, true, true})};
  for (const auto& [name, choices] : policies) {
    SCOPED_TRACE(name);
    fs::remove_all(out);
    fs::create_directories(out);
    f.Open(src);
    ASSERT_EQ(f.state.Count(), 6);
    ASSERT_EQ(SplitPath(f.state.List().At(1).FileName).Name, "a.jpg");
    auto run = Run(choices);
    EXPECT_TRUE(f.prompt.Questions().empty());
    EXPECT_EQ(testing::JpegSize(out + "/a.jpg"), std::make_pair(8, 6));  // from a.bmp
    EXPECT_EQ(run->Outcomes[0].Result, TJobResult::Succeeded);
    EXPECT_EQ(run->Outcomes[1].Result, TJobResult::Failed);
    EXPECT_EQ(run->Outcomes[1].Error, "Not saved: a.jpg and a.bmp both go to \"" + out +
                                          "/a.jpg\", which this run already saved from a.bmp.");
    EXPECT_EQ(run->ResultText, "Saved 5 of 6 images: 0 skipped, 1 failed.");
    EXPECT_EQ(run->FailureDetails(), "a.jpg: " + run->Outcomes[1].Error);
  }
}

// The same file under another spelling (a linked folder) is the same destination.
TEST_F(BatchTest, AnotherSpellingOfAWrittenFileIsCaughtToo) {
  TWrittenFiles written;
  fs::create_directory_symlink(out, dir / "link");
  WriteFile(out + "/x.jpg", "x");
  written.Record(out + "/x.jpg", "x.bmp");
  EXPECT_EQ(written.WriterOf(dir / "link/x.jpg"), "x.bmp");
  EXPECT_EQ(written.WriterOf(out + "/y.jpg"), std::nullopt);
}

TEST_F(BatchTest, ARunWhereEveryImageFailedSaysSoWithEachReason) {
  for (char c = 'a'; c <= 'e'; ++c)
    WriteFile(src + "/" + c + ".bmp", "not a picture");
  f.Open(src);
  auto run = Run({});
  EXPECT_EQ(run->ResultText, "Saved 0 of 5 images: 0 skipped, 5 failed.");
  const std::string details = run->FailureDetails();
  EXPECT_EQ(std::count(details.begin(), details.end(), '\n'), 4) << details;
  EXPECT_EQ(details.rfind("a.bmp: ", 0), 0u) << details;
  EXPECT_NE(details.find("\ne.bmp: "), std::string::npos) << details;
  for (const TJobOutcome& outcome : run->Outcomes) {
    EXPECT_EQ(outcome.Result, TJobResult::Failed);
    EXPECT_FALSE(outcome.Error.empty());
  }
  EXPECT_TRUE(Written().empty());
}

// A source deleted after the scan: its line names the file and what could not be done.
TEST_F(BatchTest, AVanishedSourceIsNamedInItsError) {
  fs::remove(src + "/c.bmp");
  auto run = Run({});
  EXPECT_EQ(run->Outcomes[2].Result, TJobResult::Failed);
  EXPECT_EQ(run->Outcomes[2].Error,
            "Could not read \"" + src + "/c.bmp\": No such file or directory");
  EXPECT_EQ(run->ResultText, "Saved 4 of 5 images: 0 skipped, 1 failed.");
}

}  // namespace
}  // namespace picaxo
