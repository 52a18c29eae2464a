// Metadata on re-encode: a source carrying public and private fields is written by exiv2 in the
// test, converted under each policy, and the output read back with exiv2.
#include "imaging/metadata.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include <string>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

std::string Encode(const TRasterImage& image) {
  TJPEGImage jpeg;
  jpeg.Assign(image);
  jpeg.SetCompressionQuality(90);
  jpeg.Compress();
  return jpeg.CompressedData();
}

TRasterImage Gradient(int width, int height) {
  TRasterImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.ScanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 3);
      p[1] = static_cast<uint8_t>(y * 5);
      p[2] = static_cast<uint8_t>(x + y);
    }
  return image;
}

struct TReadBack {
  Exiv2::ExifData Exif;
  Exiv2::XmpData Xmp;
  Exiv2::IptcData Iptc;
  std::string Comment;
  bool Has(const std::string& key) const {
    if (key.rfind("Exif.", 0) == 0) return Exif.findKey(Exiv2::ExifKey(key)) != Exif.end();
    if (key.rfind("Xmp.", 0) == 0) return Xmp.findKey(Exiv2::XmpKey(key)) != Xmp.end();
    return Iptc.findKey(Exiv2::IptcKey(key)) != Iptc.end();
  }
};

TReadBack ReadBack(const std::string& file) {
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
      reinterpret_cast<const Exiv2::byte*>(file.data()), static_cast<long>(file.size()));
  image->readMetadata();
  return {image->exifData(), image->xmpData(), image->iptcData(), image->comment()};
}

// A camera photo as phones and cameras write it: EXIF with a thumbnail, GPS, serial numbers, an
// owner and maker notes; XMP and IPTC with location fields; a comment.
std::string TaggedSource(const TRasterImage& picture, bool withPrivate) {
  const std::string plain = Encode(picture);
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
      reinterpret_cast<const Exiv2::byte*>(plain.data()), static_cast<long>(plain.size()));
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Testmaker";
  exif["Exif.Image.Model"] = "T-1";
  exif["Exif.Image.Orientation"] = uint16_t(6);
  exif["Exif.Image.Artist"] = "A. Photographer";
  exif["Exif.Image.Copyright"] = "(c) A. Photographer";
  exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:00:00";
  exif["Exif.Photo.PixelXDimension"] = uint32_t(picture.Width());
  exif["Exif.Photo.PixelYDimension"] = uint32_t(picture.Height());
  if (withPrivate) {
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "47/1 30/1 0/1";
    exif["Exif.Photo.BodySerialNumber"] = "BODY123";
    exif["Exif.Photo.LensSerialNumber"] = "LENS456";
    exif["Exif.Photo.CameraOwnerName"] = "Owner Name";
    Exiv2::DataValue note(Exiv2::undefined);
    note.read("1 2 3 4 5 6 7 8");
    exif.add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &note);
  }
  const std::string thumb = Encode(Gradient(16, 12));
  Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumb.data()),
                                          static_cast<long>(thumb.size()));
  Exiv2::XmpData xmp;
  xmp["Xmp.dc.title"] = "Path";
  if (withPrivate) {
    xmp["Xmp.photoshop.City"] = "Bern";
    xmp["Xmp.exif.GPSLatitude"] = "47,30.0N";
    xmp["Xmp.aux.SerialNumber"] = "BODY123";
  }
  Exiv2::IptcData iptc;
  iptc["Iptc.Application2.Byline"] = "A. Photographer";
  iptc["Iptc.Application2.Keywords"] = "path";
  if (withPrivate) iptc["Iptc.Application2.City"] = "Bern";
  image->setExifData(exif);
  image->setXmpData(xmp);
  image->setIptcData(iptc);
  image->setComment("a comment");
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.open();
  const Exiv2::DataBuf data = io.read(static_cast<long>(io.size()));
  return std::string(reinterpret_cast<const char*>(data.pData_), static_cast<size_t>(data.size_));
}

// The entropy-coded data: everything from the first SOS on.
std::string ScanData(const std::string& file) {
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  return file.substr(segments.back().Offset + segments.back().Length);
}

