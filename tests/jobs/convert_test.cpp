#include "jobs/convert.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

class ConvertCurrentImageTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TRasterImage picture(64, 40);
    picture.FillRect(0, 0, 64, 40, 0x00406080);
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    jpeg.Compress();
    bytes_ = jpeg.CompressedData();
    path_ = (dir_ / "photo.jpg").string();
    WriteFileAtomically(path_, bytes_);
    source_ = picture;
    settings_.ResizeEnabled = false;
  }

  std::string path_;
  std::string bytes_;
  TRasterImage source_;
  TResizeSettings settings_;
};

TEST_F(ConvertCurrentImageTest, NothingWithoutEntryOrPicture) {
  std::string out = "untouched";
  EXPECT_FALSE(ConvertCurrentImage(nullptr, source_, std::nullopt, settings_, out));
  TFileEntry entry(path_, 0);
  TRasterImage empty;
  EXPECT_FALSE(ConvertCurrentImage(&entry, empty, std::nullopt, settings_, out));
  EXPECT_EQ(out, "untouched");
}

TEST_F(ConvertCurrentImageTest, RecompressChoiceOfTheEntryDecides) {
  TFileEntry entry(path_, 0);
  std::string out;
  ASSERT_TRUE(ConvertCurrentImage(&entry, source_, std::nullopt, settings_, out));
  EXPECT_EQ(out, bytes_);  // direct copy

  entry.RecompressChoice = TChoice::Yes;
  out.clear();
  ASSERT_TRUE(ConvertCurrentImage(&entry, source_, std::nullopt, settings_, out));
  EXPECT_NE(out, bytes_);

  // Settings force recompression, the entry says no.
  settings_.AlwaysRecompress = true;
  entry.RecompressChoice = TChoice::No;
  EXPECT_EQ(ConvertCurrentImageDetailed(&entry, source_, std::nullopt, settings_).Kind,
            TOutputKind::DirectCopy);
  entry.RecompressChoice = TChoice::Unset;
  EXPECT_EQ(ConvertCurrentImageDetailed(&entry, source_, std::nullopt, settings_).Kind,
            TOutputKind::Encoded);
}

TEST_F(ConvertCurrentImageTest, EnlargeChoiceOfTheEntryDecides) {
  TResizeSettings s;  // Percent
  s.Percent = 200;
  s.AllowEnlarge = false;
  TFileEntry entry(path_, 0);
  entry.EnlargeChoice = TChoice::Yes;
  EXPECT_EQ(ComputeCurrentGeometry(&entry, source_, std::nullopt, s).FrameWidth, 128);
  const TConversion c = ConvertCurrentImageDetailed(&entry, source_, std::nullopt, s);
  EXPECT_EQ(c.Geometry.FrameWidth, 128);
  s.AllowEnlarge = true;
  entry.EnlargeChoice = TChoice::No;
  EXPECT_EQ(ComputeCurrentGeometry(&entry, source_, std::nullopt, s).FrameWidth, 64);
  EXPECT_EQ(ComputeCurrentGeometry(nullptr, source_, std::nullopt, s).FrameWidth, 128);
}

}  // namespace
}  // namespace picaxo
