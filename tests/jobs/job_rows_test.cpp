// The job list's cell texts over a scanned folder.
#include "jobs/job_rows.h"

#include <gtest/gtest.h>

#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(JobRows, CellsShowTheEntryTextsAndAnErrorRowPastTheList) {
  TScratchFolder dir;
  // Folder names are limited to 255 bytes: two of them make the long relative path.
  const std::string longFolder = std::string(200, 'f') + "/" + std::string(194, 'g');
  WriteBmp(dir / "a.bmp");
  WriteBmp(dir / (longFolder + "/" + std::string(20, 'n') + ".bmp"));
  TStateFixture f;
  f.Open(dir.Path(), /*recursive=*/true);
  ASSERT_EQ(f.state.Count(), 2);
  f.OnEntry(0, [](TAppState& s) {
    s.ChangeExcluded(true);
    TResizeSettings settings = s.Settings();
    settings.JpegQuality = 70;
    s.ChangeSettings(TControl::UDQuality, TTrigger::Commit, settings);
  });
  EXPECT_EQ(JobCellText(f.state, 0, TJobColumn::FileName), "a.bmp");
  EXPECT_EQ(JobCellText(f.state, 0, TJobColumn::Actions), "Q=70");
  EXPECT_EQ(JobCellText(f.state, 0, TJobColumn::Flags), "E");
  // The relative path is cut at 400 characters.
  EXPECT_EQ(JobCellText(f.state, 1, TJobColumn::FileName), (longFolder + "/nnnn"));
  EXPECT_EQ(JobCellText(f.state, 1, TJobColumn::Flags), "");
  EXPECT_EQ(JobCellText(f.state, 2, TJobColumn::FileName), "(error)");
  EXPECT_EQ(JobCellText(f.state, 2, TJobColumn::Actions), "");
  EXPECT_EQ(JobCellText(f.state, -1, TJobColumn::FileName), "(error)");
}

// Images that would go to one destination file carry "C" before the run; an output name or an
// exclusion that ends the sharing clears it on both rows.
TEST(JobRows, ImagesSharingADestinationAreFlagged) {
  TScratchFolder dir;
  for (const char* name : {"b.JPG", "b.jpg", "c.bmp", "d.bmp"})
    WriteBmp(dir / name);
  TStateFixture f;
  f.state.SetDestinationFolderField(dir / "out");
  f.Open(dir.Path());
  auto flags = [&] {
    std::vector<std::string> texts;
    for (int row = 0; row < f.state.Count(); ++row)
      texts.push_back(JobCellText(f.state, row, TJobColumn::Flags));
    return texts;
  };
  EXPECT_EQ(flags(), (std::vector<std::string>{"C", "C", "", ""}));
  f.OnEntry(3, [](TAppState& s) { EXPECT_TRUE(s.ChangeOutputName("c").AllJobRows); });
  EXPECT_EQ(flags(), (std::vector<std::string>{"C", "C", "C", "C"}));
  f.Exclude(0);
  EXPECT_EQ(flags(), (std::vector<std::string>{"E", "", "C", "C"}));
  EXPECT_EQ(f.state.DestinationCollisions(), (std::vector<std::vector<int32_t>>{{2, 3}}));
}

}  // namespace
}  // namespace picaxo
