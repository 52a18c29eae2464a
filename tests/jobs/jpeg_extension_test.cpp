// A ".jpeg" source is a JPEG in every rule a ".jpg" one is: copied byte for byte when its pixels
// would not change, turned losslessly, and saved under the name ".jpg".
#include <gtest/gtest.h>

#include <string>

#include "jobs/app_state.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(JpegExtension, DotJpegIsCopiedAndTurnedLosslessly) {
  TScratchFolder dir;
  const std::string src = dir / "src", out = dir / "out";
  WriteFile(src + "/p.JPEG", JpegBytes(64, 48));
  TStateFixture f;
  f.EditSettings([](TResizeSettings& s) { s.ResizeEnabled = false; });
  fs::create_directories(out);
  f.state.SetDestinationFolderField(out);
  f.Open(src);

  EXPECT_TRUE(f.state.EnabledCommands().RotateRight);
  const TRotateOutcome turned = f.state.RotateCurrentImage(TRotation::Right);
  EXPECT_EQ(turned.Result, TRotateResult::Rotated);
  EXPECT_EQ(JpegSize(src + "/p.JPEG"), std::make_pair(48, 64));

  const std::string source = ReadFile(src + "/p.JPEG");
  EXPECT_EQ(f.state.DestinationPathOf(&f.state.List().At(0)), out + "/p.jpg");
  EXPECT_TRUE(f.state.SaveCurrentImage().Saved());
  EXPECT_EQ(ReadFile(out + "/p.jpg"), source);  // the copy, not a re-encoding
}

}  // namespace
}  // namespace picaxo
