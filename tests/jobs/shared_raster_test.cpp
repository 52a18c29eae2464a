// The decoded raster is shared with the view: nothing the window does may change it while it is
// shown, and replacing the picture gives a new raster instead of writing into the old one.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "imaging/pipeline.h"
#include "jobs/app_state.h"
#include "jobs/convert.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

std::string PixelBytes(const TRasterImage& image) {
  std::string bytes;
  for (int y = 0; y < image.Height(); ++y)
    bytes.append(reinterpret_cast<const char*>(image.ScanLine(y)),
                 static_cast<size_t>(image.Width()) * 3);
  return bytes;
}

// An 8-bit palette BMP (bottom-up) whose index at (x, y) is x + 16 y and whose entry i is
// blue i, green 255 - i, red i / 2.
std::string PaletteBmpBytes(int width, int height) {
  const size_t row = static_cast<size_t>((width + 3) / 4 * 4);
  const size_t offset = 14 + 40 + 256 * 4;
  std::string file(offset + row * static_cast<size_t>(height), '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int n = 0; n < 4; ++n)
      file[at + n] = static_cast<char>((v >> (8 * n)) & 0xFF);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, static_cast<uint32_t>(offset));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 8;
  put32(46, 256);
  for (int i = 0; i < 256; ++i) {
    file[54 + 4 * i] = static_cast<char>(i);
    file[54 + 4 * i + 1] = static_cast<char>(255 - i);
    file[54 + 4 * i + 2] = static_cast<char>(i / 2);
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      file[offset + static_cast<size_t>(height - 1 - y) * row + static_cast<size_t>(x)] =
          static_cast<char>(x + 16 * y);
  return file;
}

TEST(SharedRaster, ConversionsPreviewAndSaveNeverChangeTheShownRaster) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp", 40, 30);
  TStateFixture f;
  f.Open(dir.Path());
  const std::shared_ptr<const TRasterImage> shown = f.state.View().Picture;
  ASSERT_NE(shown, nullptr);
  // The view is handed the loaded raster itself, not a copy of it.
  EXPECT_EQ(shown, f.state.Image().SharedImage());
  const std::string pixels = PixelBytes(*shown);

  f.EditSettings([](TResizeSettings& s) {
    SelectRule(s, ResizeRule::Fit);
    s.FixedFitWidth = 25;
    s.FixedFitHeight = 25;
    s.PaddedFitEnabled = true;
    s.PaddingColor = 0x00FF00FF;
  });
  f.state.ChangeSelection(TSelection{2, 3, 30, 20}, TSelectionPhase::Changed);
  f.state.SetPreviewMode(true);
  ASSERT_EQ(f.state.View().Kind, TViewContent::TKind::Preview);
  EXPECT_EQ(f.state.View().Picture->Width(), 25);
  fs::create_directories(dir / "out");
  f.state.SetDestinationFolderField(dir / "out");
  ASSERT_TRUE(f.state.SaveCurrentImage().Saved());
  f.state.SetPreviewMode(false);
  EXPECT_EQ(f.state.View().Picture, shown);  // no new decode, no copy
  EXPECT_EQ(PixelBytes(*shown), pixels);

  // What was saved is the conversion of the file as decoded afresh.
  TRasterImage fresh = LoadSourceImage(dir / "a.bmp");
  std::string expected;
  ASSERT_TRUE(ConvertCurrentImage(f.state.CurrentEntry(), fresh, TSelection{2, 3, 30, 20},
                                  f.state.Settings(), expected));
  EXPECT_TRUE(ReadFile(dir / "out/a.jpg") == expected);
}

