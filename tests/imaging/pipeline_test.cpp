#include "imaging/pipeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "support/resize_settings.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

using testing::PaddedFit;

namespace fs = std::filesystem;

// A picture of one colour (0x00BBGGRR) with a differently coloured left column, so that crops and
// placements can be told apart.
TRasterImage Solid(int width, int height, uint32_t color) {
  TRasterImage image(width, height);
  image.FillRect(0, 0, width, height, color);
  return image;
}

std::string EncodeJpeg(const TRasterImage& image, int quality = 90) {
  TJPEGImage jpeg;
  jpeg.Assign(image);
  jpeg.SetCompressionQuality(quality);
  jpeg.Compress();
  return jpeg.CompressedData();
}

// A 24-bit bottom-up BMP file.
std::string EncodeBmp(const TRasterImage& image) {
  const int w = image.Width(), h = image.Height();
  const size_t row = testing::BmpRowBytes(w);
  std::string file = testing::BlankBmp(w, h);
  for (int y = 0; y < h; ++y)
    std::copy_n(
        reinterpret_cast<const char*>(image.ScanLine(y)), w * 3,
        file.begin() + static_cast<ptrdiff_t>(testing::kBmpPixelOffset + (h - 1 - y) * row));
  return file;
}

class PipelineTest : public testing::TempFolderTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    WriteFileAtomically(path, bytes);
    return path;
  }

  static TConvertRequest Request(const std::string& path, const TResizeSettings& settings = {}) {
    TConvertRequest r;
    r.SourcePath = path;
    r.Settings = settings;
    r.AllowEnlarge = settings.AllowEnlarge;
    r.ForceRecompress = settings.AlwaysRecompress;
    return r;
  }
};

TResizeSettings NoResize() {
  TResizeSettings s;
  s.ResizeEnabled = false;
  return s;
}

// Average of one channel over a block of a decoded picture.
int Channel(const TRasterImage& image, int x, int y, int channel) {
  return image.ScanLine(y)[3 * x + channel];
}

TEST_F(PipelineTest, UnchangedJpegIsCopiedByteForByteWhateverTheQuality) {
  const std::string bytes = EncodeJpeg(Solid(64, 48, 0x00336699));
  const std::string path = Write("photo.JPG", bytes);
  TRasterImage source = LoadSourceImage(path);
  for (int quality : {1, 85, 100}) {
    TResizeSettings s = NoResize();
    s.JpegQuality = static_cast<int16_t>(quality);
    const TConversion c = ConvertImage(source, Request(path, s));
    EXPECT_EQ(c.Kind, TOutputKind::DirectCopy);
    EXPECT_EQ(c.Bytes, bytes);
  }
  // A rule that yields the source size copies too: the longer side as it is, or an enlargement
  // that is not allowed.
  TResizeSettings longer;
  SelectRule(longer, ResizeRule::LongerSide);
  longer.LongerPixels = 64;
  EXPECT_EQ(ConvertImage(source, Request(path, longer)).Kind, TOutputKind::DirectCopy);
  longer.LongerPixels = 200;
  EXPECT_EQ(ConvertImage(source, Request(path, longer)).Kind, TOutputKind::DirectCopy);
  longer.AllowEnlarge = true;
  EXPECT_EQ(ConvertImage(source, Request(path, longer)).Kind, TOutputKind::Encoded);
}

TEST_F(PipelineTest, SelectionPaddingOrForcedRecompressionReencode) {
  const std::string bytes = EncodeJpeg(Solid(64, 48, 0x00336699));
  const std::string path = Write("photo.jpg", bytes);
  TRasterImage source = LoadSourceImage(path);

  TConvertRequest forced = Request(path, NoResize());
  forced.ForceRecompress = true;
  TConversion c = ConvertImage(source, forced);
  EXPECT_EQ(c.Kind, TOutputKind::Encoded);
  EXPECT_NE(c.Bytes, bytes);

  TConvertRequest cropped = Request(path, NoResize());
  cropped.Selection = TSelection{8, 8, 39, 23};
  c = ConvertImage(source, cropped);
  EXPECT_EQ(c.Kind, TOutputKind::Encoded);
  EXPECT_EQ(DecodePreview(c.Bytes).Width, 32);
  EXPECT_EQ(DecodePreview(c.Bytes).Height, 16);

  c = ConvertImage(source, Request(path, PaddedFit(100, 100, kAlignCenter, 0)));
  EXPECT_EQ(c.Kind, TOutputKind::Encoded);
  EXPECT_EQ(c.Geometry.FrameWidth, 100);
}

