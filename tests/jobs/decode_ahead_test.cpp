// Decoding ahead: the neighbours of the image shown are decoded on a thread of their own and
// used when the user moves to them, but never once their file changed or the list was read again.
#include "jobs/decode_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

struct DecodeAheadTest : ::testing::Test {
  TScratchFolder dir;
  std::string src = dir / "src";
  TDecodeAhead ahead;
  TStateFixture f;

  void SetUp() override {
    WriteBmp(src + "/a.bmp", 40, 30, 0x10);
    WriteBmp(src + "/b.bmp", 50, 20, 0x20);
    WriteBmp(src + "/c.bmp", 60, 10, 0x30);
    f.state.SetSourceSupplier(&ahead);
    f.Open(src);
    ahead.WaitIdle();
  }

  uint8_t FirstByte() const { return f.state.Image().Image().ScanLine(0)[0]; }

  // Rewrites path with other pixels of the same size and gives it back its old modification time:
  // a change that size and time cannot show.
  static void ChangeUnseen(const std::string& path, uint8_t shade) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    WriteBmp(path, 50, 20, shade);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
};

TEST_F(DecodeAheadTest, TheNextImageComesFromItsDecodeAheadAndAReplacedFileIsReadAgain) {
  EXPECT_EQ(ahead.HeldCount(), 1u);  // the first image has no previous one
  f.state.GoNext();
  EXPECT_EQ(ahead.Hits(), 1);
  EXPECT_EQ(f.state.Image().Width(), 50);
  EXPECT_EQ(FirstByte(), 0x20);
  ahead.WaitIdle();
  EXPECT_EQ(ahead.HeldCount(), 2u);  // the next and the previous
  EXPECT_LE(ahead.HeldBytes(), AheadBudget(f.state.Image().Image().ByteSize()));

  // Replaced on disk after it was decoded ahead: shown as it is now.
  WriteBmp(src + "/c.bmp", 70, 35, 0x40);
  f.state.GoNext();
  EXPECT_EQ(ahead.Hits(), 1);
  EXPECT_EQ(f.state.Image().Width(), 70);
  EXPECT_EQ(FirstByte(), 0x40);
}

TEST_F(DecodeAheadTest, AnErrorFoundAheadIsReportedWhenTheUserArrives) {
  WriteFile(src + "/c.bmp", "BM but nothing else");
  f.state.GoNext();
  ahead.WaitIdle();  // c is decoded ahead now, and fails
  f.state.GoNext();
  EXPECT_TRUE(f.state.Image().Failed());
  TStateFixture plain;
  plain.Open(src);
  plain.state.GoLast();
  EXPECT_EQ(f.state.Image().LoadError(), plain.state.Image().LoadError());
  EXPECT_EQ(f.status.back(), plain.status.back());
}

TEST_F(DecodeAheadTest, ReadingTheListAgainOrReloadingDropsWhatWasDecodedAhead) {
  ChangeUnseen(src + "/b.bmp", 0x77);
  f.state.RescanSourceFolder();
  f.state.GoNext();
  EXPECT_EQ(FirstByte(), 0x77);

  // A reload (what a rotation does) drops the neighbours decoded before it.
  f.state.GoPrevious();
  ahead.WaitIdle();
  ChangeUnseen(src + "/b.bmp", 0x66);
  f.state.ReloadCurrentImage();
  f.state.GoNext();
  EXPECT_EQ(FirstByte(), 0x66);
}

TEST(AheadBudget, ThreeRastersOfTheCurrentSizeAndNeverMoreThanOneGibibyte) {
  EXPECT_EQ(AheadBudget(0), 0u);
  EXPECT_EQ(AheadBudget(100), 200u);
  EXPECT_EQ(AheadBudget(400u << 20), kMaxAheadBytes - (400u << 20));  // room for one neighbour
  EXPECT_EQ(AheadBudget(600u << 20), kMaxAheadBytes - (600u << 20));  // for none of its size
  EXPECT_EQ(AheadBudget(kMaxAheadBytes), 0u);
}

}  // namespace
}  // namespace picaxo
