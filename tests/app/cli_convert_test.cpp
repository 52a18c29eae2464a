// picaxo-cli convert, driven as a user would run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/pipeline.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg";

using testing::Quote;
using testing::TCliRun;

TCliRun RunCli(const std::string& arguments) {
  return testing::RunCli("convert " + arguments, testing::TCliErrors::Discarded);
}

// A small 24-bit BMP file: a green picture with a red left half.
std::string SmallBmp(int w, int h) {
  std::string file = testing::BlankBmp(w, h);
  const size_t row = testing::BmpRowBytes(w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      file[testing::kBmpPixelOffset + y * row + 3 * x + (x < w / 2 ? 2 : 1)] = '\xFF';
  return file;
}

using CliConvertTest = testing::TempFolderTest;

// The entropy-coded data of a JPEG file: everything from its first SOS on.
std::string ScanOf(const std::string& file) {
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  return segments.empty() ? file : file.substr(segments.back().Offset + segments.back().Length);
}

TEST_F(CliConvertTest, ResizesAPhotoAndDryRunAgrees) {
  const fs::path out = dir_ / "out.jpg";
  const TCliRun dry =
      RunCli("--dry-run --longer 1024 --quality 80 " + Quote(kPhoto) + " " + Quote(out));
  ASSERT_EQ(dry.exitCode, 0);
  EXPECT_FALSE(fs::exists(out));
  const TCliRun real = RunCli("--longer 1024 --quality 80 " + Quote(kPhoto) + " " + Quote(out));
  ASSERT_EQ(real.exitCode, 0);
  ASSERT_TRUE(fs::exists(out));
  EXPECT_EQ(real.out, out.string() + ": 1024x640, " +
                          SizeAndRatioText(static_cast<int64_t>(fs::file_size(out)), 1024, 640,
                                           TRatio::Include) +
                          ", encoded\n");
  EXPECT_EQ(dry.out, real.out.substr(0, real.out.size() - 1) + " (dry run, nothing written)\n");
  TJPEGImage jpeg;
  jpeg.LoadFromFile(out.string());
  EXPECT_EQ(jpeg.Width(), 1024);
  EXPECT_EQ(jpeg.Height(), 640);
}

TEST_F(CliConvertTest, UnchangedPhotoIsCopiedExactly) {
  const fs::path out = dir_ / "copy.jpg";
  const TCliRun run = RunCli("--no-resize --quality 10 " + Quote(kPhoto) + " " + Quote(out));
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find(", copied"), std::string::npos) << run.out;
  EXPECT_EQ(ReadWholeFile(out.string()), ReadWholeFile(kPhoto));
  // Cropped, the same photo is encoded.
  const TCliRun crop =
      RunCli("--no-resize --crop 100,50,299,149 " + Quote(kPhoto) + " " + Quote(dir_ / "c.jpg"));
  ASSERT_EQ(crop.exitCode, 0);
  EXPECT_NE(crop.out.find(": 200x100, "), std::string::npos) << crop.out;
  EXPECT_NE(crop.out.find(", encoded"), std::string::npos) << crop.out;
}

TEST_F(CliConvertTest, BmpSourceIsEncodedIntoAFolder) {
  const fs::path bmp = dir_ / "small.bmp";
  WriteFileAtomically(bmp.string(), SmallBmp(40, 20));
  const fs::path folder = dir_ / "dest";
  fs::create_directories(folder);
  const TCliRun run = RunCli("--fit 10x10 --pad 5 --no-resize " + Quote(bmp) + " " + Quote(folder));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("40x20"), std::string::npos) << run.out;
  TJPEGImage jpeg;
  jpeg.LoadFromFile((folder / "small.jpg").string());
  EXPECT_EQ(jpeg.Width(), 40);
  // A padded Fit applies with resizing on.
  const TCliRun padded = RunCli("--fit 100x100 --pad center --pad-color 0000ff " + Quote(bmp) +
                                " " + Quote(dir_ / "p.jpg"));
  ASSERT_EQ(padded.exitCode, 0);
  EXPECT_NE(padded.out.find(": 100x100, "), std::string::npos) << padded.out;
}

