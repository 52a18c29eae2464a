// What loading and converting a source left out reaches the window's status line, as a damaged
// source does.
#include <gtest/gtest.h>

#include <string>

#include "imaging/jpeg_markers.h"
#include "jobs/app_state.h"
#include "jobs/saver.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(SourceNotes, AnUnusableProfileAndUnreadableMetadataAreNamedInTheStatusLine) {
  TScratchFolder dir;
  // Chunk 2 of a profile in one chunk: the profile is ignored on loading.
  const std::string brokenProfile =
      MakeSegment(0xE2, std::string("ICC_PROFILE\0\x02\x01", 14) + std::string(200, 'x'));
  // An EXIF block exiv2 cannot read: kept metadata leaves it out on saving.
  const std::string brokenExif = MakeSegment(0xE1, std::string("Exif\0\0QQ", 8) + "junk");
  WriteFile(dir / "src/p.jpg", InsertSegmentsAfterApp0(JpegBytes(64, 48), brokenProfile));
  WriteFile(dir / "src/q.jpg", InsertSegmentsAfterApp0(JpegBytes(64, 48), brokenExif));
  TStateFixture f;
  f.EditSettings([](TResizeSettings& s) {
    s.ResizeEnabled = false;
    s.AlwaysRecompress = true;
    s.Metadata = static_cast<uint8_t>(TMetadataPolicy::Keep);
  });
  fs::create_directories(dir / "out");
  f.state.SetDestinationFolderField(dir / "out");
  f.Open(dir / "src");

  EXPECT_EQ(f.state.Image().Width(), 64);
  EXPECT_EQ(f.status.back(),
            "Warning: p.jpg: the colour profile was ignored: its chunks are "
            "missing or inconsistent");

  f.state.GoNext();
  EXPECT_EQ(f.status.back(), "");
  const TSaveOutcome saved = f.state.SaveCurrentImage();
  ASSERT_TRUE(saved.Saved());
  EXPECT_EQ(f.status.back(), SavedMessage(saved.Path, saved.ByteCount) +
                                 " Warning: q.jpg: " + "unreadable metadata was left out: EXIF.");
}

}  // namespace
}  // namespace picaxo