class MetadataTest : public testing::TempFolderTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    WriteFileAtomically(path, bytes);
    return path;
  }
  static TConvertRequest Request(const std::string& path, TMetadataPolicy policy, bool resize) {
    TConvertRequest r;
    r.SourcePath = path;
    r.Settings.Metadata = static_cast<uint8_t>(policy);
    r.Settings.ResizeEnabled = resize;  // 50 percent when on; a direct copy when off
    return r;
  }
  // The picture as stored, so that only the policy makes a difference.
  TConversion Convert(const std::string& path, TMetadataPolicy policy, bool resize = true) {
    const TSourceOptions asStored{.AutoOrient = false};
    TRasterImage source = LoadSource(path, asStored).Picture;
    const TConversion whole = ConvertImage(source, Request(path, policy, resize));
    auto rows = OpenRowSource(path, asStored);
    EXPECT_TRUE(ConvertRows(*rows, Request(path, policy, resize)).Bytes == whole.Bytes);
    return whole;
  }
  const TRasterImage picture_ = Gradient(80, 60);
};

TEST_F(MetadataTest, EachPolicyKeepsAndDropsItsFields) {
  const std::string path = Write("tagged.jpg", TaggedSource(picture_, true));
  // Strip: today's bytes, those of the same picture without any metadata.
  const TConversion stripped = Convert(path, TMetadataPolicy::Strip);
  const std::string plainPath = Write("plain.jpg", Encode(picture_));
  EXPECT_TRUE(stripped.Bytes == Convert(plainPath, TMetadataPolicy::Strip).Bytes);
  const TReadBack none = ReadBack(stripped.Bytes);
  EXPECT_TRUE(none.Exif.empty());
  EXPECT_TRUE(none.Xmp.empty());
  EXPECT_TRUE(none.Iptc.empty());
  EXPECT_TRUE(none.Comment.empty());

  const TConversion kept = Convert(path, TMetadataPolicy::Keep);
  TReadBack all = ReadBack(kept.Bytes);
  for (const char* key :
       {"Exif.Image.Make", "Exif.Image.Copyright", "Exif.GPSInfo.GPSLatitude",
        "Exif.Photo.BodySerialNumber", "Exif.Photo.CameraOwnerName", "Exif.Photo.MakerNote",
        "Xmp.dc.title", "Xmp.photoshop.City", "Xmp.aux.SerialNumber", "Iptc.Application2.Byline",
        "Iptc.Application2.City"})
    EXPECT_TRUE(all.Has(key)) << key;
  // The pixel dimensions are the output's; the thumbnail showed the source and is gone.
  EXPECT_EQ(all.Exif["Exif.Photo.PixelXDimension"].toLong(), 40);
  EXPECT_EQ(all.Exif["Exif.Photo.PixelYDimension"].toLong(), 30);
  EXPECT_FALSE(all.Has("Exif.Thumbnail.JPEGInterchangeFormat"));
  EXPECT_EQ(all.Exif["Exif.Image.Orientation"].toLong(), 6);
  EXPECT_EQ(all.Comment, "a comment");

  const TConversion publicOnly = Convert(path, TMetadataPolicy::KeepPublic);
  const TReadBack pub = ReadBack(publicOnly.Bytes);
  for (const char* key : {"Exif.Image.Make", "Exif.Image.Artist", "Exif.Image.Copyright",
                          "Exif.Photo.DateTimeOriginal", "Xmp.dc.title", "Iptc.Application2.Byline",
                          "Iptc.Application2.Keywords"})
    EXPECT_TRUE(pub.Has(key)) << key;
  for (const char* key :
       {"Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", "Exif.Photo.BodySerialNumber",
        "Exif.Photo.LensSerialNumber", "Exif.Photo.CameraOwnerName", "Exif.Photo.MakerNote",
        "Xmp.photoshop.City", "Xmp.exif.GPSLatitude", "Xmp.aux.SerialNumber",
        "Iptc.Application2.City"})
    EXPECT_FALSE(pub.Has(key)) << key;
  EXPECT_EQ(pub.Comment, "a comment");
  EXPECT_TRUE(publicOnly.Warning.empty());

  // The picture itself is the same whatever the policy.
  EXPECT_TRUE(ScanData(kept.Bytes) == ScanData(stripped.Bytes));
  EXPECT_TRUE(ScanData(publicOnly.Bytes) == ScanData(stripped.Bytes));
}

