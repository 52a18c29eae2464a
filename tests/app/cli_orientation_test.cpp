// picaxo-cli and photos tagged with an EXIF orientation: the upright picture by default, today's
// bytes with --no-auto-orient, one warning line for a broken tag.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_util.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "support/exif_test_util.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::RunCli;
using testing::TCliErrors;

// A 300 x 200 crop of a test photo, stored landscape and tagged "turn right" like a phone portrait.
std::string Landscape() {
  TJPEGImage photo;
  photo.LoadFromFile(std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg");
  const TRasterImage whole = photo.TakeRaster();
  TRasterImage crop(300, 200);
  crop.CopyRect(0, 0, whole, 100, 100, 300, 200);
  TJPEGImage jpeg;
  jpeg.Assign(crop);
  jpeg.Compress();
  return jpeg.CompressedData();
}

class CliOrientationTest : public testing::TempFolderTest {
 protected:
  void SetUp() override { fs::create_directories(dir_ / "in"); }
};

TEST_F(CliOrientationTest, ConvertAndBatchWriteThePortraitUprightOrAsTodayWhenTold) {
  const std::string plain = Landscape();
  WriteFileAtomically((dir_ / "in" / "p.jpg").string(), testing::WithOrientation(plain, 6));
  WriteFileAtomically((dir_ / "plain.jpg").string(), plain);
  const std::string in = Quote(dir_ / "in" / "p.jpg");

  const auto run = RunCli("convert --longer 60 " + in + " " + Quote(dir_ / "up.jpg"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find(": 40x60,"), std::string::npos) << run.out;

  RunCli("convert --longer 60 " + Quote(dir_ / "plain.jpg") + " " + Quote(dir_ / "today.jpg"));
  RunCli("convert --no-auto-orient --longer 60 " + in + " " + Quote(dir_ / "off.jpg"));
  EXPECT_TRUE(ReadWholeFile((dir_ / "off.jpg").string()) ==
              ReadWholeFile((dir_ / "today.jpg").string()));

  // The batch's streamed conversion writes the same upright file, and its own today's bytes.
  EXPECT_EQ(
      RunCli("batch --jobs 1 --longer 60 " + Quote(dir_ / "in") + " " + Quote(dir_ / "b")).exitCode,
      0);
  EXPECT_TRUE(ReadWholeFile((dir_ / "b" / "p.jpg").string()) ==
              ReadWholeFile((dir_ / "up.jpg").string()));
  RunCli("batch --jobs 1 --no-auto-orient --longer 60 " + Quote(dir_ / "in") + " " +
         Quote(dir_ / "c"));
  EXPECT_TRUE(ReadWholeFile((dir_ / "c" / "p.jpg").string()) ==
              ReadWholeFile((dir_ / "today.jpg").string()));
}

TEST_F(CliOrientationTest, ABrokenTagIsIgnoredWithOneWarningLine) {
  std::string tiff = testing::ExifTiff({6, false, {}});
  tiff[30] = 0;  // orientation 0
  WriteFileAtomically((dir_ / "in" / "b.jpg").string(),
                      testing::WithMarker(Landscape(), testing::ExifMarker(tiff)));
  const auto run =
      RunCli("convert --longer 60 " + Quote(dir_ / "in" / "b.jpg") + " " + Quote(dir_ / "o.jpg"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("picaxo-cli convert: warning: " + (dir_ / "in" / "b.jpg").string() +
                         ": ignored the EXIF orientation 0 (not 1 to 8)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(": 60x40,"), std::string::npos);

  const auto batch =
      RunCli("batch --jobs 1 --longer 60 " + Quote(dir_ / "in") + " " + Quote(dir_ / "out"));
  EXPECT_EQ(batch.exitCode, 0);
  EXPECT_NE(batch.out.find("picaxo-cli batch: warning: b.jpg: ignored the EXIF orientation 0"),
            std::string::npos)
      << batch.out;
}

TEST_F(CliOrientationTest, RotateResetsTheTagUnlessToldNotTo) {
  const std::string tagged = testing::WithOrientation(Landscape(), 6);
  const fs::path a = dir_ / "a.jpg", b = dir_ / "b.jpg";
  WriteFileAtomically(a.string(), tagged);
  WriteFileAtomically(b.string(), tagged);
  EXPECT_EQ(RunCli("rotate right " + Quote(a)).exitCode, 0);
  EXPECT_EQ(ReadExifOrientationFile(a.string()).Orientation, 1);
  TJPEGImage turned;
  turned.LoadFromFile(a.string());
  EXPECT_EQ(turned.Width(), 300);  // shown 200 x 300, turned right: 300 x 200
  EXPECT_EQ(RunCli("rotate --no-auto-orient right " + Quote(b)).exitCode, 0);
  EXPECT_EQ(ReadExifOrientationFile(b.string()).Orientation, 6);
}

}  // namespace
}  // namespace picaxo
