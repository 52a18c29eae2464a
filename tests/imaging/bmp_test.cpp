#include "imaging/bmp.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <string>
#include <vector>

namespace picaxo {
namespace {

// Builds BMP files field by field, so that every variant and every kind of damage can be made.
struct BmpFile {
  uint32_t headerSize = 40;
  int32_t width = 0;
  int32_t height = 0;  // negative: top-down
  uint16_t planes = 1;
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> masks;   // written at offset 54 (inside V2+ headers, after V1)
  std::vector<uint8_t> palette;  // raw entry bytes
  std::string pixels;            // raw pixel data
  int64_t pixelOffset = -1;      // -1: right after the palette

  std::string Build() const {
    std::string out;
    auto u16 = [&](uint32_t v) {
      out += static_cast<char>(v & 0xFF);
      out += static_cast<char>((v >> 8) & 0xFF);
    };
    auto u32 = [&](uint32_t v) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    };
    const size_t extraMasks = headerSize == 40 ? masks.size() * 4 : 0;
    const size_t offset = pixelOffset >= 0 ? static_cast<size_t>(pixelOffset)
                                           : 14 + headerSize + extraMasks + palette.size();
    out += "BM";
    u32(0);  // file size: ignored by readers
    u32(0);
    u32(static_cast<uint32_t>(offset));
    u32(headerSize);
    if (headerSize == 12) {
      u16(static_cast<uint32_t>(width));
      u16(static_cast<uint32_t>(height));
      u16(planes);
      u16(bitsPerPixel);
    } else {
      u32(static_cast<uint32_t>(width));
      u32(static_cast<uint32_t>(height));
      u16(planes);
      u16(bitsPerPixel);
      u32(compression);
      u32(static_cast<uint32_t>(pixels.size()));
      u32(2835);
      u32(2835);
      u32(colorsUsed);
      u32(0);
      size_t written = 40;
      for (uint32_t m : masks) {
        u32(m);
        written += 4;
      }
      while (written < headerSize) {
        out += '\0';
        ++written;
      }
    }
    out.append(palette.begin(), palette.end());
    if (out.size() < offset) out.resize(offset, '\0');
    out += pixels;
    return out;
  }
};

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s += static_cast<char>(v);
  return s;
}

void ExpectBgr(const TRasterImage& image, int x, int y, int b, int g, int r) {
  const uint8_t* p = image.ScanLine(y) + 3 * x;
  EXPECT_EQ(p[0], b) << x << "," << y;
  EXPECT_EQ(p[1], g) << x << "," << y;
  EXPECT_EQ(p[2], r) << x << "," << y;
}