TEST_F(MetadataTest, TurnedPixelsMakeTheKeptOrientationOne) {
  const std::string path = Write("tagged.jpg", TaggedSource(picture_, false));
  TRasterImage source = LoadSourceImage(path);
  TConvertRequest r = Request(path, TMetadataPolicy::Keep, true);
  r.AppliedOrientation = 6;
  const TConversion whole = ConvertImage(source, r);
  TReadBack turned = ReadBack(whole.Bytes);
  EXPECT_EQ(turned.Exif["Exif.Image.Orientation"].toLong(), 1);
  EXPECT_EQ(turned.Exif["Exif.Photo.PixelXDimension"].toLong(), 30);
  EXPECT_EQ(turned.Exif["Exif.Photo.PixelYDimension"].toLong(), 40);
  // The stream learns the turn from its own rows: the same bytes.
  auto rows = OpenRowSource(path);
  EXPECT_TRUE(ConvertRows(*rows, Request(path, TMetadataPolicy::Keep, true)).Bytes == whole.Bytes);
}

TEST_F(MetadataTest, DirectCopiesStayWholeUnlessPrivateFieldsMustGo) {
  const std::string privatePath = Write("private.jpg", TaggedSource(picture_, true));
  const std::string publicPath = Write("public.jpg", TaggedSource(picture_, false));
  const std::string privateFile = ReadWholeFile(privatePath);
  for (TMetadataPolicy policy : {TMetadataPolicy::Strip, TMetadataPolicy::Keep}) {
    const TConversion copy = Convert(privatePath, policy, false);
    EXPECT_EQ(copy.Kind, TOutputKind::DirectCopy);
    EXPECT_TRUE(copy.Bytes == privateFile);
  }
  EXPECT_TRUE(Convert(publicPath, TMetadataPolicy::KeepPublic, false).Bytes ==
              ReadWholeFile(publicPath));

  const TConversion rewritten = Convert(privatePath, TMetadataPolicy::KeepPublic, false);
  EXPECT_EQ(rewritten.Kind, TOutputKind::DirectCopy);
  EXPECT_TRUE(ScanData(rewritten.Bytes) == ScanData(privateFile));
  const TReadBack pub = ReadBack(rewritten.Bytes);
  EXPECT_TRUE(pub.Has("Exif.Image.Copyright"));
  EXPECT_TRUE(pub.Has("Iptc.Application2.Byline"));
  for (const char* key : {"Exif.GPSInfo.GPSLatitude", "Exif.Photo.BodySerialNumber",
                          "Exif.Photo.MakerNote", "Xmp.photoshop.City", "Iptc.Application2.City"})
    EXPECT_FALSE(pub.Has(key)) << key;
}

TEST_F(MetadataTest, BrokenExifIsLeftOutWithAWarning) {
  const std::string plain = Encode(picture_);
  const std::string broken = MakeSegment(0xE1, std::string("Exif\0\0MM\0*\xFF\xFF\xFF\xF0", 14)) +
                             MakeSegment(0xE1, std::string("Exif\0\0II*\0\x08\0\0\0\xFF\xFF", 16));
  const std::string path = Write("broken.jpg", InsertSegmentsAfterApp0(plain, broken));
  for (TMetadataPolicy policy : {TMetadataPolicy::Keep, TMetadataPolicy::KeepPublic}) {
    const TConversion c = Convert(path, policy);
    EXPECT_EQ(c.Kind, TOutputKind::Encoded);
    EXPECT_FALSE(c.Warning.empty());
    // What exiv2 could make of the second segment may stay; the output reads back cleanly.
    EXPECT_NO_THROW(ReadBack(c.Bytes));
  }
  const TConversion copy = Convert(path, TMetadataPolicy::KeepPublic, false);
  EXPECT_FALSE(copy.Warning.empty());
  EXPECT_TRUE(ScanData(copy.Bytes) == ScanData(ReadWholeFile(path)));
}

}  // namespace
}  // namespace picaxo
