// What PNG, WebP, HEIF/AVIF and TIFF sources carry besides their pixels (the colour profile, EXIF
// and XMP) reaches the output under the keep policies, and a HEIF's colour description is honoured.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <exiv2/exiv2.hpp>
#include <string>

#include "base/file_util.h"
#include "imaging/color_profile.h"
#include "imaging/jpeg_markers.h"
#include "imaging/output_codec.h"
#include "imaging/pipeline.h"
#include "imaging/source_decoders.h"
#include "support/adobe_rgb.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

constexpr char kXmp[] =
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
    "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" "
    "xmp:CreatorTool=\"Darkroom 7\" exif:GPSLatitude=\"48,51.5N\"/></rdf:RDF></x:xmpmeta>";

// A camera's EXIF: orientation 6, an author, a body serial number and a position.
std::string CameraExif() {
  Exiv2::ExifData exif;
  exif["Exif.Image.Orientation"] = static_cast<uint16_t>(6);
  exif["Exif.Image.Artist"] = "Ann Author";
  exif["Exif.Photo.BodySerialNumber"] = "SN-4711";
  exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
  return std::string(blob.begin(), blob.end());
}

TRasterImage Picture(int width, int height) {
  TRasterImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x)
      image.ScanLine(y)[x] = static_cast<uint8_t>(x * 5 + y * 7);
  return image;
}

// A TIFF of picture with the profile, the XMP and orientation 6 in its own tags; the rest of the
// camera's EXIF is added by exiv2, as photo tools do.
void WriteTiff(const std::string& path, const TRasterImage& picture, const std::string& icc) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, picture.Width());
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, picture.Height());
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, 6);
  TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(icc.size()), icc.data());
  TIFFSetField(tif, TIFFTAG_XMLPACKET, static_cast<uint32_t>(sizeof kXmp - 1), kXmp);
  std::vector<uint8_t> row(3 * static_cast<size_t>(picture.Width()));
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x)
      for (int c = 0; c < 3; ++c)
        row[3 * x + c] = picture.ScanLine(y)[3 * x + 2 - c];
    ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
  }
  TIFFClose(tif);
  auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  Exiv2::ExifData& exif = image->exifData();
  exif["Exif.Image.Artist"] = "Ann Author";
  exif["Exif.Photo.BodySerialNumber"] = "SN-4711";
  exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  image->writeMetadata();
}

// What an output file carries, read back: a JPEG's marker segments, another format's chunks.
TOutputExtras ExtrasOf(const std::string& file, EOutputFormat format) {
  if (format != EOutputFormat::Jpeg) return ReadFormatExtras(ImageFormatOf(format), file);
  TOutputExtras extras;
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  for (const TJpegSegment& s : segments) {
    if (s.Marker == 0xE1 && PayloadStartsWith(s.Payload, std::string_view("Exif\0\0", 6)))
      extras.Exif = s.Payload.substr(6);
    if (s.Marker == 0xE1 && PayloadStartsWith(s.Payload, "http://ns.adobe.com/xap/1.0/"))
      extras.Xmp = s.Payload.substr(29);
  }
  const TIccProfile profile = AssembleIccProfile(segments);
  if (profile.State == TIccProfile::TState::Present) extras.IccProfile = profile.Data;
  return extras;
}

