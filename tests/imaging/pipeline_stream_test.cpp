#include "imaging/pipeline_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "lossless/jpeg_test_util.h"
#include "support/resize_settings.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using resample_detail::TResamplePath;

const std::string kPhotos = std::string(PICAXO_TESTDATA) + "/photos/";
const std::string kCorpus = std::string(PICAXO_TESTDATA) + "/../fuzz/corpus/";

std::vector<TResamplePath> AvailablePaths() {
  std::vector<TResamplePath> paths;
  for (TResamplePath p : {TResamplePath::Scalar, TResamplePath::Avx2, TResamplePath::Avx512})
    if (resample_detail::ResamplePathAvailable(p)) paths.push_back(p);
  return paths;
}

// A picture with detail in every direction, so that a misplaced row or column shows.
TRasterImage Pattern(int width, int height, uint32_t seed = 1) {
  TRasterImage image(width, height);
  uint32_t state = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < 3 * width; ++x) {
      state = state * 1103515245u + 12345u;
      row[x] = static_cast<uint8_t>((x * 7 + y * 13) / 2 + ((state >> 16) & 63));
    }
  }
  return image;
}

TResizeSettings Longer(int pixels) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::LongerSide);
  s.LongerPixels = pixels;
  return s;
}

TResizeSettings PaddedFit(int width, int height, uint8_t alignment) {
  return testing::PaddedFit(width, height, alignment, 0x00336699);
}

TConvertRequest Request(const std::string& path, const TResizeSettings& settings,
                        std::optional<TSelection> selection = std::nullopt) {
  TConvertRequest r;
  r.SourcePath = path;
  r.Settings = settings;
  r.AllowEnlarge = settings.AllowEnlarge;
  r.ForceRecompress = settings.AlwaysRecompress;
  r.Selection = selection;
  return r;
}

std::string Describe(const TConvertRequest& r, int w, int h) {
  std::string text =
      std::to_string(w) + "x" + std::to_string(h) +
      " longer=" + std::to_string(r.Settings.FixedLongerEnabled) + "/" +
      std::to_string(r.Settings.LongerPixels) +
      " fit=" + std::to_string(r.Settings.FixedFitEnabled) + " " +
      std::to_string(r.Settings.FixedFitWidth) + "x" + std::to_string(r.Settings.FixedFitHeight) +
      " pad=" + std::to_string(r.Settings.PaddedFitEnabled) + "/" +
      std::to_string(r.Settings.PaddedAlignment) + " percent=" + std::to_string(r.Settings.Percent);
  if (r.Selection)
    text += " crop " + std::to_string(r.Selection->Left) + "," + std::to_string(r.Selection->Top) +
            "-" + std::to_string(r.Selection->Right) + "," + std::to_string(r.Selection->Bottom);
  return text;
}

// The picture converted whole and streamed on every available path: the same kind, geometry and
// bytes.
void ExpectStreamMatches(const TRasterImage& picture, const TConvertRequest& request) {
  SCOPED_TRACE(Describe(request, picture.Width(), picture.Height()));
  TRasterImage whole = picture;
  const TConversion expected = ConvertImage(whole, request);
  ASSERT_EQ(expected.Kind, TOutputKind::Encoded);
  for (TResamplePath path : AvailablePaths()) {
    SCOPED_TRACE("path " + std::to_string(static_cast<int>(path)));
    auto source = RasterRowSource(picture);
    const TConversion streamed = resample_detail::ConvertRowsOnPath(*source, request, path);
    EXPECT_EQ(streamed.Kind, expected.Kind);
    EXPECT_EQ(streamed.Geometry.FrameWidth, expected.Geometry.FrameWidth);
    EXPECT_EQ(streamed.Geometry.FrameHeight, expected.Geometry.FrameHeight);
    EXPECT_TRUE(streamed.Bytes == expected.Bytes) << "streamed bytes differ";
  }
}

