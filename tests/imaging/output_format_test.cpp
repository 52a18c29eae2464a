// The WebP, AVIF and PNG outputs: what each file decodes to, the direct copy of a source already
// in the output format, and what the files carry besides their pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/file_util.h"
#include "imaging/color_profile.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/output_codec.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "support/adobe_rgb.h"
#include "support/exif_test_util.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

// Smooth gradients with a sharp-edged square: the kind of content lossy codecs keep close.
TRasterImage TestPicture(int width, int height) {
  TRasterImage image(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const bool square = x > width / 4 && x < width / 2 && y > height / 4 && y < height / 2;
      row[3 * x + 0] = static_cast<uint8_t>(square ? 40 : 255 * x / width);
      row[3 * x + 1] = static_cast<uint8_t>(square ? 200 : 255 * y / height);
      row[3 * x + 2] = static_cast<uint8_t>(square ? 90 : 128);
    }
  }
  return image;
}

// Mean absolute difference per channel of two rasters of the same size.
double MeanDifference(const TRasterImage& a, const TRasterImage& b) {
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1e9;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < 3 * a.Width(); ++i)
      sum += std::abs(int{a.ScanLine(y)[i]} - int{b.ScanLine(y)[i]});
  return sum / (3.0 * a.Width() * a.Height());
}

TResizeSettings Settings(EOutputFormat format, bool resize = false) {
  TResizeSettings s;
  s.ResizeEnabled = resize;
  s.JpegQuality = 90;
  s.OutputFormat = static_cast<uint8_t>(format);
  return s;
}

TConvertRequest Request(const std::string& path, const TResizeSettings& settings) {
  TConvertRequest r;
  r.SourcePath = path;
  r.Settings = settings;
  return r;
}

class OutputFormatTest : public testing::TempFolderTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    WriteFileAtomically(path, bytes);
    return path;
  }
};

TEST_F(OutputFormatTest, EachFormatDecodesToTheRasterWithinItsCodecsLoss) {
  const TRasterImage picture = TestPicture(96, 64);
  // Loss allowed at quality 90, in levels per channel on average; PNG is lossless.
  const struct {
    EOutputFormat format;
    double loss;
  } cases[] = {{EOutputFormat::Png, 0.0}, {EOutputFormat::WebP, 3.0}, {EOutputFormat::Avif, 3.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(OutputExtension(c.format)));
    // A BMP source is always encoded; the whole-raster path and the streamed path write the same.
    const TConvertRequest request = Request(dir_ / "a.bmp", Settings(c.format));
    const TConversion whole = ConvertImage(static_cast<const TRasterImage&>(picture), request);
    ASSERT_EQ(whole.Kind, TOutputKind::Encoded);
    EXPECT_TRUE(FileHoldsFormat(whole.Bytes, ImageFormatOf(c.format)));
    EXPECT_FALSE(FileHoldsFormat(whole.Bytes, EImageFormat::Jpeg));
    const TPreview preview = DecodePreview(whole.Bytes, c.format);
    EXPECT_EQ(preview.ByteSize, static_cast<int64_t>(whole.Bytes.size()));
    EXPECT_LE(MeanDifference(preview.Picture, picture), c.loss);
    const auto rows = RasterRowSource(picture);
    EXPECT_EQ(ConvertRows(*rows, request).Bytes, whole.Bytes);
  }
  // Resized into the format: the decoded output has the frame's size.
  TResizeSettings half = Settings(EOutputFormat::WebP, true);
  SelectRule(half, ResizeRule::Percent);
  half.Percent = 50;
  const TConversion c =
      ConvertImage(static_cast<const TRasterImage&>(picture), Request(dir_ / "a.bmp", half));
  const TPreview preview = DecodePreview(c.Bytes, EOutputFormat::WebP);
  EXPECT_EQ(preview.Width, 48);
  EXPECT_EQ(preview.Height, 32);
}