TEST(SharedRaster, ReloadAndRotationReplaceTheRasterAndLeaveTheShownOneWhole) {
  TScratchFolder dir;
  WriteFile(dir / "p.jpg", JpegBytes(64, 32));
  TStateFixture f;
  f.Open(dir.Path());
  const std::shared_ptr<const TRasterImage> shown = f.state.View().Picture;
  ASSERT_NE(shown, nullptr);
  const std::string pixels = PixelBytes(*shown);

  f.state.ReloadCurrentImage();
  const std::shared_ptr<const TRasterImage> reloaded = f.state.Image().SharedImage();
  EXPECT_NE(reloaded, shown);
  EXPECT_EQ(f.state.View().Picture, reloaded);

  ASSERT_EQ(f.state.RotateCurrentImage(TRotation::Right).Result, TRotateResult::Rotated);
  EXPECT_EQ(f.state.Image().Width(), 32);
  EXPECT_EQ(f.state.View().Picture->Width(), 32);
  EXPECT_EQ(f.state.View().Picture, f.state.Image().SharedImage());
  // Whoever still holds an earlier picture holds it as it was.
  EXPECT_EQ(shown->Width(), 64);
  EXPECT_EQ(PixelBytes(*shown), pixels);
  EXPECT_EQ(reloaded->Width(), 64);
}

// Answers Yes, after running a step of its own (what an event handled while a message box is
// open could do).
struct TReloadingPrompt : IPrompt {
  std::function<void()> duringQuestion;
  TPromptButton Ask(const TQuestion&) override {
    if (duringQuestion) duringQuestion();
    return TPromptButton::Yes;
  }
};

TEST(SharedRaster, ASaveWritesThePictureItStartedWithWhenTheFileIsReloadedMeanwhile) {
  TScratchFolder dir;
  WriteBmp(dir / "a.bmp", 40, 30, 0x20);
  WriteFile(dir / "out/a.jpg", "old");  // so that the overwrite question is asked
  TReloadingPrompt prompt;
  TRecordingObserver observer;
  TAppState state(prompt, observer);
  state.SetSourceFolderField(dir.Path());
  state.RescanSourceFolder();
  state.SetDestinationFolderField(dir / "out");
  TRasterImage before = LoadSourceImage(dir / "a.bmp");
  prompt.duringQuestion = [&] {
    WriteBmp(dir / "a.bmp", 20, 10, 0xE0);
    state.ReloadCurrentImage();
  };
  ASSERT_TRUE(state.SaveCurrentImage().Saved());
  EXPECT_EQ(state.Image().Width(), 20);
  std::string expected;
  ASSERT_TRUE(
      ConvertCurrentImage(state.CurrentEntry(), before, std::nullopt, state.Settings(), expected));
  EXPECT_TRUE(ReadFile(dir / "out/a.jpg") == expected);
}

TEST(SharedRaster, PaletteSourcesAreWidenedOnLoadingAndConvertAsBefore) {
  TScratchFolder dir;
  WriteFile(dir / "g.bmp", PaletteBmpBytes(16, 12));
  TStateFixture f;
  f.Open(dir.Path());
  const TRasterImage& image = f.state.Image().Image();
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  const uint8_t* p = image.ScanLine(2) + 3 * 5;  // index 37
  EXPECT_EQ(p[0], 37);
  EXPECT_EQ(p[1], 255 - 37);
  EXPECT_EQ(p[2], 37 / 2);

  // The bytes are those of converting the 8-bit raster the reader delivers.
  TRasterImage stored = LoadSourceImage(dir / "g.bmp");
  ASSERT_EQ(stored.PixelFormat(), TPixelFormat::pf8bit);
  f.EditSettings([](TResizeSettings& s) {
    SelectRule(s, ResizeRule::LongerSide);
    s.LongerPixels = 10;
  });
  fs::create_directories(dir / "out");
  f.state.SetDestinationFolderField(dir / "out");
  ASSERT_TRUE(f.state.SaveCurrentImage().Saved());
  std::string expected;
  ASSERT_TRUE(ConvertCurrentImage(f.state.CurrentEntry(), stored, std::nullopt, f.state.Settings(),
                                  expected));
  EXPECT_TRUE(ReadFile(dir / "out/g.jpg") == expected);
}

}  // namespace
}  // namespace picaxo
