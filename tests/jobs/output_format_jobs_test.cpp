// The output format as a per-image destination setting: stored with the quality, naming each
// image's file, carried into a batch run.
#include <gtest/gtest.h>

#include <string>

#include "imaging/output_codec.h"
#include "jobs/app_state.h"
#include "jobs/batch.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(OutputFormatJobs, EachImageKeepsItsFormatThroughTheBatchRun) {
  TScratchFolder dir;
  TStateFixture f;
  const std::string src = dir / "src", out = dir / "out";
  WriteBmp(src + "/a.bmp", 8, 6);
  WriteBmp(src + "/b.bmp", 8, 6);
  f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = false; });
  fs::create_directories(out);
  f.state.SetDestinationFolderField(out);
  f.Open(src);
  f.state.ApplySettingsToJobs();  // both images store JPEG with their quality
  // Image b alone is switched to PNG, as the Format list does.
  f.OnEntry(1, [](TAppState& s) {
    TResizeSettings png = s.Settings();
    png.OutputFormat = static_cast<uint8_t>(EOutputFormat::Png);
    const TRedraw redraw = s.ChangeSettings(TControl::CBFormat, TTrigger::Commit, png);
    EXPECT_TRUE(redraw.FileExistsMarker);
    EXPECT_TRUE(redraw.AllJobRows);
  });
  const TFileEntry& a = f.state.List().At(0);
  const TFileEntry& b = f.state.List().At(1);
  EXPECT_EQ(f.state.DestinationPathOf(&a), out + "/a.jpg");
  EXPECT_EQ(f.state.DestinationPathOf(&b), out + "/b.png");
  EXPECT_EQ(JobActionsText(b, f.state.Settings()), "direct copy, png");

  f.state.ExecuteJobs([](TBatchRun& run) { run.Start(run.Show()); });
  EXPECT_TRUE(FileHoldsFormat(ReadFile(out + "/a.jpg"), EImageFormat::Jpeg));
  EXPECT_TRUE(FileHoldsFormat(ReadFile(out + "/b.png"), EImageFormat::Png));
  EXPECT_FALSE(fs::exists(out + "/b.jpg"));

  // Reset clears the stored format with the quality: the names follow the settings again.
  f.state.ResetJobs();
  f.state.SetSettings([&] {
    TResizeSettings s = f.state.Settings();
    s.OutputFormat = static_cast<uint8_t>(EOutputFormat::Avif);
    return s;
  }());
  EXPECT_EQ(f.state.DestinationPathOf(&b), out + "/b.avif");
  EXPECT_EQ(f.state.DestinationFileNameOf(nullptr), f.state.OutputNameText() + ".avif");
}

}  // namespace
}  // namespace picaxo