TEST_F(PipelineTest, PaddedFrameWithoutResizeIsTheUnscaledPicture) {
  const std::string bytes = EncodeJpeg(Solid(64, 48, 0x00336699));
  const std::string path = Write("photo.jpg", bytes);
  TRasterImage source = LoadSourceImage(path);
  TResizeSettings s = PaddedFit(100, 100, kAlignCenter, 0);
  s.ResizeEnabled = false;
  const TConversion c = ConvertImage(source, Request(path, s));
  EXPECT_EQ(c.Kind, TOutputKind::DirectCopy);
  EXPECT_EQ(c.Bytes, bytes);
}

TEST_F(PipelineTest, BmpSourceIsAlwaysEncoded) {
  const std::string path = Write("plain.bmp", EncodeBmp(Solid(40, 30, 0x000000FF)));
  TRasterImage source = LoadSourceImage(path);
  ASSERT_EQ(source.Width(), 40);
  const TConversion c = ConvertImage(source, Request(path, NoResize()));
  EXPECT_EQ(c.Kind, TOutputKind::Encoded);
  const TPreview decoded = DecodePreview(c.Bytes);
  EXPECT_EQ(decoded.Width, 40);
  EXPECT_EQ(decoded.Height, 30);
  EXPECT_NEAR(Channel(decoded.Picture, 20, 15, 2), 255, 4);  // red
  EXPECT_NEAR(Channel(decoded.Picture, 20, 15, 0), 0, 4);
}

TEST_F(PipelineTest, SourceTypeFollowsTheName) {
  const std::string jpeg = EncodeJpeg(Solid(16, 16, 0));
  // ".jpeg" is a JPEG name too; a JPEG under a bitmap's name goes to the bitmap reader, which
  // refuses it.
  EXPECT_EQ(LoadSourceImage(Write("photo.jpeg", jpeg)).Width(), 16);
  const std::string misnamed = Write("photo.bmp", jpeg);
  EXPECT_THROW(LoadSourceImage(misnamed), EPicaxoError);
  // A bitmap named ".jpg" fails in the JPEG codec with its message.
  const std::string bmpAsJpg = Write("bitmap.jpg", EncodeBmp(Solid(8, 8, 0)));
  try {
    LoadSourceImage(bmpAsJpg);
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u) << e.what();
  }
  EXPECT_THROW(LoadSourceImage((dir_ / "missing.bmp").string()), EPicaxoError);
}

TEST_F(PipelineTest, PaddedSmallPictureIsPlacedWithoutResampling) {
  // 50 x 40 in a 1024 x 800 frame, not enlarged: Work is the frame, the picture at (487, 380).
  TConvertRequest r = Request("/x/photo.jpg", PaddedFit(1024, 800, kAlignCenter, 0x000000FF));
  const TConversionPlan plan = PlanConversion(50, 40, r);
  EXPECT_TRUE(plan.Composed);
  EXPECT_FALSE(plan.Resampled);
  EXPECT_EQ(plan.WorkWidth, 1024);
  EXPECT_EQ(plan.WorkHeight, 800);
  EXPECT_EQ(plan.PictureX, 487);
  EXPECT_EQ(plan.PictureY, 380);

  TRasterImage source = Solid(50, 40, 0x00FF0000);  // blue picture on a red border
  const TConversion c = ConvertImage(source, r);
  const TPreview out = DecodePreview(c.Bytes);
  ASSERT_EQ(out.Width, 1024);
  ASSERT_EQ(out.Height, 800);
  EXPECT_NEAR(Channel(out.Picture, 10, 10, 2), 255, 6);
  EXPECT_NEAR(Channel(out.Picture, 512, 400, 0), 255, 6);
  EXPECT_NEAR(Channel(out.Picture, 512, 400, 2), 0, 6);
  EXPECT_NEAR(Channel(out.Picture, 480, 400, 2), 255, 6);  // left of the picture
  EXPECT_NEAR(Channel(out.Picture, 540, 400, 2), 255, 6);  // right of it
}

