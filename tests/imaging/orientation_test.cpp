// Photos tagged with an EXIF orientation: the reader, and the conversion of the upright picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "base/file_util.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/orient.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "imaging/resample.h"
#include "imaging/resample_detail.h"
#include "imaging/turned_resample.h"
#include "lossless/jpeg_test_util.h"
#include "support/exif_test_util.h"
#include "support/resize_settings.h"
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

// A padded frame anchored at the bottom right, so that turns and crops cut into the padding.
TResizeSettings PaddedFit(int width, int height) {
  return testing::PaddedFit(width, height, kAlignRightBottom, 0x3366CC);
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
  const TResizeSettings fit = PaddedFit(40, 33);
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

// A turned photo is streamed from its stored rows through rings of lines far shorter than the
// picture: every turn, with crops and padded frames cutting into it, on every resampling path, and
// a gray file must give what the whole upright picture gives; a broken file fails the same way.
TEST_F(OrientationTest, TurnedStreamWithRingsShorterThanThePictureMatchesTheWholePicture) {
  using resample_detail::TResamplePath;
  TRasterImage stored(203, 131);
  for (int y = 0; y < stored.Height(); ++y)
    for (int x = 0; x < 3 * stored.Width(); ++x)
      stored.ScanLine(y)[x] = static_cast<uint8_t>((x * 7 + y * 13) / 2 + (x * y % 61));
  TJPEGImage jpeg;
  jpeg.Assign(stored);
  jpeg.Compress();
  const TResizeSettings fit = PaddedFit(44, 31);
  const struct {
    TResizeSettings settings;
    std::optional<TSelection> crop;
  } requests[] = {{Longer(37), {}},
                  {Longer(29), TSelection{7, 5, 120, 101}},
                  {fit, {}},
                  {fit, TSelection{0, 3, 129, 66}}};
  testing::JpegRecipe grayRecipe;
  grayRecipe.width = 161;
  grayRecipe.height = 97;
  grayRecipe.components = 1;
  const std::string gray = testing::MakeJpeg(grayRecipe);
  for (const std::string& file : {jpeg.CompressedData(), gray}) {
    for (int o = 3; o <= 8; ++o) {
      const std::string path = Write("r.jpg", WithOrientation(file, o));
      TLoadedSource loaded = LoadSource(path, {});
      for (const auto& [settings, crop] : requests) {
        SCOPED_TRACE("orientation " + std::to_string(o) + ", longer " +
                     std::to_string(settings.LongerPixels) + (crop ? ", cropped" : ""));
        const TConvertRequest r = Request(path, settings, crop);
        ASSERT_TRUE(
            CanResampleTurned(PlanConversion(loaded.Picture.Width(), loaded.Picture.Height(), r)));
        const std::string whole = ConvertImage(loaded.Picture, r).Bytes;
        for (TResamplePath p :
             {TResamplePath::Scalar, TResamplePath::Avx2, TResamplePath::Avx512}) {
          if (!resample_detail::ResamplePathAvailable(p)) continue;
          auto rows = OpenRowSource(path);
          EXPECT_TRUE(resample_detail::ConvertRowsOnPath(*rows, r, p).Bytes == whole)
              << "path " << static_cast<int>(p);
          EXPECT_EQ(rows->NextRow(), rows->Height());
        }
      }
    }
  }

  // A scan header naming no component behind the picture's data, read when the rest of the file
  // is: the same message, and the source's fault.
  std::string broken = jpeg.CompressedData();
  broken.insert(broken.size() - 2, std::string("\xFF\xDA\x00\x06\x00\x00\x00\x00", 8));
  const std::string path = Write("broken.jpg", WithOrientation(broken, 6));
  std::string whole, streamed;
  try {
    LoadSource(path, {});
  } catch (const std::exception& e) {
    whole = e.what();
  }
  auto rows = OpenRowSource(path);
  try {
    ConvertRows(*rows, Request(path, Longer(37)));
  } catch (const std::exception& e) {
    streamed = e.what();
  }
  EXPECT_FALSE(whole.empty());
  EXPECT_EQ(streamed, whole);
  EXPECT_TRUE(rows->Failed());
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

// The decoded rows are turned a band of rows at a time as they arrive: pictures taller and wider
// than a band, and the decoder's gray and CMYK formats, must come out as the table turns them, in
// the loaded picture, the streamed rows (read a few at a time) and the turn of a stored raster.
TEST_F(OrientationTest, PicturesTurnedWhileDecodingMatchTheTableAcrossBandsAndFormats) {
  const auto encoded = [](int width, int height) {
    TRasterImage picture(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        uint8_t* p = picture.ScanLine(y) + 3 * x;
        p[0] = static_cast<uint8_t>(x * 7 + y);
        p[1] = static_cast<uint8_t>(y * 5);
        p[2] = static_cast<uint8_t>(x * y);
      }
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    jpeg.Compress();
    return jpeg.CompressedData();
  };
  const std::string corpus = std::string(PICAXO_TESTDATA) + "/../fuzz/corpus/fuzz_jpeg/";
  const std::string files[] = {encoded(70, 37), encoded(37, 70), encoded(1, 33),
                               ReadWholeFile(corpus + "gray.jpg"),
                               ReadWholeFile(corpus + "cmyk_adobe.jpg")};
  // Compared as 24-bit pictures (an untagged gray file keeps its 8-bit format).
  const auto same = [](TRasterImage a, const TRasterImage& b) {
    a.SetPixelFormat(TPixelFormat::pf24bit);
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
      if (std::memcmp(a.ScanLine(y), b.ScanLine(y), 3 * static_cast<size_t>(a.Width())) != 0)
        return false;
    return true;
  };
  for (const std::string& file : files) {
    TJPEGImage decoder;
    decoder.LoadFromBytes(file);
    TRasterImage stored = decoder.TakeRaster();
    stored.SetPixelFormat(TPixelFormat::pf24bit);
    for (int o = 1; o <= 8; ++o) {
      SCOPED_TRACE(std::to_string(stored.Width()) + " x " + std::to_string(stored.Height()) +
                   ", orientation " + std::to_string(o));
      const TRasterImage expected = TurnByTable(stored, o);
      EXPECT_TRUE(same(OrientRaster(stored, o), expected));
      const std::string path = Write("t.jpg", WithOrientation(file, o));
      EXPECT_TRUE(same(LoadSource(path, {}).Picture, expected));
      auto rows = OpenRowSource(path);
      TRasterImage streamed(rows->Width(), rows->Height());
      for (int y = 0; y < streamed.Height(); y += 5) {
        uint8_t* block[5];
        const int count = std::min(5, streamed.Height() - y);
        for (int r = 0; r < count; ++r)
          block[r] = streamed.ScanLine(y + r);
        rows->ReadRows(block, count);
      }
      EXPECT_TRUE(same(streamed, expected));
    }
  }
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
