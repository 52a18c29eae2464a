// Colour profiles of JPEG sources: the photo is made Adobe RGB in the test with Little CMS, so
// the true colours are known.
#include "imaging/color_profile.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "support/adobe_rgb.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg";

using testing::CreateAdobeRgb;
using testing::SaveProfile;

std::string Encode(const TRasterImage& image, int quality) {
  TJPEGImage jpeg;
  jpeg.Assign(image);
  jpeg.SetCompressionQuality(quality);
  jpeg.Compress();
  return jpeg.CompressedData();
}

// Mean absolute difference per channel of two 24-bit rasters of one size.
double MeanDifference(const TRasterImage& a, const TRasterImage& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < 3 * a.Width(); ++x)
      sum += std::abs(int{a.ScanLine(y)[x]} - int{b.ScanLine(y)[x]});
  return sum / (3.0 * a.Width() * a.Height());
}

TConvertRequest SameSize(const std::string& path, TColorProfilePolicy policy) {
  TConvertRequest r;
  r.SourcePath = path;
  r.Settings.ResizeEnabled = false;
  r.Settings.JpegQuality = 100;
  r.Settings.ColorProfile = static_cast<uint8_t>(policy);
  r.ForceRecompress = true;
  return r;
}

class ColorProfileTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    // A 640 x 400 part of the photo, in sRGB: the true colours.
    const TRasterImage photo = LoadSourceImage(kPhoto, TColorProfilePolicy::Ignore);
    original_ = TRasterImage(640, 400);
    original_.CopyRect(0, 0, photo, 900, 600, 640, 400);
    cmsHPROFILE adobe = CreateAdobeRgb();
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    adobeProfile_ = SaveProfile(adobe);
    cmsHTRANSFORM toAdobe =
        cmsCreateTransform(srgb, TYPE_BGR_8, adobe, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    TRasterImage stored = original_;
    for (int y = 0; y < stored.Height(); ++y)
      cmsDoTransform(toAdobe, stored.ScanLine(y), stored.ScanLine(y), 640);
    cmsDeleteTransform(toAdobe);
    cmsCloseProfile(adobe);
    cmsCloseProfile(srgb);
    plain_ = Encode(stored, 100);
    adobePath_ = (dir_ / "adobe.jpg").string();
    WriteFileAtomically(adobePath_,
                        InsertSegmentsAfterApp0(plain_, IccProfileSegments(adobeProfile_)));
  }

  TRasterImage Decoded(const std::string& bytes) {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(bytes);
    return jpeg.TakeRaster();
  }

  TRasterImage original_;
  std::string adobeProfile_;
  std::string plain_;  // the Adobe RGB pixels without their profile
  std::string adobePath_;
};

TEST_F(ColorProfileTest, ConvertShowsTheTrueColoursIgnoreAndKeepTheStoredOnes) {
  TRasterImage source = LoadSourceImage(adobePath_, TColorProfilePolicy::Convert);
  const TConversion converted = ConvertImage(source, SameSize(adobePath_, {}));
  EXPECT_LT(MeanDifference(Decoded(converted.Bytes), original_), 1.5);
  EXPECT_TRUE(converted.Warning.empty());
  // The stream converts the same way.
  auto rows = OpenRowSource(adobePath_);
  EXPECT_TRUE(ConvertRows(*rows, SameSize(adobePath_, {})).Bytes == converted.Bytes);

  // Ignore: today's bytes, the stored colours re-encoded as they are (and visibly off).
  TRasterImage stored = LoadSourceImage(adobePath_, TColorProfilePolicy::Ignore);
  const TConversion ignored =
      ConvertImage(stored, SameSize(adobePath_, TColorProfilePolicy::Ignore));
  EXPECT_TRUE(ignored.Bytes == Encode(Decoded(plain_), 100));
  EXPECT_GT(MeanDifference(Decoded(ignored.Bytes), original_), 3.0);

  // Keep: the same pixels as ignore, with the source's profile embedded.
  const TConversion kept = ConvertImage(stored, SameSize(adobePath_, TColorProfilePolicy::Keep));
  const TIccProfile embedded = AssembleIccProfile(ReadJpegSegments(kept.Bytes));
  ASSERT_EQ(embedded.State, TIccProfile::TState::Present);
  EXPECT_TRUE(embedded.Data == adobeProfile_);
  EXPECT_EQ(MeanDifference(Decoded(kept.Bytes), Decoded(ignored.Bytes)), 0.0);
}