TEST(BmpReader, TwentyFourBitStaysTwentyFourBitInEitherRowOrder) {
  BmpFile bmp;
  bmp.width = 2;
  bmp.height = 2;
  // Stored first: the bottom row (bottom-up). Rows padded to 8 bytes.
  bmp.pixels = Bytes({1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0});
  TRasterImage image = ReadBitmap(bmp.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  ASSERT_EQ(image.Width(), 2);
  ASSERT_EQ(image.Height(), 2);
  ExpectBgr(image, 0, 1, 1, 2, 3);
  ExpectBgr(image, 1, 1, 4, 5, 6);
  ExpectBgr(image, 0, 0, 7, 8, 9);

  bmp.height = -2;
  image = ReadBitmap(bmp.Build());
  ExpectBgr(image, 0, 0, 1, 2, 3);
  ExpectBgr(image, 1, 1, 10, 11, 12);

  // Every later header version reads the same pixels.
  for (uint32_t size : {52u, 56u, 108u, 124u}) {
    bmp.headerSize = size;
    image = ReadBitmap(bmp.Build());
    ExpectBgr(image, 1, 1, 10, 11, 12);
  }
}

TEST(BmpReader, PaletteDepthsKeepTheirIndicesAndPalette) {
  BmpFile one;
  one.width = 10;
  one.height = 1;
  one.bitsPerPixel = 1;
  one.palette = {0, 0, 0, 0, 30, 20, 10, 0};
  one.pixels = Bytes({0b10000001, 0b01000000, 0, 0});
  TRasterImage image = ReadBitmap(one.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf1bit);
  ASSERT_EQ(image.Palette().size(), 2u);
  EXPECT_EQ(image.Palette()[1].blue, 30);
  EXPECT_EQ(image.Palette()[1].red, 10);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 30, 20, 10);
  ExpectBgr(image, 1, 0, 0, 0, 0);
  ExpectBgr(image, 7, 0, 30, 20, 10);
  ExpectBgr(image, 9, 0, 30, 20, 10);

  BmpFile four;
  four.width = 3;
  four.height = 1;
  four.bitsPerPixel = 4;
  four.colorsUsed = 3;
  four.palette = {1, 1, 1, 0, 2, 2, 2, 0, 3, 4, 5, 0};
  four.pixels = Bytes({0x21, 0x00, 0, 0});
  image = ReadBitmap(four.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(image.Palette().size(), 3u);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 3, 4, 5);
  ExpectBgr(image, 1, 0, 2, 2, 2);
  ExpectBgr(image, 2, 0, 1, 1, 1);

  BmpFile eight;
  eight.width = 3;
  eight.height = 2;
  eight.bitsPerPixel = 8;
  eight.colorsUsed = 0;  // all 256 entries claimed, but only two lie before the pixels
  eight.palette = {9, 8, 7, 0, 6, 5, 4, 0};
  eight.pixels = Bytes({0, 1, 0, 0, 1, 0, 1, 0});
  image = ReadBitmap(eight.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(image.Palette().size(), 2u);
  EXPECT_EQ(image.ScanLine(0)[0], 1);  // top row = last stored
  EXPECT_EQ(image.ScanLine(1)[1], 1);

  // The core header: 16-bit sizes and three-byte palette entries.
  BmpFile core;
  core.headerSize = 12;
  core.width = 2;
  core.height = 1;
  core.bitsPerPixel = 8;
  core.palette.assign(256 * 3, 0);
  core.palette[3 * 200 + 0] = 50;  // blue of entry 200
  core.palette[3 * 200 + 2] = 70;  // red
  core.pixels = Bytes({200, 0, 0, 0});
  image = ReadBitmap(core.Build());
  ASSERT_EQ(image.Palette().size(), 256u);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 50, 0, 70);

  core.bitsPerPixel = 24;
  core.palette.clear();
  core.pixels = Bytes({1, 2, 3, 4, 5, 6, 0, 0});
  image = ReadBitmap(core.Build());
  EXPECT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  ExpectBgr(image, 1, 0, 4, 5, 6);
}

TEST(BmpReader, SixteenAndThirtyTwoBitKeepTheirMasks) {
  BmpFile rgb555;
  rgb555.width = 1;
  rgb555.height = 1;
  rgb555.bitsPerPixel = 16;
  rgb555.pixels = Bytes({0x1F, 0x7C, 0, 0});  // red 31, blue 31
  TRasterImage image = ReadBitmap(rgb555.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf16bit);
  EXPECT_EQ(image.RedMask(), 0x7C00u);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 255, 0, 255);

  // Version-1 header: the masks follow it. 5-6-5 green only.
  BmpFile rgb565 = rgb555;
  rgb565.compression = 3;
  rgb565.masks = {0xF800, 0x07E0, 0x001F};
  rgb565.pixels = Bytes({0xE0, 0x07, 0, 0});
  image = ReadBitmap(rgb565.Build());
  EXPECT_EQ(image.GreenMask(), 0x07E0u);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 0, 255, 0);

  // Version-5 header: the masks are inside it.
  BmpFile bgra;
  bgra.headerSize = 124;
  bgra.width = 2;
  bgra.height = -1;
  bgra.bitsPerPixel = 32;
  bgra.compression = 3;
  bgra.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};  // red in the low byte
  bgra.pixels = Bytes({10, 20, 30, 255, 40, 50, 60, 0});
  image = ReadBitmap(bgra.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf32bit);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 30, 20, 10);
  ExpectBgr(image, 1, 0, 60, 50, 40);

  BmpFile plain32 = bgra;
  plain32.headerSize = 40;
  plain32.compression = 0;
  plain32.masks.clear();
  image = ReadBitmap(plain32.Build());
  EXPECT_EQ(image.RedMask(), 0x00FF0000u);
  image.SetPixelFormat(TPixelFormat::pf24bit);
  ExpectBgr(image, 0, 0, 10, 20, 30);
}

