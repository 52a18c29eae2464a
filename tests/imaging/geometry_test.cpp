#include "imaging/geometry.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/error.h"

namespace picaxo {
namespace {

TResizeSettings Rule(ResizeRule rule) {
  TResizeSettings s;
  SelectRule(s, rule);
  return s;
}

TResizeSettings Longer(int pixels) {
  TResizeSettings s = Rule(ResizeRule::LongerSide);
  s.LongerPixels = static_cast<int16_t>(pixels);
  return s;
}

TResizeSettings Percent(int percent) {
  TResizeSettings s = Rule(ResizeRule::Percent);
  s.Percent = static_cast<int16_t>(percent);
  return s;
}

TResizeSettings Area(int side) {
  TResizeSettings s = Rule(ResizeRule::FixedArea);
  s.AreaPixels = static_cast<int16_t>(side);
  return s;
}

TResizeSettings Fit(int width, int height, bool padded = false) {
  TResizeSettings s = Rule(ResizeRule::Fit);
  s.FixedFitWidth = width;
  s.FixedFitHeight = height;
  s.PaddedFitEnabled = padded;
  return s;
}

void ExpectSizes(const OutputGeometry& g, int frameW, int frameH, int imageW, int imageH) {
  EXPECT_EQ(g.FrameWidth, frameW);
  EXPECT_EQ(g.FrameHeight, frameH);
  EXPECT_EQ(g.ImageWidth, imageW);
  EXPECT_EQ(g.ImageHeight, imageH);
}

TEST(OutputGeometry, WorkedExamplesOfEachRule) {
  OutputGeometry g = ComputeOutputGeometry(1600, 1200, Longer(600), false);
  EXPECT_DOUBLE_EQ(g.Scale, 0.375);
  ExpectSizes(g, 600, 450, 600, 450);

  ExpectSizes(ComputeOutputGeometry(1024, 768, Percent(50), false), 512, 384, 512, 384);

  g = ComputeOutputGeometry(1600, 1200, Fit(1024, 800), false);
  EXPECT_DOUBLE_EQ(g.Scale, 0.64);
  ExpectSizes(g, 1024, 768, 1024, 768);
  EXPECT_FALSE(g.Padded());
  g = ComputeOutputGeometry(1600, 1200, Fit(1024, 800, true), false);
  ExpectSizes(g, 1024, 800, 1024, 768);
  EXPECT_TRUE(g.Padded());

  g = ComputeOutputGeometry(1600, 1200, Area(400), false);
  EXPECT_DOUBLE_EQ(g.Scale, 463.0 / 1600.0);
  ExpectSizes(g, 463, 347, 463, 347);
}

TEST(OutputGeometry, LongerSideUsesTheLongerSideAndWidthForSquares) {
  ExpectSizes(ComputeOutputGeometry(1200, 1600, Longer(600), false), 450, 600, 450, 600);
  ExpectSizes(ComputeOutputGeometry(800, 800, Longer(600), false), 600, 600, 600, 600);
}

TEST(OutputGeometry, FitTakesTheSmallerRatio) {
  // Height ratio 2, width ratio 0.5: the width ratio wins.
  ExpectSizes(ComputeOutputGeometry(400, 100, Fit(200, 200), false), 200, 50, 200, 50);
  // Height ratio 0.5, width ratio 2.
  ExpectSizes(ComputeOutputGeometry(100, 400, Fit(200, 200), false), 50, 200, 50, 200);
}

TEST(OutputGeometry, EnlargeRuleWithItsChoice) {
  ExpectSizes(ComputeOutputGeometry(100, 100, Area(400), false), 100, 100, 100, 100);
  OutputGeometry g = ComputeOutputGeometry(100, 100, Area(400), true);
  EXPECT_DOUBLE_EQ(g.Scale, 4.0);
  ExpectSizes(g, 400, 400, 400, 400);
  // Exactly 1.0 is untouched either way; just above 1 is clamped without enlarging.
  EXPECT_DOUBLE_EQ(ComputeOutputGeometry(600, 400, Longer(600), false).Scale, 1.0);
  EXPECT_DOUBLE_EQ(ComputeOutputGeometry(600, 400, Longer(600), true).Scale, 1.0);
  EXPECT_DOUBLE_EQ(ComputeOutputGeometry(599, 400, Longer(600), false).Scale, 1.0);
  EXPECT_GT(ComputeOutputGeometry(599, 400, Longer(600), true).Scale, 1.0);
  // Shrinking is never affected by the enlarge choice.
  EXPECT_DOUBLE_EQ(ComputeOutputGeometry(1200, 400, Longer(600), false).Scale, 0.5);
}

TEST(OutputGeometry, RoundsHalfWayToEvenInDouble) {
  // 2.5 and 1.5 are exact ties: 2 and 2.
  ExpectSizes(ComputeOutputGeometry(5, 3, Percent(50), false), 2, 2, 2, 2);
  // 150 * 0.07 is 10.500000000000002 in double, so it rounds up.
  EXPECT_EQ(ComputeOutputGeometry(150, 150, Percent(7), false).ImageWidth, 11);
  // 7 * 0.5 = 3.5 goes to 4.
  EXPECT_EQ(ComputeOutputGeometry(7, 7, Percent(50), false).ImageWidth, 4);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(-0.5), -0.0);
}

TEST(OutputGeometry, NoSideBelowOne) {
  // 1 % of 50 pixels is 0.5, which would round to 0.
  ExpectSizes(ComputeOutputGeometry(50, 40, Percent(1), false), 1, 1, 1, 1);
  ExpectSizes(ComputeOutputGeometry(10000, 10, Longer(10), false), 10, 1, 10, 1);
  EXPECT_THROW(ComputeOutputGeometry(0, 10, Percent(50), false), EPicaxoError);
}

TEST(OutputGeometry, ResizeOffOrNoRuleKeepsTheSize) {
  TResizeSettings s = Fit(1024, 800, true);
  s.ResizeEnabled = false;
  // No padded frame while resizing is off: the unscaled picture, as "direct copy" says.
  ExpectSizes(ComputeOutputGeometry(50, 40, s, true), 50, 40, 50, 40);
  TResizeSettings none;
  SelectRule(none, std::nullopt);
  ExpectSizes(ComputeOutputGeometry(333, 222, none, true), 333, 222, 333, 222);
}

TEST(OutputGeometry, PaddedSmallPictureIsNotEnlarged) {
  OutputGeometry g = ComputeOutputGeometry(50, 40, Fit(1024, 800, true), false);
  EXPECT_DOUBLE_EQ(g.Scale, 1.0);
  ExpectSizes(g, 1024, 800, 50, 40);
  g = ComputeOutputGeometry(50, 40, Fit(1024, 800, true), true);
  EXPECT_DOUBLE_EQ(g.Scale, 20.0);
  ExpectSizes(g, 1024, 800, 1000, 800);
}

TEST(OutputGeometry, HugeFitFramesSaturateInsteadOfOverflowing) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  OutputGeometry g = ComputeOutputGeometry(3, 2, Fit(max, max, true), true);
  EXPECT_EQ(g.FrameWidth, max);
  EXPECT_EQ(g.FrameHeight, max);
  EXPECT_GE(g.ImageWidth, 1);
  g = ComputeOutputGeometry(1, 1, Fit(max, max), true);
  EXPECT_EQ(g.ImageWidth, max);
  EXPECT_EQ(g.ImageHeight, max);
}

