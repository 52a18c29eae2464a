#include "imaging/raster.h"

#include <climits>
#include <cstring>

#include <gtest/gtest.h>

namespace picaxo {
namespace {

TEST(RasterImage, RowsArePaddedToFourBytesAndTopDown) {
  TRasterImage image(5, 3);
  EXPECT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(image.Stride(), 16);  // 15 bytes of pixels, padded to 16
  EXPECT_EQ(image.ScanLine(2) - image.ScanLine(0), 32);
  EXPECT_EQ(RasterRowBytes(1, 1), 4);
  EXPECT_EQ(RasterRowBytes(33, 1), 8);
  EXPECT_EQ(RasterRowBytes(3, 4), 4);
}

TEST(RasterImage, ConvertsEveryStoredFormatTo24Bit) {
  TRasterImage pal(9, 1, TPixelFormat::pf1bit);
  pal.Palette() = {{0, 0, 0, 0}, {10, 20, 30, 0}};
  pal.ScanLine(0)[0] = 0b10100000;
  pal.ScanLine(0)[1] = 0b10000000;
  pal.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_EQ(pal.ScanLine(0)[0], 10);  // blue of entry 1
  EXPECT_EQ(pal.ScanLine(0)[2], 30);  // red
  EXPECT_EQ(pal.ScanLine(0)[3], 0);
  EXPECT_EQ(pal.ScanLine(0)[6], 10);
  EXPECT_EQ(pal.ScanLine(0)[24], 10);  // ninth pixel: first bit of the second byte

  TRasterImage nib(3, 1, TPixelFormat::pf4bit);
  nib.Palette().resize(16);
  nib.Palette()[2] = {1, 2, 3, 0};
  nib.Palette()[15] = {4, 5, 6, 0};
  nib.ScanLine(0)[0] = 0x2F;
  nib.ScanLine(0)[1] = 0x70;  // index 7 is beyond no entry: black
  nib.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_EQ(nib.ScanLine(0)[0], 1);
  EXPECT_EQ(nib.ScanLine(0)[3], 4);
  EXPECT_EQ(nib.ScanLine(0)[6], 0);

  TRasterImage w16(1, 1, TPixelFormat::pf16bit);  // 5-5-5: pure red
  w16.ScanLine(0)[0] = 0x00;
  w16.ScanLine(0)[1] = 0x7C;
  w16.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_EQ(w16.ScanLine(0)[2], 255);
  EXPECT_EQ(w16.ScanLine(0)[1], 0);

  TRasterImage w32(1, 1, TPixelFormat::pf32bit);
  const uint8_t px[4] = {7, 8, 9, 255};
  std::copy(px, px + 4, w32.ScanLine(0));
  w32.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_EQ(w32.ScanLine(0)[0], 7);
  EXPECT_EQ(w32.ScanLine(0)[1], 8);
  EXPECT_EQ(w32.ScanLine(0)[2], 9);
}

TEST(RasterImage, FillAndCopyClipToBothRasters) {
  TRasterImage a(4, 4);
  a.FillRect(0, 0, 4, 4, 0x00332211);  // 0x00BBGGRR
  EXPECT_EQ(a.ScanLine(3)[9], 0x33);
  EXPECT_EQ(a.ScanLine(3)[11], 0x11);
  TRasterImage b(3, 3);
  b.FillRect(-5, -5, 50, 50, 0);
  b.CopyRect(2, 2, a, 0, 0, 4, 4);  // only one pixel lands
  EXPECT_EQ(b.ScanLine(2)[6], 0x33);
  EXPECT_EQ(b.ScanLine(1)[6], 0);
  b.CopyRect(-1, 0, a, 0, 0, 2, 1);
  EXPECT_EQ(b.ScanLine(0)[0], 0x33);
  EXPECT_EQ(b.ScanLine(0)[3], 0);
  // Offsets far outside either raster copy nothing, without overflowing the clipping arithmetic.
  const TRasterImage before = b;
  b.CopyRect(INT_MAX, 0, a, INT_MIN, 0, 4, 4);
  b.CopyRect(INT_MIN, INT_MIN, a, INT_MAX, 1, INT_MAX, INT_MAX);
  b.CopyRect(0, 0, a, INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX);
  EXPECT_EQ(std::memcmp(b.ScanLine(0), before.ScanLine(0), b.ByteSize()), 0);
}

TEST(RasterImage, MovingLeavesAnEmptyRaster) {
  TRasterImage a(5, 3, TPixelFormat::pf8bit);
  a.Palette().resize(2);
  TRasterImage b(std::move(a));
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(b.Palette().size(), 2u);
  EXPECT_TRUE(a.Empty());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_EQ(a.ByteSize(), 0u);
  TRasterImage c(2, 2);
  c = std::move(b);
  EXPECT_EQ(c.Height(), 3);
  EXPECT_EQ(b.Width(), 0);  // NOLINT(bugprone-use-after-move)
  b.SetSize(4, 4);          // usable again
  b.ScanLine(3)[0] = 1;
}

TEST(RasterImage, RefusesSizesBeyondTheLimitBeforeAllocating) {
  TRasterImage image;
  EXPECT_THROW(image.SetSize(100000, 100000), ERasterTooLarge);
  EXPECT_THROW(image.SetSize(-1, 5), ERasterTooLarge);
  EXPECT_EQ(image.Width(), 0);
  image.SetSize(0, 7);
  EXPECT_TRUE(image.Empty());
}

}  // namespace
}  // namespace picaxo