TEST_F(ColorProfileTest, SrgbProfilesAndUntaggedPhotosAreNotTouched) {
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  EXPECT_TRUE(IsSrgbProfile(SaveProfile(srgb)));
  cmsCloseProfile(srgb);
  EXPECT_FALSE(IsSrgbProfile(adobeProfile_));
  // The test photo carries the sRGB profile editors embed.
  const TIccProfile photoProfile = AssembleIccProfile(ReadJpegSegments(ReadWholeFile(kPhoto)));
  ASSERT_EQ(photoProfile.State, TIccProfile::TState::Present);
  EXPECT_TRUE(IsSrgbProfile(photoProfile.Data));
  std::string warning;
  EXPECT_EQ(SourceColorTransform(ReadWholeFile(kPhoto), TColorProfilePolicy::Convert, &warning),
            nullptr);
  EXPECT_TRUE(warning.empty());
}

TEST_F(ColorProfileTest, ExtremeColorantsConvertWithoutOverflow) {
  // Adobe RGB with its red colorant made twelve times as bright (found by fuzzing: the integer
  // matrix overflowed).
  std::string profile = adobeProfile_;
  const auto word = [&](size_t at) {
    return (uint32_t{static_cast<uint8_t>(profile[at])} << 24) |
           (uint32_t{static_cast<uint8_t>(profile[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(profile[at + 2])} << 8) |
           static_cast<uint8_t>(profile[at + 3]);
  };
  const uint32_t tags = word(128);
  for (uint32_t i = 0; i < tags; ++i) {
    const size_t entry = 132 + 12 * i;
    if (profile.compare(entry, 4, "rXYZ") != 0) continue;
    for (size_t value = word(entry + 4) + 8; value < word(entry + 4) + 20; value += 4)
      profile.replace(value, 4, std::string("\0\x0C\0\0", 4));
  }
  TIccProfile p;
  p.State = TIccProfile::TState::Present;
  p.Data = profile;
  std::string warning;
  const auto transform = ColorTransformFor(p, TDecodedColors::Rgb, &warning);
  ASSERT_NE(transform, nullptr) << warning;
  TRasterImage pixels = original_;
  pixels.FillRect(0, 0, pixels.Width(), 1, 0x00FFFFFF);  // full red: the largest terms
  for (int y = 0; y < pixels.Height(); ++y)
    transform->ConvertBgr(pixels.ScanLine(y), pixels.Width());
}

// A profile of very wide primaries and a different curve per channel, so that a channel's curve
// or row of the matrix taken for another's, and colours far outside sRGB, show.
std::string WideProfileWithThreeCurves() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{
      {0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, 1.8),
                             cmsBuildParametricToneCurve(nullptr, 4, srgb),
                             cmsBuildGamma(nullptr, 2.6)};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  for (cmsToneCurve* c : curves)
    cmsFreeToneCurve(c);
  std::string data = SaveProfile(profile);
  cmsCloseProfile(profile);
  return data;
}

// Long rows are converted a group of pixels at a time on vectors where the processor has them,
// short ones pixel by pixel: every colour must come out the same both ways.
TEST_F(ColorProfileTest, EveryColourConvertsAlikeInLongRowsAndPixelByPixel) {
  for (const std::string& profile : {adobeProfile_, WideProfileWithThreeCurves()}) {
    TIccProfile p;
    p.State = TIccProfile::TState::Present;
    p.Data = profile;
    const auto transform = ColorTransformFor(p, TDecodedColors::Rgb, nullptr);
    ASSERT_NE(transform, nullptr);
    constexpr int kColours = 1 << 24;
    std::vector<uint8_t> single(3 * static_cast<size_t>(kColours));
    for (int i = 0; i < kColours; ++i) {
      single[3 * static_cast<size_t>(i)] = static_cast<uint8_t>(i);
      single[3 * static_cast<size_t>(i) + 1] = static_cast<uint8_t>(i >> 8);
      single[3 * static_cast<size_t>(i) + 2] = static_cast<uint8_t>(i >> 16);
    }
    std::vector<uint8_t> row = single;
    // Rows of every length up to a few vector groups, then the rest in one.
    size_t at = 0;
    for (int n = 1; n <= 100; ++n) {
      transform->ConvertBgr(row.data() + at, n);
      at += 3 * static_cast<size_t>(n);
    }
    transform->ConvertBgr(row.data() + at, kColours - static_cast<int>(at / 3));
    for (int i = 0; i < kColours; ++i)
      transform->ConvertBgr(single.data() + 3 * static_cast<size_t>(i), 1);
    EXPECT_TRUE(row == single);
  }
}

TEST_F(ColorProfileTest, ChunksSplitOverSeveralMarkersAndInAnyOrderAreJoined) {
  // A profile of three chunks, stored in the order 3, 1, 2.
  std::string big = adobeProfile_;
  big.resize(150000, 'x');
  big[0] = static_cast<char>(150000 >> 24);
  big[1] = static_cast<char>((150000 >> 16) & 0xFF);
  big[2] = static_cast<char>((150000 >> 8) & 0xFF);
  big[3] = static_cast<char>(150000 & 0xFF);
  const std::string segments = IccProfileSegments(big);
  const std::string file = "\xFF\xD8" + segments + "\xFF\xD9";
  std::vector<TJpegSegment> found = ReadJpegSegments(file);
  ASSERT_EQ(found.size(), 3u);
  std::swap(found[0], found[2]);
  std::swap(found[1], found[2]);
  const TIccProfile joined = AssembleIccProfile(found);
  ASSERT_EQ(joined.State, TIccProfile::TState::Present);
  EXPECT_TRUE(joined.Data == big);
}

TEST_F(ColorProfileTest, BrokenProfilesAreIgnoredWithAWarning) {
  const std::string segments = IccProfileSegments(adobeProfile_);
  const std::string payloadStart = "ICC_PROFILE";
  auto withSegments = [&](const std::string& icc) {
    const std::string path = (dir_ / "broken.jpg").string();
    WriteFileAtomically(path, InsertSegmentsAfterApp0(plain_, icc));
    return path;
  };
  std::string twoFirsts = segments + segments;  // two chunks numbered 1 of 1
  std::string truncated = segments;
  truncated.resize(truncated.size() - 200);
  truncated[2] = static_cast<char>((truncated.size() - 2) >> 8);
  truncated[3] = static_cast<char>((truncated.size() - 2) & 0xFF);
  std::string refused = segments;
  for (size_t i = 4 + 14 + 128; i < refused.size(); ++i)
    refused[i] = '\x7F';  // a tag table Little CMS cannot read
  std::string wrongNumber = segments;
  wrongNumber[4 + 12] = 2;              // chunk 2 of 1
  std::string unknownSpace = segments;  // a colour space no enumeration value names
  unknownSpace.replace(4 + 14 + 16, 4, "\xAE\xBE\x3C\x20");
  const TRasterImage stored = LoadSourceImage(withSegments(""), TColorProfilePolicy::Convert);
  for (const std::string& icc : {twoFirsts, truncated, refused, wrongNumber, unknownSpace}) {
    std::string warning;
    const TRasterImage loaded =
        LoadSourceImage(withSegments(icc), TColorProfilePolicy::Convert, &warning);
    EXPECT_EQ(MeanDifference(loaded, stored), 0.0);
    EXPECT_FALSE(warning.empty());
    auto rows = OpenRowSource((dir_ / "broken.jpg").string());
    EXPECT_FALSE(rows->Warning().empty());
  }
}

}  // namespace
}  // namespace picaxo
