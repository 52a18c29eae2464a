// Rotating a photo tagged with an EXIF orientation turns what the user sees: the stored picture
// gets the composition of the tag and the turn, and the tag becomes 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "lossless/jpeg_rotate.h"
#include "lossless/jpeg_test_util.h"
#include "support/exif_test_util.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

using testing::ExifMarker;
using testing::ExifTiff;
using testing::TurnByTable;
using testing::WithMarker;

std::string Encode(const TRasterImage& image) {
  TJPEGImage jpeg;
  jpeg.Assign(image);
  jpeg.SetCompressionQuality(95);
  jpeg.Compress();
  return jpeg.CompressedData();
}

TRasterImage Decode(const std::string& bytes) {
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(bytes);
  TRasterImage image = jpeg.TakeRaster();
  image.SetPixelFormat(TPixelFormat::pf24bit);
  return image;
}

// Mean difference per sample; a wrong turn of a photo gives tens of levels.
double MeanDifference(const TRasterImage& a, const TRasterImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1e9;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < 3 * a.Width(); ++x)
      sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
  return sum / (3.0 * a.Width() * a.Height());
}

// A photo crop whose sides are whole MCUs, so that every transform is exact.
const std::string& Photo() {
  static const std::string jpeg = [] {
    TJPEGImage photo;
    photo.LoadFromFile(std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg");
    const TRasterImage whole = photo.TakeRaster();
    TRasterImage crop(64, 48);
    crop.CopyRect(0, 0, whole, 400, 300, 64, 48);
    return Encode(crop);
  }();
  return jpeg;
}

class RotateTaggedFile : public picaxo::testing::TempFolderTest {};

TEST_F(RotateTaggedFile, ComposesTheTurnWithTheTagResetsItAndKeepsTheRest) {
  const std::string thumbnail = Encode(TRasterImage(8, 8));
  const TRasterImage upright0 = Decode(Photo());
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    const bool big = o % 2 == 0;
    const std::string source = WithMarker(Photo(), ExifMarker(ExifTiff({o, big, thumbnail})));
    const std::string path = (dir_ / "tagged.jpg").string();
    testing::WriteFile(path, source);
    RotateJPEGFile(path, kRotateRight);
    const std::string rotated = testing::ReadFile(path);

    const TExifOrientation exif = ReadExifOrientation(rotated);
    EXPECT_EQ(exif.Orientation, 1);
    EXPECT_EQ(exif.BigEndian, big);
    if (o == 1) {
      EXPECT_TRUE(rotated == TransformJPEGData(source, TransformRot90).data) << "today's bytes";
      continue;
    }
    // What a viewer that honours the tag showed, turned right; a viewer that ignores it agrees.
    const TRasterImage expected = TurnByTable(TurnByTable(upright0, o), 6);
    EXPECT_LT(MeanDifference(Decode(rotated), expected), 1.5);
    // The rest of the EXIF block stays where it was: the camera make, the thumbnail's bytes; only
    // the link to the thumbnail directory is cut.
    EXPECT_NE(rotated.find("Picaxo!"), std::string::npos);
    EXPECT_NE(rotated.find(thumbnail.substr(2, 40)), std::string::npos);
    ASSERT_GE(exif.NextIfdOffset, 0);
    EXPECT_EQ(rotated.substr(static_cast<size_t>(exif.NextIfdOffset), 4), std::string(4, '\0'));
    // Byte for byte: the source's block with the tag 1 and the link (at 34 in IFD0) zero.
    std::string expectedTiff = ExifTiff({1, big, thumbnail});
    std::fill_n(expectedTiff.begin() + 34, 4, '\0');
    const size_t at = rotated.find(expectedTiff.substr(0, 8));
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(rotated.compare(at, expectedTiff.size(), expectedTiff) == 0);
  }
}

TEST_F(RotateTaggedFile, WithoutAutoOrientTheTagAndTheMarkersStay) {
  const std::string source = WithMarker(Photo(), ExifMarker(ExifTiff({6, false, {}})));
  const std::string path = (dir_ / "tagged.jpg").string();
  testing::WriteFile(path, source);
  RotateJPEGFile(path, kRotateLeft, false);
  EXPECT_TRUE(testing::ReadFile(path) == TransformJPEGData(source, TransformRot270).data);
}

TEST(ComposeWithOrientation, IsTheUprightTurnFollowedByTheCommand) {
  const TTransformCode right[9] = {TransformRot90,  TransformRot90,     TransformTransverse,
                                   TransformRot270, TransformTranspose, TransformFlipH,
                                   TransformRot180, TransformFlipV,     TransformNone};
  for (int o = 0; o <= 8; ++o)
    EXPECT_EQ(ComposeWithOrientation(o, TransformRot90), right[o]) << o;
  EXPECT_EQ(ComposeWithOrientation(6, TransformRot270), TransformNone);
  EXPECT_EQ(ComposeWithOrientation(3, TransformRot180), TransformNone);
  EXPECT_EQ(ComposeWithOrientation(1, TransformRot180), TransformRot180);
}

}  // namespace
}  // namespace picaxo