TEST(FixedAreaSearch, FollowsDescentThenAscent) {
  EXPECT_EQ(FixedAreaWidth(1600, 1200, 400), 463);
  EXPECT_EQ(FixedAreaWidth(100, 100, 400), 400);  // ascent only
  // The result reaches the wanted area, never less.
  for (int w : {37, 640, 1001, 4000})
    for (int h : {29, 480, 999}) {
      const int64_t x = FixedAreaWidth(w, h, 100);
      const int64_t y = static_cast<int64_t>(RoundHalfEven(static_cast<double>(h) / w * x));
      EXPECT_GE(x * y, 100 * 100) << w << "x" << h;
    }
}

TEST(FixedAreaSearch, DescentStopsAtWidthOne) {
  // Even width 1 gives more than 100 pixels: the search ends at 1 instead of running negative.
  EXPECT_EQ(FixedAreaWidth(3, 400, 10), 1);
  EXPECT_THROW(FixedAreaWidth(0, 400, 10), EPicaxoError);
  OutputGeometry g = ComputeOutputGeometry(3, 400, Area(10), false);
  EXPECT_EQ(g.ImageWidth, 1);
  EXPECT_EQ(g.ImageHeight, 133);
}

TEST(Selection, NormalisedInclusiveAndClamped) {
  std::optional<TSelection> s = MakeSelection(30, 40, 10, 20, 100, 100);
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, (TSelection{10, 20, 30, 40}));
  EXPECT_EQ(s->Width(), 21);
  EXPECT_EQ(s->Height(), 21);
  s = MakeSelection(-5, -5, 500, 500, 100, 80);
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, (TSelection{0, 0, 99, 79}));
  // A one-pixel strip is a selection, a single pixel is not.
  s = MakeSelection(5, 0, 5, 9, 100, 100);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Width(), 1);
  EXPECT_FALSE(MakeSelection(5, 5, 5, 5, 100, 100));
  EXPECT_FALSE(MakeSelection(0, 0, 3, 3, 0, 0));
}

