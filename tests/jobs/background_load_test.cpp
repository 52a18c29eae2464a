// Moving through the images faster than they decode: each move shows the image's name at once,
// the picture shown is that of the image the moves end on, and a burst costs one decode of the
// images passed at most, never one per move.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "imaging/decode_cancel.h"
#include "jobs/decode_ahead.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

struct BackgroundLoadTest : ::testing::Test {
  TScratchFolder dir;
  std::string src = dir / "src";
  // Decodes on the background thread wait here until the test opens it, so that a burst of moves
  // surely happens while one is under way.
  std::atomic<bool> open{false};
  std::mutex mutex;
  std::vector<std::string> toldToStop;
  bool failGivenUp = false;  // a decode given up ends in an error, as the JPEG decoder's does
  TDecodeAhead ahead{[this](const std::string& path, const TSourceOptions& options) {
    while (!open)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (DecodeCancelled()) {
      std::lock_guard<std::mutex> lock(mutex);
      toldToStop.push_back(path);
      if (failGivenUp) return TDecodedSource{nullptr, {}, {}, "given up"};
    }
    return DecodeWholeSource(path, options);
  }};
  TStateFixture f;

  void SetUp() override {
    for (int i = 0; i < 12; ++i)
      WriteBmp(src + "/" + char('a' + i) + ".bmp", 20 + i, 10, uint8_t(0x10 * (i + 1)));
    f.state.SetSourceSupplier(&ahead);
    f.state.SetLoadsInBackground(true);
    f.Open(src);  // the first image loads at once; the next one starts and waits for the gate
    for (int i = 0; i < 5000 && ahead.Started().empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(ahead.Started(), std::vector<std::string>{Path('b')});
  }
  void TearDown() override { open = true; }

  std::string Path(char name) const { return src + "/" + name + ".bmp"; }
  // Lets the window's polls run until the picture arrived.
  void FinishLoad() {
    for (int i = 0; i < 5000 && f.state.FinishPendingLoad(false); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(f.state.LoadPending());
  }
};

TEST_F(BackgroundLoadTest, ABurstOfMovesEndsOnTheLastImageWithoutQueuingTheImagesPassed) {
  for (int i = 0; i < 10; ++i)
    f.state.GoNext();
  // The move itself is done: the name and number of k, but no picture yet, nor an old one.
  EXPECT_EQ(f.state.CurrentIndex(), 10);
  EXPECT_EQ(f.state.SourceNameText(), "k");
  EXPECT_TRUE(f.state.LoadPending());
  EXPECT_TRUE(f.state.Image().Empty());
  EXPECT_TRUE(f.state.EnabledCommands().Save);
  EXPECT_TRUE(f.state.FinishPendingLoad(false));

  open = true;
  FinishLoad();
  // b was under way when the burst began; it was told to stop, its late picture was never shown,
  // and nothing between b and k was decoded (k's neighbours may follow).
  const std::vector<std::string> started = ahead.Started();
  ASSERT_GE(started.size(), 2u);
  EXPECT_EQ(started[0], Path('b'));
  EXPECT_EQ(started[1], Path('k'));
  EXPECT_EQ(toldToStop, std::vector<std::string>{Path('b')});
  EXPECT_EQ(f.state.Image().LoadedFileName(), Path('k'));
  EXPECT_EQ(f.state.Image().Width(), 30);
  EXPECT_EQ(f.state.Image().Image().ScanLine(0)[0], 0xB0);
  EXPECT_EQ(f.state.List().At(10).Size.value().Width, 30);
  EXPECT_TRUE(f.status.back().empty()) << f.status.back();
  // Decoding ahead goes on from k.
  ahead.WaitIdle();
  f.state.GoNext();
  EXPECT_FALSE(f.state.LoadPending());
  EXPECT_EQ(f.state.Image().Width(), 31);
}

TEST_F(BackgroundLoadTest, ADecodeGivenUpIsNeverReportedAsTheFilesErrorWhenTheUserComesBack) {
  failGivenUp = true;
  f.state.GoNext();  // b, under way
  f.state.GoNext();  // c: b is given up
  f.state.GoPrevious();
  open = true;
  FinishLoad();
  EXPECT_FALSE(f.state.Image().Failed()) << f.state.Image().LoadError();
  EXPECT_EQ(f.state.Image().Width(), 21);
  EXPECT_EQ(f.state.Image().Image().ScanLine(0)[0], 0x20);
}

TEST_F(BackgroundLoadTest, ACommandThatNeedsThePictureWaitsForIt) {
  f.state.GoNext();
  EXPECT_TRUE(f.state.LoadPending());
  open = true;
  EXPECT_FALSE(f.state.FinishPendingLoad(true));
  EXPECT_EQ(f.state.Image().Width(), 21);
  EXPECT_EQ(f.state.SourceNameText(), "b");
}

}  // namespace
}  // namespace picaxo