class SourceExtrasTest : public testing::TempFolderTest {
 protected:
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(SourceExtrasTest, KeepCarriesProfileAndPublicMetadataFromEverySourceFormat) {
  const TRasterImage picture = Picture(24, 16);
  const std::string icc = testing::AdobeRgbProfileBytes();
  TOutputExtras extras;
  extras.IccProfile = icc;
  extras.Exif = CameraExif();
  extras.Xmp = kXmp;
  WriteFileAtomically(P("a.png"), EncodePng(picture, extras));
  WriteFileAtomically(P("a.webp"), EncodeWebP(picture, 95, extras));
  WriteFileAtomically(P("a.heic"), EncodeAvif(picture, 95, extras));
  WriteTiff(P("a.tif"), picture, icc);

  for (const char* name : {"a.png", "a.webp", "a.heic", "a.tif"}) {
    TSourceOptions options;
    options.Color = TColorProfilePolicy::Keep;
    TLoadedSource source = LoadSource(P(name), options);
    for (const EOutputFormat format : {EOutputFormat::Jpeg, EOutputFormat::Png}) {
      SCOPED_TRACE(std::string(name) + " to " + std::string(OutputExtension(format)));
      TConvertRequest request;
      request.SourcePath = P(name);
      request.Settings.ResizeEnabled = true;
      request.Settings.OutputFormat = static_cast<uint8_t>(format);
      request.Settings.ColorProfile = static_cast<uint8_t>(TColorProfilePolicy::Keep);
      request.Settings.Metadata = static_cast<uint8_t>(TMetadataPolicy::KeepPublic);
      request.AppliedOrientation = source.Notes.AppliedOrientation;
      const TConversion c = ConvertImage(source.Picture, request);
      ASSERT_EQ(c.Kind, TOutputKind::Encoded);
      EXPECT_EQ(c.Warning, "");
      const TOutputExtras out = ExtrasOf(c.Bytes, format);

      EXPECT_EQ(out.IccProfile, icc);
      Exiv2::ExifData exif;
      ASSERT_NE(
          Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(out.Exif.data()),
                                    static_cast<uint32_t>(out.Exif.size())),
          Exiv2::invalidByteOrder);
      const auto value = [&](const char* key) {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        return it == exif.end() ? std::string("(none)") : it->toString();
      };
      EXPECT_EQ(value("Exif.Image.Artist"), "Ann Author");
      EXPECT_EQ(value("Exif.Photo.BodySerialNumber"), "(none)");
      EXPECT_EQ(value("Exif.GPSInfo.GPSLatitudeRef"), "(none)");
      // Every source shows upright now (turned by its tag, or by its HEIF rotation).
      EXPECT_EQ(value("Exif.Image.Orientation"), "1");
      EXPECT_EQ(value("Exif.Photo.PixelXDimension"), std::to_string(c.Geometry.FrameWidth));
      EXPECT_EQ(value("Exif.Image.StripOffsets"), "(none)");  // the TIFF's layout stays behind
      EXPECT_NE(out.Xmp.find("Darkroom 7"), std::string::npos);
      EXPECT_EQ(out.Xmp.find("GPSLatitude"), std::string::npos);
    }
  }
}

// A colour inside Display P3 but outside sRGB's gamut, in an AVIF described as Display P3 by its
// colr "nclx" box alone: Convert widens it to sRGB (more red, less green), greys stay grey; Keep
// takes the pixels as stored.
TEST_F(SourceExtrasTest, HeifColourDescriptionIsConvertedToSrgb) {
  TRasterImage picture(16, 16);
  picture.FillRect(0, 0, 16, 8, 0x303CC8);   // R 200, G 60, B 48
  picture.FillRect(0, 8, 16, 16, 0x808080);  // grey
  // The encoder describes its output as unspecified primaries and curve; the description is
  // made Display P3 (primaries 12, the sRGB curve 13) in place.
  std::string avif = EncodeAvif(picture, 100, {});
  const size_t colr = avif.find("colrnclx");
  ASSERT_NE(colr, std::string::npos);
  avif[colr + 9] = 12;
  avif[colr + 11] = 13;
  WriteFileAtomically(P("p3.avif"), avif);
  TSourceOptions options;
  const TRasterImage converted = LoadSource(P("p3.avif"), options).Picture;
  options.Color = TColorProfilePolicy::Keep;
  const TRasterImage stored = LoadSource(P("p3.avif"), options).Picture;
  const auto channel = [](const TRasterImage& r, int y, int c) { return int{r.ScanLine(y)[c]}; };
  EXPECT_NEAR(channel(stored, 2, 2), 200, 4);
  EXPECT_GT(channel(converted, 2, 2), channel(stored, 2, 2) + 10);  // red
  EXPECT_LT(channel(converted, 2, 1), channel(stored, 2, 1) - 10);  // green
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(channel(converted, 12, c), 128, 2);
}

}  // namespace
}  // namespace picaxo