TEST_F(PipelineTest, PaddedLargePictureWorksAtSourceScale) {
  // 1600 x 1200 into 1024 x 800: Scale 0.64, Work 1600 x 1250, picture at (0, 25).
  const TConversionPlan plan =
      PlanConversion(1600, 1200, Request("/x/p.jpg", PaddedFit(1024, 800, kAlignCenter, 0)));
  EXPECT_DOUBLE_EQ(plan.Geometry.Scale, 0.64);
  EXPECT_EQ(plan.WorkWidth, 1600);
  EXPECT_EQ(plan.WorkHeight, 1250);
  EXPECT_EQ(plan.PictureX, 0);
  EXPECT_EQ(plan.PictureY, 25);
  EXPECT_TRUE(plan.Resampled);
  // Bottom-right alignment of the same.
  const TConversionPlan corner =
      PlanConversion(1600, 1200, Request("/x/p.jpg", PaddedFit(1024, 800, kAlignRightBottom, 0)));
  EXPECT_EQ(corner.PictureX, 0);
  EXPECT_EQ(corner.PictureY, 50);
}

TEST_F(PipelineTest, WidePictureInASquareFrameSitsAtTheBottom) {
  // 9 x 3 into 3 x 3: Scale 1/3, Work 9 x 9 at source scale, picture at (0, 6).
  TRasterImage source = Solid(9, 3, 0x0000FF00);
  TConvertRequest r = Request("/x/p.bmp", PaddedFit(3, 3, kAlignRightBottom, 0));
  const TConversionPlan plan = PlanConversion(9, 3, r);
  EXPECT_EQ(plan.WorkWidth, 9);
  EXPECT_EQ(plan.WorkHeight, 9);
  EXPECT_EQ(plan.PictureX, 0);
  EXPECT_EQ(plan.PictureY, 6);
  const TPreview out = DecodePreview(ConvertImage(source, r).Bytes);
  EXPECT_EQ(out.Width, 3);
  EXPECT_EQ(out.Height, 3);
}

TEST_F(PipelineTest, OneColumnSelectionIsAOnePixelWidePicture) {
  TRasterImage source = Solid(20, 10, 0x00808080);
  TConvertRequest r = Request("/x/p.bmp", NoResize());
  r.Selection = TSelection{5, 0, 5, 9};
  const TConversion c = ConvertImage(source, r);
  const TPreview out = DecodePreview(c.Bytes);
  EXPECT_EQ(out.Width, 1);
  EXPECT_EQ(out.Height, 10);
}

TEST_F(PipelineTest, ResamplingComparesBothSides) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::LongerSide);
  s.LongerPixels = 1998;
  const TConversionPlan plan = PlanConversion(100, 2000, Request("/x/p.jpg", s));
  EXPECT_EQ(plan.Geometry.FrameWidth, 100);
  EXPECT_EQ(plan.Geometry.FrameHeight, 1998);
  EXPECT_TRUE(plan.Resampled);
  EXPECT_FALSE(plan.DirectCopy);
}

TEST_F(PipelineTest, OversizedFramesAreRefusedBeforeAllocation) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  TRasterImage source = Solid(10, 10, 0);
  // A padded frame of 2^31 - 1 on a side.
  EXPECT_THROW(ConvertImage(source, Request("/x/p.bmp", PaddedFit(max, max, kAlignCenter, 0))),
               ERasterTooLarge);
  // An enlarged output above the limit.
  TResizeSettings fit;
  SelectRule(fit, ResizeRule::Fit);
  fit.FixedFitWidth = max;
  fit.FixedFitHeight = max;
  fit.AllowEnlarge = true;
  EXPECT_THROW(ConvertImage(source, Request("/x/p.bmp", fit)), ERasterTooLarge);
  // A frame within the limit whose working raster (the frame at source scale) is not.
  EXPECT_THROW(
      PlanConversion(400000, 10, Request("/x/p.bmp", PaddedFit(20000, 20000, kAlignCenter, 0))),
      ERasterTooLarge);
}

