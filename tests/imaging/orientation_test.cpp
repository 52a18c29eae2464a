// Photos tagged with an EXIF orientation: the reader, and the conversion of the upright picture.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/file_util.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "imaging/resample.h"
#include "support/exif_test_util.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

using testing::ExifMarker;
using testing::ExifTiff;
using testing::TurnByTable;
using testing::WithMarker;
using testing::WithOrientation;

// A crop of a test photo with odd sides, so that every turn is told apart.
const std::string& PhotoCrop() {
  static const std::string jpeg = [] {
    const TRasterImage photo =
        LoadSourceImage(std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg");
    TRasterImage crop(45, 29);
    crop.CopyRect(0, 0, photo, 300, 200, 45, 29);
    TJPEGImage jpeg;
    jpeg.Assign(crop);
    jpeg.SetCompressionQuality(92);
    jpeg.Compress();
    return jpeg.CompressedData();
  }();
  return jpeg;
}

TResizeSettings Longer(int pixels) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::LongerSide);
  s.LongerPixels = static_cast<int16_t>(pixels);
  s.JpegQuality = 80;
  return s;
}

// The route the bytes must follow: the codec's decode, the pixels turned as the tag says, the
// crop, the resampler, the codec's encode.
std::string ExpectedBytes(const std::string& untagged, int orientation,
                          const TResizeSettings& settings, std::optional<TSelection> crop) {
  TJPEGImage decoder;
  decoder.LoadFromBytes(untagged);
  TRasterImage picture = TurnByTable(decoder.TakeRaster(), orientation);
  if (crop) {
    TRasterImage cut(crop->Width(), crop->Height());
    cut.CopyRect(0, 0, picture, crop->Left, crop->Top, crop->Width(), crop->Height());
    picture = std::move(cut);
  }
  const OutputGeometry g =
      ComputeOutputGeometry(picture.Width(), picture.Height(), settings, false);
  TRasterImage out(g.FrameWidth, g.FrameHeight);
  ResampleImage(picture, out, Lanczos3Kernel, kLanczos3Support);
  TJPEGImage encoder;
  encoder.Assign(out);
  encoder.SetCompressionQuality(settings.JpegQuality);
  encoder.Compress();
  return encoder.CompressedData();
}

class OrientationTest : public testing::TempFolderTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    WriteFileAtomically(path, bytes);
    return path;
  }
  static TConvertRequest Request(const std::string& path, const TResizeSettings& settings,
                                 std::optional<TSelection> crop = std::nullopt) {
    TConvertRequest r;
    r.SourcePath = path;
    r.Settings = settings;
    r.Selection = crop;
    return r;
  }
  // Converted as the window does (decoded whole) and as the command line does (streamed).
  static void ExpectBothPaths(const std::string& path, const TConvertRequest& request,
                              const TSourceOptions& options, const std::string& expected,
                              int applied) {
    TLoadedSource loaded = LoadSource(path, options);
    EXPECT_EQ(loaded.Notes.AppliedOrientation, applied);
    TConvertRequest r = request;
    r.AppliedOrientation = loaded.Notes.AppliedOrientation;
    const TConversion whole = ConvertImage(loaded.Picture, r);
    EXPECT_TRUE(whole.Bytes == expected) << "whole-raster bytes differ";
    EXPECT_EQ(whole.AppliedOrientation, applied);
    auto rows = OpenRowSource(path, options);
    const TConversion streamed = ConvertRows(*rows, request);
    EXPECT_TRUE(streamed.Bytes == expected) << "streamed bytes differ";
    EXPECT_EQ(streamed.AppliedOrientation, applied);
    EXPECT_EQ(rows->NextRow(), rows->Height());
  }
};

TEST_F(OrientationTest, EachOrientationConvertsTheUprightPictureOnBothPaths) {
  const std::string& untagged = PhotoCrop();
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    const std::string path = Write("o" + std::to_string(o) + ".jpg", WithOrientation(untagged, o));
    const bool swap = o >= 5;
    TLoadedSource loaded = LoadSource(path, {});
    EXPECT_EQ(loaded.Picture.Width(), swap ? 29 : 45);
    auto header = OpenRowSource(path);  // the upright size before any row is decoded
    EXPECT_EQ(header->Width(), swap ? 29 : 45);
    EXPECT_EQ(header->Height(), swap ? 45 : 29);

    ExpectBothPaths(path, Request(path, Longer(20)), {}, ExpectedBytes(untagged, o, Longer(20), {}),
                    o);
    // A crop drawn on the upright picture is in its coordinates.
    const TSelection crop{3, 5, 21, 26};
    ExpectBothPaths(path, Request(path, Longer(12), crop), {},
                    ExpectedBytes(untagged, o, Longer(12), crop), o);
  }
}

TEST_F(OrientationTest, StreamMatchesWholeRasterWithPaddingAndCropsForEveryOrientation) {
  TResizeSettings fit;
  SelectRule(fit, ResizeRule::Fit);
  fit.FixedFitWidth = 40;
  fit.FixedFitHeight = 33;
  fit.PaddedFitEnabled = true;
  fit.PaddedAlignment = kAlignRightBottom;
  fit.PaddingColor = 0x3366CC;
  for (int o = 2; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    const std::string path = Write("p.jpg", WithOrientation(PhotoCrop(), o));
    for (const std::optional<TSelection>& crop :
         {std::optional<TSelection>(), std::optional<TSelection>(TSelection{0, 1, 27, 3})}) {
      TLoadedSource loaded = LoadSource(path, {});
      const TConvertRequest r = Request(path, fit, crop);
      const TConversion whole = ConvertImage(loaded.Picture, r);
      auto rows = OpenRowSource(path);
      EXPECT_TRUE(ConvertRows(*rows, r).Bytes == whole.Bytes);
    }
  }
}

