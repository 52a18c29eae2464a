// A PNG converted row by row straight from its file gives the bytes of the conversion of its
// decoded picture, for every kind of PNG, and a damaged one fails alike.
#include <gtest/gtest.h>

#include <string>

#include "base/file_util.h"
#include "imaging/color_profile.h"
#include "imaging/output_codec.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "support/adobe_rgb.h"
#include "support/exif_test_util.h"
#include "support/picture_files.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

using testing::Shell;
using testing::WritePam;

class PngStreamTest : public testing::TempFolderTest {
 protected:
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(PngStreamTest, StreamedBytesEqualTheDecodedPicturesConversion) {
  TRasterImage picture(45, 31);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < 3 * picture.Width(); ++x)
      picture.ScanLine(y)[x] = static_cast<uint8_t>(x * 7 + y * 3);
  WriteFileAtomically(P("rgb.png"), EncodePng(picture, {}));
  TOutputExtras adobe;
  adobe.IccProfile = testing::AdobeRgbProfileBytes();
  WriteFileAtomically(P("adobe.png"), EncodePng(picture, adobe));
  TOutputExtras turned;
  turned.Exif = testing::ExifTiff({6, false, {}});
  WriteFileAtomically(P("turned.png"), EncodePng(picture, turned));
  WritePam(P("rgba.pam"), 37, 23, 4, 255);
  Shell("pamtopng -interlace " + P("rgba.pam") + " > " + P("interlaced.png"));
  WritePam(P("ga16.pam"), 31, 17, 2, 65535);
  Shell("pamtopng " + P("ga16.pam") + " > " + P("ga16.png"));

  for (const char* name : {"rgb.png", "adobe.png", "turned.png", "interlaced.png", "ga16.png"}) {
    for (const bool resize : {false, true}) {
      SCOPED_TRACE(std::string(name) + (resize ? " resized" : ""));
      TConvertRequest request;
      request.SourcePath = P(name);
      request.Settings.ResizeEnabled = resize;
      request.Settings.AlwaysRecompress = true;
      request.ForceRecompress = true;
      request.Settings.PaddingColor = 0x2080F0;
      TSourceOptions options;
      options.Background = request.Settings.PaddingColor;
      TLoadedSource whole = LoadSource(P(name), options);
      request.AppliedOrientation = whole.Notes.AppliedOrientation;
      const TConversion expected = ConvertImage(whole.Picture, request);
      auto rows = OpenRowSource(P(name), options);
      EXPECT_EQ(rows->Notes().AppliedOrientation, whole.Notes.AppliedOrientation);
      const TConversion streamed = ConvertRows(*rows, request);
      EXPECT_EQ(streamed.Geometry.FrameWidth, expected.Geometry.FrameWidth);
      EXPECT_TRUE(streamed.Bytes == expected.Bytes);
    }
  }

  // Cut inside the picture data: both paths refuse it with libpng's reason.
  const std::string file = ReadWholeFile(P("rgb.png"));
  WriteFileAtomically(P("cut.png"), file.substr(0, file.size() / 2));
  std::string wholeError, streamError;
  try {
    LoadSource(P("cut.png"), {});
  } catch (const EPicaxoError& e) {
    wholeError = e.what();
  }
  auto rows = OpenRowSource(P("cut.png"));
  try {
    TConvertRequest request;
    request.SourcePath = P("cut.png");
    ConvertRows(*rows, request);
  } catch (const EPicaxoError& e) {
    streamError = e.what();
  }
  EXPECT_EQ(wholeError, "Damaged PNG file: the file is truncated");
  EXPECT_EQ(streamError, wholeError);
  EXPECT_TRUE(rows->Failed());
}

}  // namespace
}  // namespace picaxo