TEST_F(CliConvertTest, SettingsFileGivesTheDestinationSettingsAndLaterOptionsWin) {
  const fs::path ini = dir_ / "PicaxoSettings.ini";
  WriteFileAtomically(ini.string(),
                      "[PicaxoSettings]\r\nResizeEnabled=1\r\nFixedLongerEnabled=1\r\n"
                      "PercentEnabled=0\r\nLongerPixels=0x100\r\nJpegQuality=70\r\n");
  const fs::path out = dir_ / "out.jpg";
  const TCliRun run = RunCli("--settings " + Quote(ini) + " " + Quote(kPhoto) + " " + Quote(out));
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find(": 256x160, "), std::string::npos) << run.out;
  const TCliRun later =
      RunCli("--settings=" + Quote(ini) + " --percent 20 " + Quote(kPhoto) + " " + Quote(out));
  EXPECT_NE(later.out.find(": 512x320, "), std::string::npos) << later.out;

  EXPECT_EQ(RunCli("--settings " + Quote(dir_ / "none.ini") + " " + Quote(kPhoto) + " " +
                   Quote(dir_ / "x.jpg"))
                .exitCode,
            2);
  EXPECT_FALSE(fs::exists(dir_ / "x.jpg"));
}

TEST_F(CliConvertTest, BadArgumentsLeaveNoFile) {
  const fs::path out = dir_ / "out.jpg";
  for (const char* options : {"--quality 0", "--quality", "--longer 9", "--percent 501",
                              "--fit 0x10", "--fit 100", "--pad 10", "--pad-color red",
                              "--crop 1,2,3", "--crop 1,2,3,x", "--bogus", "--enlarge=yes"}) {
    const TCliRun run = RunCli(std::string(options) + " " + Quote(kPhoto) + " " + Quote(out));
    EXPECT_EQ(run.exitCode, 2) << options;
    EXPECT_FALSE(fs::exists(out)) << options;
  }
  EXPECT_EQ(RunCli(Quote(kPhoto)).exitCode, 2);
}

TEST_F(CliConvertTest, UnreadableSourceOrUnwritableDestinationFails) {
  const fs::path out = dir_ / "out.jpg";
  EXPECT_EQ(RunCli(Quote(dir_ / "missing.jpg") + " " + Quote(out)).exitCode, 1);
  const fs::path broken = dir_ / "broken.jpg";
  WriteFileAtomically(broken.string(), "not a jpeg");
  EXPECT_EQ(RunCli(Quote(broken) + " " + Quote(out)).exitCode, 1);
  EXPECT_FALSE(fs::exists(out));

  // A destination below a plain file cannot be written; nothing is left behind.
  const fs::path blocker = dir_ / "file";
  WriteFileAtomically(blocker.string(), "x");
  EXPECT_EQ(RunCli("--longer 100 " + Quote(kPhoto) + " " + Quote(blocker / "out.jpg")).exitCode, 1);
  EXPECT_EQ(RunCli("--longer 100 " + Quote(kPhoto) + " " + Quote(dir_ / "no" / "out.jpg")).exitCode,
            1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);

  // The source itself is never the destination.
  const fs::path copy = dir_ / "source.jpg";
  fs::copy_file(kPhoto, copy);
  EXPECT_EQ(RunCli("--longer 100 " + Quote(copy) + " " + Quote(copy)).exitCode, 1);
  EXPECT_EQ(fs::file_size(copy), fs::file_size(kPhoto));
}

