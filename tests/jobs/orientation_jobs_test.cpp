// A portrait photo stored landscape with an EXIF orientation, as phones make them: the window's
// model and the command line's streaming state see it upright.
#include <gtest/gtest.h>

#include "imaging/exif_orientation.h"
#include "jobs/app_state.h"
#include "jobs_test_util.h"
#include "support/exif_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(TaggedPortrait, IsUprightInTheSizesAndThePreviewAndTheOptionReloadsIt) {
  TScratchFolder dir;
  WriteFile(dir / "p.jpg", WithOrientation(JpegBytes(64, 48), 6));
  for (TSourceAccess access : {TSourceAccess::Whole, TSourceAccess::Stream}) {
    SCOPED_TRACE(static_cast<int>(access));
    TStateFixture f;
    f.state.SetSourceAccess(access);
    f.Open(dir.Path());
    EXPECT_EQ(f.state.List().At(0).Size.value().Width, 48);
    EXPECT_EQ(f.state.List().At(0).Size.value().Height, 64);
    EXPECT_EQ(f.state.Image().Notes().AppliedOrientation, 6);
    if (access == TSourceAccess::Stream) continue;
    EXPECT_EQ(f.state.CurrentImageTexts().OriginalSize, "48x64");
    f.state.SetPreviewMode(true);
    EXPECT_EQ(f.state.View().Picture->Width(), 24);  // Percent 50 of the upright picture

    const int loads = f.loads;
    f.state.SetAutoOrient(false);
    EXPECT_GT(f.loads, loads);
    EXPECT_EQ(f.state.List().At(0).Size.value().Width, 64);
    EXPECT_EQ(f.state.View().Picture->Width(), 32);
    EXPECT_EQ(f.state.Image().Notes().AppliedOrientation, 1);
  }
}

// Ctrl+R on what the user sees: the file ends up showing it turned right in every viewer, and the
// selection drawn on the upright picture turns with it.
TEST(TaggedPortrait, RotatingTurnsWhatIsShownAndResetsTheTag) {
  TScratchFolder dir;
  WriteFile(dir / "p.jpg", WithOrientation(JpegBytes(640, 480), 6));
  TStateFixture f;
  f.Open(dir.Path());
  f.state.ChangeSelection(TSelection{10, 20, 109, 219}, TSelectionPhase::Changed);
  EXPECT_EQ(f.state.RotateCurrentImage(TRotation::Right).Result, TRotateResult::Rotated);
  EXPECT_EQ(ReadExifOrientationFile(dir / "p.jpg").Orientation, 1);
  // Upright 480 x 640 turned right is 640 x 480, now stored that way.
  EXPECT_EQ(JpegSize(dir / "p.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(f.state.List().At(0).Size.value().Width, 640);
  EXPECT_EQ(f.state.ViewSelection(), (TSelection{420, 10, 619, 109}));
}

}  // namespace
}  // namespace picaxo