TEST_F(OrientationTest, WithoutAutoOrientATaggedFileGivesTheUntaggedBytes) {
  const std::string plain = Write("plain.jpg", PhotoCrop());
  const std::string tagged = Write("tagged.jpg", WithOrientation(PhotoCrop(), 6));
  TLoadedSource loaded = LoadSource(plain, {});
  const std::string today = ConvertImage(loaded.Picture, Request(plain, Longer(20))).Bytes;
  ExpectBothPaths(tagged, Request(tagged, Longer(20)), TSourceOptions{false}, today, 1);
}

TEST_F(OrientationTest, ADirectCopyKeepsTheFileAndReportsTheUprightSize) {
  const std::string bytes = WithOrientation(PhotoCrop(), 8);
  const std::string path = Write("copy.jpg", bytes);
  TResizeSettings none;
  none.ResizeEnabled = false;
  TLoadedSource loaded = LoadSource(path, {});
  const TConversion whole = ConvertImage(loaded.Picture, Request(path, none));
  EXPECT_EQ(whole.Kind, TOutputKind::DirectCopy);
  EXPECT_TRUE(whole.Bytes == bytes);
  EXPECT_EQ(whole.Geometry.FrameWidth, 29);
  auto rows = OpenRowSource(path);
  const TConversion streamed = ConvertRows(*rows, Request(path, none));
  EXPECT_EQ(streamed.Kind, TOutputKind::DirectCopy);
  EXPECT_TRUE(streamed.Bytes == bytes);
}

TEST(ExifOrientationReader, ReadsBothByteOrdersAndPointsAtTheValue) {
  for (bool big : {false, true}) {
    std::string jpeg = WithMarker(PhotoCrop(), ExifMarker(ExifTiff({7, big, "thumb"})));
    const TExifOrientation info = ReadExifOrientation(jpeg);
    EXPECT_EQ(info.Orientation, 7);
    EXPECT_TRUE(info.Ignored.empty());
    EXPECT_EQ(info.BigEndian, big);
    ResetExifOrientation(jpeg, info);
    const TExifOrientation after = ReadExifOrientation(jpeg);
    EXPECT_EQ(after.Orientation, 1);
    EXPECT_EQ(after.ValueOffset, info.ValueOffset);
    EXPECT_EQ(jpeg.substr(static_cast<size_t>(info.NextIfdOffset), 4), std::string(4, '\0'));
  }
  EXPECT_EQ(ReadExifOrientation(PhotoCrop()).Orientation, 1);
}

// Broken EXIF counts as no tag, says what was ignored, and the photo converts as untagged.
TEST_F(OrientationTest, BrokenExifIsIgnoredWithAReason) {
  const std::string good = ExifTiff({6, false, {}});
  const auto patched = [&](size_t at, std::string bytes) {
    std::string t = good;
    t.replace(at, bytes.size(), bytes);
    return t;
  };
  // IFD0 at 8: its count, the Make entry (10 ... 21), Orientation (22 ... 33, value at 30).
  const std::pair<std::string, std::string> cases[] = {
      {patched(30, std::string("\0\0", 2)), "orientation 0"},
      {patched(30, std::string("\x09\0", 2)), "orientation 9"},
      {patched(4, std::string("\xF0\xFF\xFF\x7F", 4)), "offset out of range"},
      {patched(8, std::string("\xFF\x0F", 2)), "runs past"},
      {patched(24, std::string("\x04\0", 2)), "wrong type"},
      {patched(0, "XX"), "byte order"},
      {good.substr(0, 6), "too short"},
  };
  for (const auto& [tiff, reason] : cases) {
    SCOPED_TRACE(reason);
    const TExifOrientation info = ReadExifOrientation(WithMarker(PhotoCrop(), ExifMarker(tiff)));
    EXPECT_EQ(info.Orientation, 1);
    EXPECT_NE(info.Ignored.find(reason), std::string::npos) << info.Ignored;
  }
  // An APP1 marker whose length runs past the end of the file.
  const std::string marker = ExifMarker(good);
  const std::string truncated = std::string("\xFF\xD8", 2) + marker.substr(0, marker.size() - 5);
  EXPECT_NE(ReadExifOrientation(truncated).Ignored.find("truncated"), std::string::npos);
  EXPECT_NE(ReadExifOrientationFile(Write("t.jpg", truncated)).Ignored.find("truncated"),
            std::string::npos);

  const std::string broken =
      Write("b.jpg", WithMarker(PhotoCrop(), ExifMarker(patched(30, std::string("\0\0", 2)))));
  const std::string plain = Write("plain.jpg", PhotoCrop());
  TLoadedSource loaded = LoadSource(broken, {});
  EXPECT_EQ(loaded.Notes.AppliedOrientation, 1);
  EXPECT_FALSE(loaded.Notes.Ignored.empty());
  TLoadedSource reference = LoadSource(plain, {});
  EXPECT_TRUE(ConvertImage(loaded.Picture, Request(broken, Longer(20))).Bytes ==
              ConvertImage(reference.Picture, Request(plain, Longer(20))).Bytes);
  EXPECT_FALSE(OpenRowSource(broken)->Notes().Ignored.empty());
}

TEST_F(OrientationTest, TheFileReaderReadsOnlyTheMarkersItNeeds) {
  const std::string path = Write("f.jpg", WithOrientation(PhotoCrop(), 5));
  EXPECT_EQ(ReadExifOrientationFile(path).Orientation, 5);
  EXPECT_EQ(ReadExifOrientationFile((dir_ / "missing.jpg").string()).Orientation, 1);
}

}  // namespace
}  // namespace picaxo