// A file converted as the window does (decoded whole) and as the command line does (streamed).
void ExpectFileStreamMatches(const std::string& path, const TConvertRequest& request) {
  SCOPED_TRACE(path);
  TRasterImage picture = LoadSourceImage(path);
  TConvertRequest r = request;
  r.SourcePath = path;
  const TConversion expected = ConvertImage(picture, r);
  auto source = OpenRowSource(path);
  const TConversion streamed = ConvertRows(*source, r);
  EXPECT_EQ(streamed.Kind, expected.Kind);
  EXPECT_TRUE(streamed.Bytes == expected.Bytes) << "streamed bytes differ";
  EXPECT_EQ(source->NextRow(), source->Height()) << "every row is read";
}

TEST(StreamConversion, MatchesWholeConversionForCropsAtEveryEdge) {
  const TRasterImage picture = Pattern(61, 47);
  const std::vector<TSelection> crops = {
      {0, 0, 30, 20},   {30, 0, 60, 20}, {0, 26, 30, 46},
      {30, 26, 60, 46}, {0, 0, 60, 46},  {17, 0, 17, 46},  // one pixel wide, full height
      {0, 9, 60, 9},                                       // one pixel high
      {5, 5, 6, 40},
  };
  for (const TSelection& crop : crops) {
    ExpectStreamMatches(picture, Request("p.bmp", Longer(23), crop));
    ExpectStreamMatches(picture, Request("p.bmp", PaddedFit(40, 30, 5), crop));
  }
}

TEST(StreamConversion, MatchesWholeConversionForEveryPaddedAlignment) {
  const TRasterImage picture = Pattern(80, 37, 3);
  for (uint8_t alignment = 1; alignment <= 9; ++alignment) {
    ExpectStreamMatches(picture, Request("p.bmp", PaddedFit(50, 50, alignment)));
    ExpectStreamMatches(picture, Request("p.bmp", PaddedFit(33, 70, alignment)));
    // A frame barely larger than the picture: the working raster rounds to less than the picture
    // in one direction, and the part outside the frame is cut.
    ExpectStreamMatches(picture,
                        Request("p.bmp", PaddedFit(81, 38, alignment), TSelection{1, 1, 78, 35}));
  }
  TResizeSettings scaleOne = PaddedFit(100, 60, 7);  // not resampled: the frame is the working size
  ExpectStreamMatches(picture, Request("p.bmp", scaleOne));
}

TEST(StreamConversion, MatchesWholeConversionForTinyAndEnlargedPictures) {
  TResizeSettings enlarge = Longer(97);
  enlarge.AllowEnlarge = true;
  for (int w : {1, 2, 3, 5})
    for (int h : {1, 2, 4}) {
      const TRasterImage picture = Pattern(w, h, static_cast<uint32_t>(w * 10 + h));
      ExpectStreamMatches(picture, Request("p.bmp", enlarge));
      ExpectStreamMatches(picture, Request("p.bmp", PaddedFit(9, 4, 2)));
      ExpectStreamMatches(picture, Request("p.bmp", Longer(10)));  // kept: not enlarged
    }
  // Shrinking to a single row and a single column, and to a few pixels.
  const TRasterImage wide = Pattern(300, 7, 5);
  ExpectStreamMatches(wide, Request("p.bmp", Longer(10)));
  ExpectStreamMatches(wide, Request("p.bmp", Longer(3)));
  const TRasterImage tall = Pattern(6, 250, 6);
  ExpectStreamMatches(tall, Request("p.bmp", Longer(12)));
}

TEST(StreamConversion, MatchesWholeConversionWhenSizesCrossTheVectorBlocks) {
  // Heights around the 16- and 32-row blocks, widths around the vector widths.
  for (int h : {15, 16, 17, 31, 33, 64, 65})
    for (int w : {7, 8, 9, 24, 65})
      ExpectStreamMatches(Pattern(w, h, static_cast<uint32_t>(h * 100 + w)),
                          Request("p.bmp", Longer(std::max(w, h) * 2 / 3)));
  TResizeSettings percent;
  SelectRule(percent, ResizeRule::Percent);
  percent.Percent = 260;
  percent.AllowEnlarge = true;
  ExpectStreamMatches(Pattern(40, 33, 9), Request("p.bmp", percent));
}