TEST(BmpReader, Rle8RunsEscapesAndClipping) {
  BmpFile bmp;
  bmp.width = 6;
  bmp.height = 4;
  bmp.bitsPerPixel = 8;
  bmp.compression = 1;
  bmp.colorsUsed = 8;
  bmp.palette.assign(8 * 4, 0);
  bmp.pixels = Bytes({
      3, 5,              // bottom row: 5 5 5
      0, 3, 1, 2, 3, 0,  // absolute: 1 2 3 (padded)
      0, 0,              // end of line
      9, 7,              // run longer than the row: clipped at 6
      0, 0,              //
      0, 2, 2, 1,        // delta: right 2, up 1 row
      2, 4,              // row 3 (top), x 2..3
      0, 2, 0, 9,        // delta far beyond the top: nothing more is written
      4, 6,              //
      0, 1,              // end of bitmap
  });
  const TRasterImage image = ReadBitmap(bmp.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf8bit);
  const auto row = [&](int y) { return std::string(image.ScanLine(y), image.ScanLine(y) + 6); };
  EXPECT_EQ(row(3), Bytes({5, 5, 5, 1, 2, 3}));
  EXPECT_EQ(row(2), Bytes({7, 7, 7, 7, 7, 7}));
  EXPECT_EQ(row(1), Bytes({0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(row(0), Bytes({0, 0, 4, 4, 0, 0}));
}

TEST(BmpReader, Rle4AlternatesNibbles) {
  BmpFile bmp;
  bmp.width = 7;
  bmp.height = 2;
  bmp.bitsPerPixel = 4;
  bmp.compression = 2;
  bmp.colorsUsed = 16;
  bmp.palette.assign(16 * 4, 0);
  bmp.pixels = Bytes({
      5,
      0x12,  // 1 2 1 2 1
      0,
      3,
      0x34,
      0x50,  // absolute 3 4 5 ... but only 2 columns left: clipped
      0,
      0,  // end of line
      0,
      5,
      0xAB,
      0xCD,
      0xE0,
      0,  // absolute of 5 nibbles, padded to 4 bytes
      0,
      1,
  });
  const TRasterImage image = ReadBitmap(bmp.Build());
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf4bit);
  const uint8_t* bottom = image.ScanLine(1);
  EXPECT_EQ(bottom[0], 0x12);
  EXPECT_EQ(bottom[1], 0x12);
  EXPECT_EQ(bottom[2], 0x13);
  EXPECT_EQ(bottom[3] & 0xF0, 0x40);
  const uint8_t* top = image.ScanLine(0);
  EXPECT_EQ(top[0], 0xAB);
  EXPECT_EQ(top[1], 0xCD);
  EXPECT_EQ(top[2], 0xE0);
}

std::string ErrorOf(const std::string& file, int64_t maxPixels = kMaxRasterPixels) {
  try {
    ReadBitmap(file, maxPixels);
  } catch (const EBitmapError& e) {
    return e.what();
  }
  return "";
}

TEST(BmpReader, EveryTruncationFailsCleanly) {
  BmpFile plain;
  plain.width = 3;
  plain.height = 2;
  plain.pixels = std::string(24, 'x');
  BmpFile core;
  core.headerSize = 12;
  core.width = 5;
  core.height = 3;
  core.bitsPerPixel = 4;
  core.palette.assign(16 * 3, 1);
  core.pixels = std::string(12, 'x');
  BmpFile v5;
  v5.headerSize = 124;
  v5.width = 2;
  v5.height = 2;
  v5.bitsPerPixel = 16;
  v5.compression = 3;
  v5.masks = {0xF800, 0x07E0, 0x001F};
  v5.pixels = std::string(8, 'x');
  BmpFile rle;
  rle.width = 4;
  rle.height = 2;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  rle.colorsUsed = 2;
  rle.palette.assign(8, 0);
  rle.pixels = Bytes({4, 1, 0, 0, 0, 4, 1, 0, 1, 0, 0, 1});
  for (const BmpFile* bmp : {&plain, &core, &v5, &rle}) {
    const std::string full = bmp->Build();
    ASSERT_EQ(ErrorOf(full), "");
    for (size_t n = 0; n < full.size(); ++n)
      EXPECT_NE(ErrorOf(full.substr(0, n)), "") << "length " << n << " of " << full.size();
  }
  EXPECT_EQ(ErrorOf(plain.Build().substr(0, 60)),
            "Cannot read the BMP file: the file is truncated");
}

TEST(BmpReader, InconsistentHeadersNameTheProblem) {
  BmpFile good;
  good.width = 2;
  good.height = 2;
  good.pixels = std::string(16, 'x');
  auto error = [&](auto change) {
    BmpFile bmp = good;
    change(bmp);
    return ErrorOf(bmp.Build());
  };
  EXPECT_EQ(ErrorOf("PK\x03\x04 not a bitmap"), "Cannot read the BMP file: it is not a BMP file");
  EXPECT_NE(error([](BmpFile& b) { b.headerSize = 64; }).find("header size 64"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.bitsPerPixel = 2; }).find("bit depth 2"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.compression = 4; }).find("compression 4"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.compression = 1; }).find("RLE8"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.compression = 3; }).find("bit-field"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.planes = 3; }).find("planes"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.width = 0; }).find("invalid image size"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.width = -2; }).find("invalid image size"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.height = 0; }).find("invalid image size"), std::string::npos);
  std::string beyond = good.Build();
  beyond[10] = static_cast<char>(beyond.size() + 1);  // the pixels would start past the end
  EXPECT_NE(ErrorOf(beyond).find("offset"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.pixelOffset = 20; }).find("offset"), std::string::npos);
  // A frame far beyond the limit, and one within it whose pixels the file does not hold: both
  // refused before the raster is allocated.
  EXPECT_NE(error([](BmpFile& b) { b.width = b.height = 2'000'000'000; }).find("too large"),
            std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.height = INT32_MIN; }).find("too large"), std::string::npos);
  EXPECT_NE(error([](BmpFile& b) { b.width = b.height = 20000; }).find("truncated"),
            std::string::npos);

  BmpFile masks;
  masks.width = 1;
  masks.height = 1;
  masks.bitsPerPixel = 16;
  masks.compression = 3;
  masks.pixels = std::string(4, 'x');
  masks.masks = {0xF800, 0x0FE0, 0x001F};
  EXPECT_NE(ErrorOf(masks.Build()).find("overlap"), std::string::npos);
  masks.masks = {0xF800, 0x07E0, 0x0015};
  EXPECT_NE(ErrorOf(masks.Build()).find("contiguous"), std::string::npos);
  masks.masks = {0xF8000, 0x07E0, 0x001F};
  EXPECT_NE(ErrorOf(masks.Build()).find("invalid"), std::string::npos);

  BmpFile rle;
  rle.width = 4;
  rle.height = -2;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  rle.pixels = Bytes({0, 1});
  EXPECT_NE(ErrorOf(rle.Build()).find("top-down"), std::string::npos);
  // A tiny RLE file may claim a large frame; the pixel limit still bounds it.
  rle.height = 30000;
  rle.width = 30000;
  EXPECT_NE(ErrorOf(rle.Build(), 1'000'000).find("too large"), std::string::npos);
  rle.width = rle.height = 15;  // 225 pixels: as many as one two-byte run could cover
  EXPECT_EQ(ErrorOf(rle.Build(), 1'000'000), "");

  EXPECT_THROW(ReadBitmapFile("/nonexistent/picture.bmp"), EPicaxoError);
}

// A 1 KB RLE8 file claiming 20000 x 20000 pixels allocated 384 MB before it was found truncated;
// two bytes per 255 pixels is the least its runs need, so it is refused before allocating.
TEST(BmpReader, Rle8BombIsRefusedBeforeAllocating) {
  BmpFile rle;
  rle.width = rle.height = 20000;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  for (int i = 0; i < 500; ++i)
    rle.pixels += Bytes({255, 7});
  rle.pixels += Bytes({0, 1});
  const std::string file = rle.Build();
  EXPECT_EQ(testing::RunInChild(
                [&] {
                  ReadBitmap(file);
                  return std::string("(read)");
                },
                60, size_t{64} << 20),
            "Cannot read the BMP file: the file is damaged: its header claims 20000 x 20000 "
            "pixels, far more than its 1002 bytes of compressed data can hold");
}

}  // namespace
}  // namespace picaxo