TEST_F(PipelineTest, NothingToConvertAndReleasedSource) {
  TRasterImage empty;
  EXPECT_EQ(ConvertImage(empty, Request("/x/p.bmp")).Kind, TOutputKind::Nothing);
  TRasterImage source = Solid(40, 40, 0);
  TConvertRequest r = Request("/x/p.bmp");
  r.Retention = TSourceRetention::Release;
  EXPECT_EQ(ConvertImage(source, r).Kind, TOutputKind::Encoded);
  EXPECT_TRUE(source.Empty());
}

TEST_F(PipelineTest, PaletteSourceIsWidenedForComposition) {
  TRasterImage source(8, 8, TPixelFormat::pf8bit);
  source.Palette().assign(256, TRGBQuad{0, 0, 255, 0});  // all red
  for (int y = 0; y < 8; ++y)
    std::fill_n(source.ScanLine(y), 8, uint8_t{7});
  TConvertRequest r = Request("/x/p.bmp", NoResize());
  r.Selection = TSelection{0, 0, 3, 7};
  const TPreview out = DecodePreview(ConvertImage(source, r).Bytes);
  EXPECT_EQ(out.Width, 4);
  EXPECT_NEAR(Channel(out.Picture, 2, 4, 2), 255, 4);
}

// Every stored byte of a raster (rows up to their used length, palette and masks), so that two
// rasters compare equal exactly when a reader could not tell them apart.
std::string StoredBytes(const TRasterImage& image) {
  std::string bytes = std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + "@" +
                      std::to_string(image.BitsPerPixel()) + "/" + std::to_string(image.RedMask()) +
                      "," + std::to_string(image.GreenMask()) + "," +
                      std::to_string(image.BlueMask()) + ":";
  const auto used = static_cast<size_t>((int64_t{image.Width()} * image.BitsPerPixel() + 7) / 8);
  for (int y = 0; y < image.Height(); ++y)
    bytes.append(reinterpret_cast<const char*>(image.ScanLine(y)), used);
  for (const TRGBQuad& q : image.Palette())
    bytes += {static_cast<char>(q.blue), static_cast<char>(q.green), static_cast<char>(q.red)};
  return bytes;
}

// A w x h raster in the given format whose every pixel differs from its neighbours once widened.
TRasterImage Varied(int width, int height, TPixelFormat format) {
  TRasterImage image(width, height, format);
  if (format == TPixelFormat::pf8bit || format == TPixelFormat::pf4bit) {
    const int entries = format == TPixelFormat::pf8bit ? 256 : 16;
    for (int i = 0; i < entries; ++i)
      image.Palette().push_back(TRGBQuad{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                         static_cast<uint8_t>(i * 3), 0});
  }
  const auto used = static_cast<size_t>((int64_t{width} * image.BitsPerPixel() + 7) / 8);
  for (int y = 0; y < height; ++y)
    for (size_t i = 0; i < used; ++i)
      image.ScanLine(y)[i] = static_cast<uint8_t>(i * 13 + static_cast<size_t>(y) * 29);
  return image;
}