TEST(StreamConversion, MatchesWholeConversionForTheDecodersFormats) {
  // Baseline, progressive, restart markers, arithmetic coding, grayscale (the palette path),
  // CMYK and YCCK; and BMP files of every depth and both RLE forms.
  for (const char* name : {"baseline420.jpg", "progressive.jpg", "restart444.jpg", "arith.jpg",
                           "gray.jpg", "rgb.jpg", "cmyk_adobe.jpg", "cmyk_plain.jpg", "ycck.jpg"}) {
    const std::string path = kCorpus + "fuzz_jpeg/" + name;
    ExpectFileStreamMatches(path, Request(path, Longer(19)));
    ExpectFileStreamMatches(path, Request(path, PaddedFit(30, 17, 3), TSelection{2, 1, 12, 9}));
    TResizeSettings forced;
    forced.ResizeEnabled = false;
    forced.AlwaysRecompress = true;
    ExpectFileStreamMatches(path, Request(path, forced));
  }
  for (const char* name : {"bitfields16_v5.bmp", "bitfields32_v1.bmp", "core1.bmp", "pal8.bmp",
                           "rgb24.bmp", "rle4.bmp", "rle8.bmp", "top_down32_v4.bmp"}) {
    const std::string path = kCorpus + "fuzz_bmp/" + name;
    ExpectFileStreamMatches(path, Request(path, Longer(11)));
    TResizeSettings same;
    same.ResizeEnabled = false;  // a BMP is encoded even at its own size
    ExpectFileStreamMatches(path, Request(path, same));
  }
}

TEST(StreamConversion, MatchesWholeConversionForThePhotos) {
  for (const char* name :
       {"Kleiber_by_Lukas_Baubkus.jpg", "seeding_by_Clements_Engelhardt.jpg",
        "Path_by_Risto_Saukonpaa.jpg", "picosdeeuropa_by_Aitzol_Berasategi.jpg"}) {
    const std::string path = kPhotos + name;
    ExpectFileStreamMatches(path, Request(path, Longer(1024)));
  }
  const std::string path = kPhotos + "Path_by_Risto_Saukonpaa.jpg";
  ExpectFileStreamMatches(path,
                          Request(path, PaddedFit(800, 800, 8), TSelection{100, 50, 900, 400}));
  TResizeSettings enlarge = Longer(4000);
  enlarge.AllowEnlarge = true;
  ExpectFileStreamMatches(path, Request(path, enlarge, TSelection{0, 0, 300, 200}));
}

class StreamConversionFiles : public testing::TempFolderTest {};

TEST_F(StreamConversionFiles, DirectCopyIsTheSourceFile) {
  const std::string path = kCorpus + "fuzz_jpeg/progressive.jpg";
  TResizeSettings keep;
  keep.ResizeEnabled = false;
  auto source = OpenRowSource(path);
  const TConversion c = ConvertRows(*source, Request(path, keep));
  EXPECT_EQ(c.Kind, TOutputKind::DirectCopy);
  EXPECT_TRUE(c.Bytes == ReadWholeFile(path));
}

TEST_F(StreamConversionFiles, TruncatedJpegConvertsAsWhenDecodedWhole) {
  const std::string full = ReadWholeFile(kPhotos + "Path_by_Risto_Saukonpaa.jpg");
  const std::string path = (dir_ / "cut.jpg").string();
  WriteFileAtomically(path, full.substr(0, full.size() / 2));
  ExpectFileStreamMatches(path, Request(path, Longer(300)));
  ExpectFileStreamMatches(path, Request(path, Longer(300), TSelection{0, 0, 200, 100}));
}

