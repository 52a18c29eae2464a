// The batch run with its conversions on worker threads against the one-thread run: the same
// files, the same questions in the same order, the same outcomes.
#include "jobs/parallel_save.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using B = TPromptButton;

struct TRunRecord {
  std::vector<std::pair<TQuestionId, std::string>> questions;
  std::map<std::string, std::string> files;  // the destination tree: relative name -> bytes
  std::vector<std::pair<TJobResult, std::string>> outcomes;
  std::string result;
  int saved = 0, skipped = 0, failed = 0, total = 0;
};

// Builds the same folders afresh, sets per-image choices and runs Batch Resize with workers.
TRunRecord RunWith(unsigned workers, std::initializer_list<B> answers,
                   const std::function<void(TStateFixture&, TBatchRun&)>& during = {}) {
  TScratchFolder dir;
  const std::string src = dir / "src", out = dir / "out";
  WriteFile(src + "/a.jpg", JpegBytes(120, 90));
  WriteBmp(src + "/b.bmp", 90, 70, 0x20);
  WriteFile(src + "/c.jpg", "not a picture at all");  // fails to load
  WriteFile(src + "/d.jpg", JpegBytes(80, 60));
  WriteBmp(src + "/e.bmp", 64, 64, 0x90);
  WriteFile(src + "/f.jpg", JpegBytes(100, 40));
  WriteBmp(src + "/g.bmp", 33, 77, 0xF0);
  WriteFile(src + "/h.jpg", JpegBytes(60, 60));
  WriteBmp(src + "/sub/i.bmp", 40, 30);
  WriteFile(src + "/sub/j.jpg", JpegBytes(50, 70));
  for (const char* kept : {"/d.jpg", "/f.jpg", "/h.jpg"})
    WriteFile(out + kept, "an older file");

  TStateFixture f;
  f.EditSettings([](TResizeSettings& s) {
    s.ResizeEnabled = true;
    SelectRule(s, ResizeRule::Percent);
    s.Percent = 75;
  });
  f.state.SetDestinationFolderField(out);
  f.Open(src, true);
  // Stored choices of some images; an image without its own keeps those of the one before it.
  f.OnEntry(1, [](TAppState& s) {
    TResizeSettings stored = s.Settings();
    stored.Percent = 40;
    stored.JpegQuality = 55;
    s.ChangeSettings(TControl::UDPercent, TTrigger::Commit, stored);
    s.ChangeSettings(TControl::UDQuality, TTrigger::Commit, stored);
  });
  f.OnEntry(4, [](TAppState& s) {
    s.ChangeSelection(TSelection{5, 6, 40, 30}, TSelectionPhase::Changed);
    s.ChangeOutputName("cropped");
  });
  f.Exclude(6);
  for (B answer : answers)
    f.prompt.Push(answer);
  f.state.SetBatchWorkers(workers);

  TRunRecord record;
  f.state.ExecuteJobs([&](TBatchRun& run) {
    if (during) during(f, run);
    run.Start(run.Show());
    record.result = run.ResultText;
    record.saved = run.SavedCount;
    record.skipped = run.SkippedCount;
    record.failed = run.FailedCount;
    record.total = run.TotalCount;
    for (const TJobOutcome& o : run.Outcomes)
      record.outcomes.emplace_back(o.Result, o.Error);
  });
  for (const TQuestion& q : f.prompt.Questions())
    record.questions.emplace_back(q.Id, q.Text);
  for (const auto& e : fs::recursive_directory_iterator(out))
    if (e.is_regular_file())
      record.files[fs::relative(e.path(), out).string()] = ReadFile(e.path().string());
  return record;
}

void ExpectSameRun(const TRunRecord& one, const TRunRecord& many) {
  EXPECT_EQ(one.questions, many.questions);
  EXPECT_EQ(one.outcomes, many.outcomes);
  EXPECT_EQ(one.result, many.result);
  EXPECT_EQ(std::tie(one.saved, one.skipped, one.failed, one.total),
            std::tie(many.saved, many.skipped, many.failed, many.total));
  ASSERT_EQ(one.files.size(), many.files.size());
  for (const auto& [name, bytes] : one.files) {
    ASSERT_TRUE(many.files.count(name)) << name;
    EXPECT_TRUE(many.files.at(name) == bytes) << name << " differs";
  }
}

TEST(ParallelSave, WritesTheBytesAndAsksTheQuestionsOfTheOneThreadRun) {
  // Overwrite d: Yes; f: No, and not "none of the following"; h: All; the missing subfolder:
  // Yes. The failing image is reported and the run goes on.
  const auto answers = {B::Yes, B::No, B::No, B::All, B::Yes};
  const TRunRecord one = RunWith(1, answers);
  ASSERT_EQ(one.failed, 1);
  ASSERT_GE(one.questions.size(), 5u);
  EXPECT_NE(one.files.at("d.jpg"), "an older file");
  EXPECT_EQ(one.files.at("f.jpg"), "an older file");
  for (unsigned workers : {2u, 3u, 8u}) {
    SCOPED_TRACE(workers);
    ExpectSameRun(one, RunWith(workers, answers));
  }
}

TEST(ParallelSave, CancelToAQuestionWritesNothingAfterTheImagesBeforeIt) {
  // Overwrite d: Yes; f: Cancel. Images after f that workers were decoding are not written.
  const auto answers = {B::Yes, B::Cancel};
  const TRunRecord one = RunWith(1, answers);
  EXPECT_EQ(one.files.at("f.jpg"), "an older file");
  EXPECT_EQ(one.files.count("sub/i.jpg"), 0u);
  for (unsigned workers : {2u, 4u}) {
    SCOPED_TRACE(workers);
    ExpectSameRun(one, RunWith(workers, answers));
  }
}

TEST(ParallelSave, CancelDuringTheRunReportsOnlyWhatWasWritten) {
  // Cancel as soon as the run lets the interface breathe: what is written is exactly what the
  // outcomes call saved, and the run ends closed.
  TRunRecord record = RunWith(3, {B::All, B::All}, [](TStateFixture& f, TBatchRun& run) {
    f.observer.onProcessEvents = [&f, &run] {
      const auto& texts = f.observer.batchStatus;
      if (std::count(texts.begin(), texts.end(), "Saving...") >= 2) run.Cancel();
    };
  });
  int saved = 0;
  for (const auto& [result, error] : record.outcomes)
    saved += result == TJobResult::Succeeded;
  int rewritten = 0;
  for (const auto& [name, bytes] : record.files)
    rewritten += bytes != "an older file";
  EXPECT_EQ(rewritten, saved);
  EXPECT_GE(saved, 2);
  EXPECT_LT(saved, 8);
  EXPECT_EQ(record.saved, saved);
}

}  // namespace
}  // namespace picaxo