// The window converts the raster it shows: converting through a read-only source must leave it
// untouched whatever its format, and write the bytes the in-place conversion writes.
TEST_F(PipelineTest, ReadOnlySourceStaysUntouchedAndGivesTheSameBytes) {
  TResizeSettings percent;  // Percent 50: resampled as it is, not composed
  TResizeSettings cropped = NoResize();
  TResizeSettings croppedAndScaled;
  SelectRule(croppedAndScaled, ResizeRule::LongerSide);
  croppedAndScaled.LongerPixels = 7;
  TResizeSettings recompressed = NoResize();
  recompressed.AlwaysRecompress = true;
  struct TCase {
    const char* name;
    TResizeSettings settings;
    std::optional<TSelection> selection;
  };
  const TCase cases[] = {
      {"resampled", percent, std::nullopt},
      {"cropped", cropped, TSelection{3, 2, 17, 11}},
      {"cropped and resampled", croppedAndScaled, TSelection{1, 1, 12, 9}},
      {"padded", PaddedFit(30, 12, kAlignRightBottom, 0x00123456), std::nullopt},
      {"padded selection", PaddedFit(9, 9, kAlignLeftTop, 0x00FFFFFF), TSelection{0, 4, 20, 6}},
      {"encoded only", recompressed, std::nullopt},
  };
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit, TPixelFormat::pf4bit,
                              TPixelFormat::pf16bit, TPixelFormat::pf32bit}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " from " + std::to_string(static_cast<int>(format)));
      const TRasterImage shared = Varied(21, 13, format);
      const std::string before = StoredBytes(shared);
      TConvertRequest r = Request("/x/p.bmp", c.settings);
      r.Selection = c.selection;
      const TConversion readOnly = ConvertImage(shared, r);
      const TPreview preview = RenderPreview(shared, r);
      EXPECT_EQ(StoredBytes(shared), before);

      TRasterImage own = Varied(21, 13, format);
      const TConversion inPlace = ConvertImage(own, r);
      ASSERT_EQ(readOnly.Kind, TOutputKind::Encoded);
      EXPECT_TRUE(readOnly.Bytes == inPlace.Bytes);
      EXPECT_EQ(readOnly.Geometry.FrameWidth, inPlace.Geometry.FrameWidth);
      EXPECT_EQ(preview.ByteSize, static_cast<int64_t>(inPlace.Bytes.size()));
    }
  }
}

TEST_F(PipelineTest, ReadOnlySourceIsCopiedDirectlyAndNeverReleased) {
  const std::string path = Write("photo.jpg", EncodeJpeg(Solid(32, 16, 0x00336699)));
  const TRasterImage shared = LoadSourceImage(path);
  TConvertRequest r = Request(path, NoResize());
  r.Retention = TSourceRetention::Release;  // not this caller's to free
  const TConversion c = ConvertImage(shared, r);
  EXPECT_EQ(c.Kind, TOutputKind::DirectCopy);
  EXPECT_TRUE(c.Bytes == ReadWholeFile(path));
  EXPECT_EQ(shared.Width(), 32);
  EXPECT_EQ(ConvertImage(TRasterImage(), r).Kind, TOutputKind::Nothing);
}

TEST_F(PipelineTest, PreviewReportsTheBytesASaveWrites) {
  TRasterImage source = Solid(300, 200, 0x00204080);
  TResizeSettings s;  // Percent 50
  const TConvertRequest r = Request("/x/p.bmp", s);
  const TConversion saved = ConvertImage(source, r);
  const TPreview preview = RenderPreview(source, r);
  EXPECT_EQ(preview.ByteSize, static_cast<int64_t>(saved.Bytes.size()));
  EXPECT_EQ(preview.Width, 150);
  EXPECT_EQ(preview.Height, 100);
  EXPECT_FALSE(source.Empty());
}

TEST(FileSizeText, KilobytesRoundHalfToEven) {
  EXPECT_EQ(FormatFileSize(0), "0 bytes");
  EXPECT_EQ(FormatFileSize(512), "512 bytes");
  EXPECT_EQ(FormatFileSize(513), "1KB");
  EXPECT_EQ(FormatFileSize(1024), "1KB");
  EXPECT_EQ(FormatFileSize(1536), "2KB");
  EXPECT_EQ(FormatFileSize(2560), "2KB");
  EXPECT_EQ(FormatFileSize(3584), "4KB");
  EXPECT_EQ(FormatFileSize(int64_t{5} << 40), "5368709120KB");
}

TEST(FileSizeText, RatioOfTheUncompressedSize) {
  EXPECT_EQ(SizeAndRatioText(100 * 1024, 640, 480, TRatio::Include), "100KB  [11.1%]");
  EXPECT_EQ(SizeAndRatioText(100 * 1024, 640, 480, TRatio::Omit), "100KB");
  EXPECT_EQ(SizeAndRatioText(100, 0, 480, TRatio::Include), "100 bytes");
}

}  // namespace
}  // namespace picaxo