TEST_F(StreamConversionFiles, BrokenFilesFailWithTheirMessage) {
  // A header that parses, then data the decoder refuses (a scan header naming no component); and
  // a crop that needs only the top rows still reads the whole file.
  std::string jpeg = ReadWholeFile(kCorpus + "fuzz_jpeg/baseline420.jpg");
  const size_t sos = jpeg.find("\xFF\xDA");
  ASSERT_NE(sos, std::string::npos);
  jpeg[sos + 4] = 0;  // components in scan: 0
  const std::string path = (dir_ / "broken.jpg").string();
  WriteFileAtomically(path, jpeg);
  std::string whole;
  try {
    LoadSourceImage(path);
  } catch (const std::exception& e) {
    whole = e.what();
  }
  ASSERT_FALSE(whole.empty());
  std::string streamed;
  bool failedInSource = false;
  try {
    auto source = OpenRowSource(path);
    TResizeSettings keep;
    keep.ResizeEnabled = false;
    try {
      ConvertRows(*source, Request(path, keep, TSelection{0, 0, 3, 3}));
    } catch (...) {
      failedInSource = source->Failed();
      throw;
    }
  } catch (const std::exception& e) {
    streamed = e.what();
    failedInSource = failedInSource || streamed == whole;
  }
  EXPECT_EQ(streamed, whole);
  EXPECT_TRUE(failedInSource);

  const std::string empty = (dir_ / "empty.jpg").string();
  WriteFileAtomically(empty, "");
  EXPECT_THROW(OpenRowSource(empty), EJPEG);
  const std::string bmp = (dir_ / "short.bmp").string();
  WriteFileAtomically(bmp, "BM");
  EXPECT_THROW(OpenRowSource(bmp), EPicaxoError);
}

// What the window (LoadSourceImage) and the command line (OpenRowSource) do with a source, in a
// child process that must finish within a minute and a few hundred megabytes.
std::string LoadInChild(const std::string& path, bool streamed) {
  return testing::RunInChild(
      [&] {
        if (streamed)
          OpenRowSource(path);
        else
          LoadSourceImage(path);
        return std::string("(loaded)");
      },
      60, size_t{256} << 20);
}

// A named pipe and a link to an endless device are refused at once instead of hanging or reading
// until memory runs out.
TEST_F(StreamConversionFiles, PipeAndEndlessDeviceAreRefusedAtLoad) {
  const std::string pipe = (dir_ / "a.jpg").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const std::string zero = (dir_ / "zero.bmp").string();
  fs::create_symlink("/dev/zero", zero);
  for (const bool streamed : {false, true}) {
    EXPECT_EQ(LoadInChild(pipe, streamed),
              "Cannot read \"" + pipe + "\": it is a named pipe, not a regular file");
    EXPECT_EQ(LoadInChild(zero, streamed),
              "Cannot read \"" + zero + "\": it is a device, not a regular file");
  }
}

// Files of a few hundred bytes claiming 22000 x 22000 pixels are refused as damaged before
// anything in proportion to the frame is allocated (they cost gigabytes before).
TEST_F(StreamConversionFiles, JpegBombsAreRefusedBeforeAllocating) {
  for (const auto& [shape, bytes] : testing::JpegBombs()) {
    SCOPED_TRACE(shape);
    ASSERT_LT(bytes.size(), 1000u);
    const std::string path = (dir_ / (shape + ".jpg")).string();
    WriteFileAtomically(path, bytes);
    for (const bool streamed : {false, true})
      EXPECT_EQ(LoadInChild(path, streamed),
                "The JPEG file is damaged: its header claims 22000 x 22000 pixels, far more than "
                "its " +
                    std::to_string(bytes.size()) + " bytes can hold");
  }
}

// The least data real pictures have: flat grey with optimised tables, sequential and progressive
// (about one bit per block), still load and convert.
TEST_F(StreamConversionFiles, FlatGreyPicturesInTheirSmallestFormsStillLoad) {
  for (const bool progressive : {false, true}) {
    testing::JpegRecipe recipe;
    recipe.width = recipe.height = 2048;
    recipe.flat = true;
    recipe.optimize = true;
    recipe.progressive = progressive;
    const std::string bytes = testing::MakeJpeg(recipe);
    const size_t blocks = 256 * 256 + 2 * 128 * 128;
    // About two bits per block: the bound (half a bit) is tested near its edge.
    if (progressive) {
      EXPECT_LT(bytes.size() * 8, 3 * blocks);
    }
    const std::string path = (dir_ / "flat.jpg").string();
    WriteFileAtomically(path, bytes);
    EXPECT_EQ(LoadSourceImage(path).Width(), 2048);
    auto source = OpenRowSource(path);
    const TConversion c = ConvertRows(*source, Request(path, Longer(100)));
    EXPECT_EQ(c.Kind, TOutputKind::Encoded);
    EXPECT_FALSE(c.SourceDamaged);
  }
}

}  // namespace
}  // namespace picaxo