// The command streams its conversion; what it writes and how it fails are those of the window's
// whole-picture conversion.
TEST_F(CliConvertTest, StreamedOutputAndErrorsAreThoseOfTheWholeConversion) {
  const std::string full = ReadWholeFile(kPhoto);
  const fs::path cut = dir_ / "cut.jpg";
  WriteFileAtomically(cut.string(), full.substr(0, full.size() / 3));
  const fs::path out = dir_ / "out.jpg";
  // Converted as before, with one line saying why part of it may look wrong.
  const TCliRun cutRun = testing::RunCli("convert --longer 500 --crop 10,20,1500,900 " +
                                         Quote(cut) + " " + Quote(out));
  ASSERT_EQ(cutRun.exitCode, 0);
  const std::string warning = "picaxo-cli convert: warning: " + DamagedSourceText("cut.jpg") + "\n";
  const size_t at = cutRun.out.find(warning);
  EXPECT_NE(at, std::string::npos) << cutRun.out;
  EXPECT_EQ(cutRun.out.find("warning", at + warning.size()), std::string::npos) << cutRun.out;
  TRasterImage picture = LoadSourceImage(cut.string());
  TConvertRequest request;
  request.SourcePath = cut.string();
  request.Settings.FixedLongerEnabled = true;
  request.Settings.PercentEnabled = false;
  request.Settings.LongerPixels = 500;
  request.Selection = TSelection{10, 20, 1500, 900};
  EXPECT_TRUE(ReadWholeFile(out.string()) == ConvertImage(picture, request).Bytes);

  // A sound header over a scan the decoder refuses: the decoder's message, as a read error, and
  // the existing destination stays as it was.
  std::string broken = full;
  const size_t sos = broken.rfind("\xFF\xDA");  // the picture's scan, not a thumbnail's
  ASSERT_NE(sos, std::string::npos);
  broken[sos + 4] = 0;
  const fs::path bad = dir_ / "bad.jpg";
  WriteFileAtomically(bad.string(), broken);
  const testing::TCliRun run =
      testing::RunCli("convert --longer 500 " + Quote(bad) + " " + Quote(out));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("cannot read"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("JPEG error #"), std::string::npos) << run.out;
  EXPECT_TRUE(ReadWholeFile(out.string()) == ConvertImage(picture, request).Bytes);
}

}  // namespace
}  // namespace picaxo

namespace picaxo {
namespace {

TEST_F(CliConvertTest, ColourAndMetadataOptionsAndOneWarningForABrokenProfile) {
  // The photo with its profile split into chunks that disagree (1 of 2, twice).
  const std::string photo = ReadWholeFile(kPhoto);
  std::string broken;
  for (const TJpegSegment& s : ReadJpegSegments(photo)) {
    if (s.Marker != 0xE2) continue;
    std::string payload(s.Payload);
    payload[13] = 2;
    broken = MakeSegment(0xE2, payload) + MakeSegment(0xE2, payload);
  }
  ASSERT_FALSE(broken.empty());
  const fs::path source = dir_ / "broken.jpg";
  WriteFileAtomically(source.string(), InsertSegmentsAfterApp0(photo, broken));
  const TCliRun run =
      testing::RunCli("convert --longer 300 " + Quote(source) + " " + Quote(dir_ / "a.jpg"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  const size_t warning =
      run.out.find("picaxo-cli convert: warning: " + source.string() + ": the colour profile");
  EXPECT_EQ(warning, 0u) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.find('\n', warning));  // one line
  ASSERT_EQ(RunCli("--longer 300 --color-profile ignore --metadata keep " + Quote(source) + " " +
                   Quote(dir_ / "b.jpg"))
                .exitCode,
            0);
  const std::string kept = ReadWholeFile((dir_ / "b.jpg").string());
  // Same pixels as the default (the broken profile was ignored), now with the photo's EXIF.
  EXPECT_TRUE(ScanOf(kept) == ScanOf(ReadWholeFile((dir_ / "a.jpg").string())));
  EXPECT_NE(kept.find("Exif"), std::string::npos);
  EXPECT_EQ(RunCli("--color-profile vivid " + Quote(source) + " " + Quote(dir_ / "c.jpg")).exitCode,
            2);
  EXPECT_EQ(RunCli("--metadata all " + Quote(source) + " " + Quote(dir_ / "c.jpg")).exitCode, 2);
}

}  // namespace
}  // namespace picaxo