TEST(Selection, BaseSizeIsTheSelection) {
  const TSelection strip{10, 0, 10, 399};
  OutputGeometry g = ComputeOutputGeometry(1000, 1000, strip, Longer(200), false);
  EXPECT_EQ(g.ImageWidth, 1);
  EXPECT_EQ(g.ImageHeight, 200);
  g = ComputeOutputGeometry(1000, 500, std::nullopt, Longer(200), false);
  ExpectSizes(g, 200, 100, 200, 100);
  // A single pixel is no selection, and a rectangle reaching past the picture is cut to it, as the
  // conversion cuts it.
  g = ComputeOutputGeometry(1000, 500, TSelection{7, 7, 7, 7}, Longer(200), false);
  ExpectSizes(g, 200, 100, 200, 100);
  g = ComputeOutputGeometry(100, 100, TSelection{50, 0, 300, 99}, Percent(100), false);
  ExpectSizes(g, 50, 100, 50, 100);
}

TEST(Labels, DimensionAndSelectionTexts) {
  EXPECT_EQ(DimensionText(ComputeOutputGeometry(1600, 1200, Fit(1024, 800, true), false)),
            "1024x800");
  EXPECT_EQ(SelectionText(std::nullopt), "[all]");
  EXPECT_EQ(SelectionText(TSelection{10, 20, 30, 25}), "(10,20) - 21x6");
}

TEST(Placement, NineAlignments) {
  // Frame 100 x 50, picture 31 x 21: centre (50 - 15, 25 - 10).
  const int expected[9][2] = {{0, 0},   {35, 0}, {69, 0},  {0, 15}, {35, 15},
                              {69, 15}, {0, 29}, {35, 29}, {69, 29}};
  for (int a = 1; a <= 9; ++a) {
    EXPECT_EQ(PlacePicture(static_cast<uint8_t>(a), 100, 50, 31, 21),
              (TPlacement{expected[a - 1][0], expected[a - 1][1]}))
        << "alignment " << a;
  }
  EXPECT_EQ(PlacePicture(0, 100, 50, 31, 21), PlacePicture(5, 100, 50, 31, 21));
}

TEST(Placement, PictureLargerThanTheFrame) {
  // The picture overhangs: centre offsets truncate toward zero, right/bottom go negative.
  EXPECT_EQ(PlacePicture(kAlignCenter, 10, 10, 15, 13), (TPlacement{5 - 7, 5 - 6}));
  EXPECT_EQ(PlacePicture(kAlignRightBottom, 10, 10, 15, 13), (TPlacement{-5, -3}));
  EXPECT_EQ(PlacePicture(kAlignLeftTop, 10, 10, 15, 13), (TPlacement{0, 0}));
  // The worked example: 1600 x 1200 in a 1600 x 1250 working frame sits at (0, 25).
  EXPECT_EQ(PlacePicture(kAlignCenter, 1600, 1250, 1600, 1200), (TPlacement{0, 25}));
  EXPECT_EQ(PlacePicture(kAlignCenter, 1024, 800, 50, 40), (TPlacement{487, 380}));
}

}  // namespace
}  // namespace picaxo
