// A transparent source is laid over the padding colour it will be saved with.
#include <gtest/gtest.h>

#include <fstream>

#include "jobs/app_state.h"
#include "jobs/controls.h"
#include "jobs_test_util.h"
#include "support/picture_files.h"

namespace picaxo {
namespace {

using namespace testing;

TEST(TransparentSource, FollowsThePaddingColour) {
  TScratchFolder dir;
  {
    // 4 x 3 pixels of pure green, wholly transparent.
    std::ofstream pam(dir / "clear.pam", std::ios::binary);
    pam << "P7\nWIDTH 4\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int i = 0; i < 12; ++i)
      pam << '\0' << '\xff' << '\0' << '\0';
  }
  ASSERT_NO_FATAL_FAILURE(Shell("pamtopng " + (dir / "clear.pam") + " > " + (dir / "a.png")));
  TStateFixture f;
  f.Open(dir.Path());
  ASSERT_EQ(f.state.Count(), 1);
  const auto pixel = [&] {
    const uint8_t* p = f.state.Image().Image().ScanLine(2) + 3 * 3;
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];  // 0xBBGGRR
  };
  EXPECT_EQ(pixel(), f.state.Settings().PaddingColor);
  TResizeSettings settings = f.state.Settings();
  settings.PaddingColor = 0x2040E0;
  f.state.ChangeSettings(TControl::PaddedFitColorPanel, TTrigger::Commit, settings);
  EXPECT_EQ(pixel(), 0x2040E0u);
  EXPECT_EQ(f.state.Image().Width(), 4);
}

}  // namespace
}  // namespace picaxo