TEST_F(OutputFormatTest, SourceInTheOutputFormatIsCopiedByteForByteUnlessMisnamed) {
  const TRasterImage picture = TestPicture(40, 30);
  const std::string png = EncodePng(picture, {});
  const std::string webp = EncodeWebP(picture, 70, {});
  const std::string avif = EncodeAvif(picture, 50, {});
  const struct {
    std::string name;
    std::string bytes;
    EOutputFormat format;
  } sources[] = {{"a.PNG", png, EOutputFormat::Png},
                 {"b.webp", webp, EOutputFormat::WebP},
                 {"c.avif", avif, EOutputFormat::Avif}};
  for (const auto& s : sources) {
    SCOPED_TRACE(s.name);
    const std::string path = Write(s.name, s.bytes);
    TConversion c = ConvertImage(picture, Request(path, Settings(s.format)));
    EXPECT_EQ(c.Kind, TOutputKind::DirectCopy);
    EXPECT_EQ(c.Bytes, s.bytes);
    const auto rows = RasterRowSource(picture);
    EXPECT_EQ(ConvertRows(*rows, Request(path, Settings(s.format))).Bytes, s.bytes);
    // Another output format, forced recompression, or keep-public metadata (which only a JPEG
    // copy can honour) encode.
    const EOutputFormat other =
        s.format == EOutputFormat::Png ? EOutputFormat::WebP : EOutputFormat::Png;
    EXPECT_EQ(ConvertImage(picture, Request(path, Settings(other))).Kind, TOutputKind::Encoded);
    TConvertRequest forced = Request(path, Settings(s.format));
    forced.ForceRecompress = true;
    EXPECT_EQ(ConvertImage(picture, forced).Kind, TOutputKind::Encoded);
    TResizeSettings keepPublic = Settings(s.format);
    keepPublic.Metadata = static_cast<uint8_t>(TMetadataPolicy::KeepPublic);
    EXPECT_EQ(ConvertImage(picture, Request(path, keepPublic)).Kind, TOutputKind::Encoded);
  }
  // A JPEG under a PNG name is encoded, never written as "PNG" with JPEG bytes.
  TJPEGImage jpeg;
  jpeg.Assign(picture);
  jpeg.Compress();
  const std::string misnamed = Write("d.png", jpeg.CompressedData());
  const TConversion c = ConvertImage(picture, Request(misnamed, Settings(EOutputFormat::Png)));
  EXPECT_EQ(c.Kind, TOutputKind::Encoded);
  EXPECT_TRUE(FileHoldsFormat(c.Bytes, EImageFormat::Png));
  EXPECT_EQ(MeanDifference(DecodePng(c.Bytes), picture), 0.0);
}

TEST_F(OutputFormatTest, PoliciesCarryProfileAndMetadataIntoEachFormat) {
  // A JPEG source with an Adobe RGB profile and EXIF.
  const TRasterImage picture = TestPicture(48, 32);
  TJPEGImage jpeg;
  jpeg.Assign(picture);
  jpeg.Compress();
  const std::string icc = testing::AdobeRgbProfileBytes();
  const std::string path =
      Write("photo.jpg",
            testing::WithMarker(testing::WithMarker(jpeg.CompressedData(), IccProfileSegments(icc)),
                                testing::ExifMarker(testing::ExifTiff({1, false, {}}))));
  // Where each container keeps the profile and the EXIF.
  const struct {
    EOutputFormat format;
    std::string profileTag, exifTag;
  } cases[] = {{EOutputFormat::Png, "iCCP", "eXIf"},
               {EOutputFormat::WebP, "ICCP", "EXIF"},
               {EOutputFormat::Avif, "prof", "Exif"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(OutputExtension(c.format)));
    TResizeSettings keep = Settings(c.format, true);
    keep.ColorProfile = static_cast<uint8_t>(TColorProfilePolicy::Keep);
    keep.Metadata = static_cast<uint8_t>(TMetadataPolicy::Keep);
    TRasterImage source = LoadSourceImage(path, TColorProfilePolicy::Keep);
    const std::string kept = ConvertImage(source, Request(path, keep)).Bytes;
    EXPECT_NE(kept.find(c.profileTag), std::string::npos);
    EXPECT_NE(kept.find(c.exifTag), std::string::npos);
    EXPECT_NE(kept.find("Picaxo!"), std::string::npos);  // the camera make of the EXIF
    // The profile is embedded whole (PNG compresses it).
    if (c.format != EOutputFormat::Png) {
      EXPECT_NE(kept.find(icc), std::string::npos);
    }
    const std::string stripped =
        ConvertImage(source, Request(path, Settings(c.format, true))).Bytes;
    EXPECT_EQ(stripped.find(c.profileTag), std::string::npos);
    EXPECT_EQ(stripped.find("Picaxo!"), std::string::npos);
  }
}

}  // namespace
}  // namespace picaxo
