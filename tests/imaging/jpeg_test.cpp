#include "imaging/jpeg.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/file_util.h"
#include "imaging/bmp.h"
#include "imaging/color_profile.h"
#include "imaging/jpeg_markers.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

const std::string kPhotos = std::string(PICAXO_TESTDATA) + "/photos/";

// Encodes interleaved samples with libjpeg directly, so that the tests can make files the
// component itself never writes (grayscale, CMYK, YCCK, progressive).
struct EncodeOptions {
  J_COLOR_SPACE inSpace = JCS_RGB;
  int components = 3;
  J_COLOR_SPACE fileSpace = JCS_UNKNOWN;  // JCS_UNKNOWN: the library default for inSpace
  bool adobeMarker = true;
  bool progressive = false;
  int quality = 95;
};

std::string EncodeSamples(int width, int height, const std::vector<uint8_t>& samples,
                          const EncodeOptions& o) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = o.components;
  cinfo.in_color_space = o.inSpace;
  jpeg_set_defaults(&cinfo);
  if (o.fileSpace != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, o.fileSpace);
  cinfo.write_Adobe_marker = o.adobeMarker;
  jpeg_set_quality(&cinfo, o.quality, TRUE);
  if (o.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(samples.data()) +
                   static_cast<size_t>(cinfo.next_scanline) * width * o.components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string result(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return result;
}

// A smooth colour picture as a 24-bit raster.
TRasterImage Gradient(int width, int height) {
  TRasterImage image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.ScanLine(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
      p[2] = static_cast<uint8_t>(128 + (x - y) / 4);
    }
  return image;
}

std::string EncodeRaster(const TRasterImage& raster, int quality = 90) {
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.SetCompressionQuality(quality);
  jpeg.Compress();
  return jpeg.CompressedData();
}

double MeanAbsDifference(const TRasterImage& a, const TRasterImage& b) {
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < 3 * a.Width(); ++x)
      sum += std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
  return sum / (3.0 * a.Width() * a.Height());
}

// The marker codes of a JPEG file up to its first scan, plus EOI when the file ends with it.
std::vector<int> Markers(const std::string& file) {
  std::vector<int> markers;
  size_t i = 0;
  while (i + 1 < file.size()) {
    if (static_cast<uint8_t>(file[i]) != 0xFF) break;
    const int code = static_cast<uint8_t>(file[i + 1]);
    markers.push_back(code);
    if (code == 0xD8) {
      i += 2;
      continue;
    }
    const size_t length =
        (static_cast<uint8_t>(file[i + 2]) << 8) | static_cast<uint8_t>(file[i + 3]);
    if (code == 0xDA) break;
    i += 2 + length;
  }
  if (file.size() >= 2 && static_cast<uint8_t>(file[file.size() - 2]) == 0xFF &&
      static_cast<uint8_t>(file[file.size() - 1]) == 0xD9)
    markers.push_back(0xD9);
  return markers;
}

struct HeaderInfo {
  int components = 0;
  J_COLOR_SPACE space = JCS_UNKNOWN;
  bool progressive = false;
  bool jfif = false;
  int hSamp = 0, vSamp = 0;
  std::vector<std::vector<int>> quant;
};

HeaderInfo ReadHeader(const std::string& file) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.data()), file.size());
  jpeg_read_header(&cinfo, TRUE);
  HeaderInfo info;
  info.components = cinfo.num_components;
  info.space = cinfo.jpeg_color_space;
  info.progressive = cinfo.progressive_mode;
  info.jfif = cinfo.saw_JFIF_marker;
  info.hSamp = cinfo.comp_info[0].h_samp_factor;
  info.vSamp = cinfo.comp_info[0].v_samp_factor;
  for (int t = 0; t < NUM_QUANT_TBLS; ++t)
    if (cinfo.quant_tbl_ptrs[t])
      info.quant.emplace_back(cinfo.quant_tbl_ptrs[t]->quantval,
                              cinfo.quant_tbl_ptrs[t]->quantval + DCTSIZE2);
  jpeg_destroy_decompress(&cinfo);
  return info;
}

TEST(JPEGImage, DecodesABaselinePhotoExactlyAsTheReferenceDecoder) {
  // djpeg with the float IDCT (block smoothing and fancy upsampling are its defaults too) is the
  // black-box reference: the same pixels, blue-green-red, top row first.
  const std::string photo = kPhotos + "Path_by_Risto_Saukonpaa.jpg";
  const testing::TScratchFolder scratch;
  const std::string bmp = scratch / "reference.bmp";
  const std::string command = "djpeg -dct float -bmp -outfile '" + bmp + "' '" + photo + "'";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "djpeg is not available";
  const TRasterImage reference = ReadBitmapFile(bmp);

  TJPEGImage jpeg;
  jpeg.LoadFromFile(photo);
  EXPECT_EQ(jpeg.Width(), 2560);
  EXPECT_EQ(jpeg.Height(), 1600);
  EXPECT_FALSE(jpeg.ProgressiveEncoding());
  EXPECT_FALSE(jpeg.Grayscale());
  TRasterImage decoded;
  jpeg.DecodeTo(decoded);
  ASSERT_EQ(decoded.PixelFormat(), TPixelFormat::pf24bit);
  ASSERT_EQ(reference.PixelFormat(), TPixelFormat::pf24bit);
  ASSERT_EQ(decoded.Width(), reference.Width());
  ASSERT_EQ(decoded.Height(), reference.Height());
  for (int y = 0; y < decoded.Height(); ++y)
    ASSERT_EQ(0, std::memcmp(decoded.ScanLine(y), reference.ScanLine(y), 3 * 2560)) << "row " << y;
  EXPECT_EQ(jpeg.WarningCount(), 0);
}

TEST(JPEGImage, DecodesAProgressivePhotoInOnePass) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(kPhotos + "picosdeeuropa_by_Aitzol_Berasategi.jpg");
  EXPECT_TRUE(jpeg.ProgressiveEncoding());
  const TRasterImage image = jpeg.TakeRaster();
  EXPECT_EQ(image.Width(), 3264);
  EXPECT_EQ(image.Height(), 2448);
  EXPECT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(jpeg.WarningCount(), 0);
  // Not a flat fill: the last row holds picture content too.
  const uint8_t* last = image.ScanLine(image.Height() - 1);
  EXPECT_NE(std::count(last, last + 3 * image.Width(), last[0]), 3 * image.Width());
}

TEST(JPEGImage, GrayscaleFileBecomesAPaletteRasterOfAtMost236Levels) {
  const int w = 300, h = 40;
  std::vector<uint8_t> gray(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      gray[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x * 255 / (w - 1));
  EncodeOptions o;
  o.inSpace = JCS_GRAYSCALE;
  o.components = 1;
  o.quality = 100;
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(EncodeSamples(w, h, gray, o));
  EXPECT_TRUE(jpeg.Grayscale());
  TRasterImage image;
  jpeg.DecodeTo(image);
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf8bit);
  ASSERT_LE(image.Palette().size(), 236u);
  EXPECT_GE(image.Palette().size(), 200u);
  for (const TRGBQuad& c : image.Palette()) {
    EXPECT_EQ(c.red, c.green);
    EXPECT_EQ(c.green, c.blue);
  }
  EXPECT_EQ(image.Palette().front().red, 0);
  EXPECT_EQ(image.Palette().back().red, 255);
  // Dithered to 236 levels: every pixel within a few levels of the source ramp.
  TRasterImage wide = image;
  wide.SetPixelFormat(TPixelFormat::pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_NEAR(wide.ScanLine(y)[3 * x + 1], gray[static_cast<size_t>(y) * w + x], 4)
          << x << "," << y;

  // Re-encoded, the palette raster is a three-component YCbCr file.
  const HeaderInfo info = ReadHeader(EncodeRaster(image));
  EXPECT_EQ(info.components, 3);
  EXPECT_EQ(info.space, JCS_YCbCr);
}

// Flat 16x16 patches of ink values (C, M, Y, K), 0 = no ink.
struct Patch {
  uint8_t c, m, y, k;
  uint8_t r, g, b;
};
const Patch kPatches[] = {
    {0, 255, 255, 0, 255, 0, 0},    {255, 0, 255, 0, 0, 255, 0}, {255, 255, 0, 0, 0, 0, 255},
    {0, 0, 0, 0, 255, 255, 255},    {0, 0, 0, 255, 0, 0, 0},     {0, 0, 0, 128, 127, 127, 127},
    {64, 128, 0, 0, 191, 127, 255},
};

void ExpectPatches(const std::string& file) {
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(file);
  TRasterImage image;
  jpeg.DecodeTo(image);
  ASSERT_EQ(image.PixelFormat(), TPixelFormat::pf24bit);
  for (size_t i = 0; i < std::size(kPatches); ++i) {
    const uint8_t* p = image.ScanLine(8) + 3 * (16 * i + 8);
    EXPECT_NEAR(p[2], kPatches[i].r, 4) << "patch " << i;
    EXPECT_NEAR(p[1], kPatches[i].g, 4) << "patch " << i;
    EXPECT_NEAR(p[0], kPatches[i].b, 4) << "patch " << i;
  }
}

std::vector<uint8_t> PatchSamples(bool inverted) {
  std::vector<uint8_t> cmyk;
  for (int y = 0; y < 16; ++y)
    for (const Patch& p : kPatches)
      for (int x = 0; x < 16; ++x)
        for (uint8_t v : {p.c, p.m, p.y, p.k})
          cmyk.push_back(inverted ? 255 - v : v);
  return cmyk;
}

TEST(JPEGImage, CmykAndYcckFilesConvertToRgb) {
  const int w = 16 * static_cast<int>(std::size(kPatches));
  EncodeOptions o;
  o.inSpace = JCS_CMYK;
  o.components = 4;
  o.quality = 100;
  // Plain CMYK without an Adobe marker: the values are ink amounts.
  o.adobeMarker = false;
  ExpectPatches(EncodeSamples(w, 16, PatchSamples(false), o));
  // Adobe CMYK stores the inks inverted.
  o.adobeMarker = true;
  ExpectPatches(EncodeSamples(w, 16, PatchSamples(true), o));
  // YCCK (always with the Adobe marker), inverted like Adobe CMYK.
  o.fileSpace = JCS_YCCK;
  const std::string ycck = EncodeSamples(w, 16, PatchSamples(true), o);
  EXPECT_EQ(ReadHeader(ycck).space, JCS_YCCK);
  ExpectPatches(ycck);
}

TEST(JPEGImage, TruncatedFileDecodesWithAWarning) {
  const std::string full = EncodeRaster(Gradient(256, 256));
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(full.substr(0, full.size() / 2));
  TRasterImage image;
  ASSERT_NO_THROW(jpeg.DecodeTo(image));
  EXPECT_EQ(image.Width(), 256);
  EXPECT_EQ(image.Height(), 256);
  EXPECT_GE(jpeg.WarningCount(), 1);
}

TEST(JPEGImage, EmptyInputFailsWithTheEmptyInputCode) {
  // The code as it always was, then the library's own reason, so the user learns something.
  const std::string expected =
      "JPEG error #" + std::to_string(JERR_INPUT_EMPTY) + ": Empty input file";
  TJPEGImage jpeg;
  jpeg.LoadFromBytes("");  // nothing to parse yet
  EXPECT_EQ(jpeg.Width(), 0);
  TRasterImage image;
  try {
    jpeg.DecodeTo(image);
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.what(), expected);
    EXPECT_EQ(e.Code(), JERR_INPUT_EMPTY);
  }

  const testing::TScratchFolder scratch;
  const std::string path = scratch / "empty.jpg";
  std::ofstream(path).close();
  TJPEGImage fromFile;
  fromFile.LoadFromFile(path);
  EXPECT_THROW(fromFile.DecodeTo(image), EJPEG);
}

TEST(JPEGImage, NonJpegDataAndBrokenHeadersFailWithLibraryCodes) {
  TJPEGImage jpeg;
  try {
    jpeg.LoadFromBytes("BM not a jpeg at all");
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Code(), JERR_NO_SOI);
    EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(JERR_NO_SOI) +
                                         ": Not a JPEG file: starts with 0x42 0x4d");
  }
  // Every prefix of a small file either loads (decoding with warnings) or fails with EJPEG.
  const std::string full = EncodeRaster(Gradient(20, 12));
  for (size_t n = 1; n < full.size(); ++n) {
    TJPEGImage part;
    try {
      part.LoadFromBytes(full.substr(0, n));
      TRasterImage image;
      part.DecodeTo(image);
      EXPECT_EQ(image.Width(), 20);
    } catch (const EJPEG&) {
    }
  }
  EXPECT_THROW(jpeg.LoadFromFile("/nonexistent/picture.jpg"), EPicaxoError);
}

TEST(JPEGImage, QualityMapsToTheStandardTables) {
  const TRasterImage image = Gradient(32, 32);
  for (const auto& table : ReadHeader(EncodeRaster(image, 100)).quant)
    for (int q : table)
      ASSERT_EQ(q, 1);
  for (const auto& table : ReadHeader(EncodeRaster(image, 1)).quant)
    for (int q : table)
      ASSERT_EQ(q, 255);
  TJPEGImage jpeg;
  EXPECT_EQ(jpeg.CompressionQuality(), 90);
  jpeg.SetCompressionQuality(0);
  EXPECT_EQ(jpeg.CompressionQuality(), 1);
  jpeg.SetCompressionQuality(101);
  EXPECT_EQ(jpeg.CompressionQuality(), 100);
}

TEST(JPEGImage, ReencodedPhotoIsBaselineJfifWithoutTheSourceMarkers) {
  const std::string source = ReadWholeFile(kPhotos + "Path_by_Risto_Saukonpaa.jpg");
  const std::vector<int> sourceMarkers = Markers(source);
  ASSERT_NE(std::find(sourceMarkers.begin(), sourceMarkers.end(), 0xE1), sourceMarkers.end());
  ASSERT_NE(std::find(sourceMarkers.begin(), sourceMarkers.end(), 0xE2), sourceMarkers.end());
  ASSERT_NE(std::find(sourceMarkers.begin(), sourceMarkers.end(), 0xFE), sourceMarkers.end());

  TJPEGImage in;
  in.LoadFromBytes(source);
  TRasterImage raster;
  in.DecodeTo(raster);
  TJPEGImage out;
  out.Assign(raster);
  out.SetCompressionQuality(85);
  std::ostringstream stream;
  out.SaveToStream(stream);
  const std::string encoded = stream.str();
  EXPECT_EQ(encoded, out.CompressedData());
  // SOI, JFIF APP0, two DQT, SOF0 (baseline), four DHT, SOS ... EOI.
  const std::vector<int> expected = {0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4,
                                     0xC4, 0xC4, 0xC4, 0xDA, 0xD9};
  EXPECT_EQ(Markers(encoded), expected);
  const HeaderInfo info = ReadHeader(encoded);
  EXPECT_TRUE(info.jfif);
  EXPECT_FALSE(info.progressive);
  EXPECT_EQ(info.space, JCS_YCbCr);
  EXPECT_EQ(info.hSamp, 2);  // the library's default 4:2:0
  EXPECT_EQ(info.vSamp, 2);
  EXPECT_EQ(out.Width(), 2560);
  EXPECT_EQ(out.Height(), 1600);
}

TEST(JPEGImage, PreviewRoundTripKeepsSizeColoursAndByteCount) {
  const TRasterImage final = Gradient(203, 117);  // odd sizes: partial MCUs, padded rows
  TJPEGImage encoder;
  encoder.Assign(final);
  EXPECT_TRUE(encoder.CompressedData().empty());
  encoder.SetCompressionQuality(85);
  std::stringstream memory;
  memory << "xx";  // the stream's current position is where the file starts
  encoder.SaveToStream(memory);
  const std::string first = encoder.CompressedData();
  encoder.SetCompressionQuality(10);
  encoder.Compress();  // compressed data exists: no second encode
  EXPECT_EQ(encoder.CompressedData(), first);

  memory.seekg(2);
  TJPEGImage preview;
  preview.LoadFromStream(memory);
  EXPECT_EQ(preview.CompressedData().size(), first.size());
  EXPECT_EQ(preview.Width(), 203);
  EXPECT_EQ(preview.Height(), 117);
  TRasterImage shown;
  preview.DecodeTo(shown);
  EXPECT_LT(MeanAbsDifference(final, shown), 2.0);
  // Colours keep their channels: the blue ramp runs along x.
  EXPECT_LT(shown.ScanLine(50)[0], 20);
  EXPECT_GT(shown.ScanLine(50)[3 * 202], 235);
}

TEST(JPEGImage, EncodesPaletteRastersAndNothingForEmptyOnes) {
  TRasterImage palette(40, 24, TPixelFormat::pf8bit);
  palette.Palette() = {{0, 0, 255, 0}, {255, 0, 0, 0}};
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 40; ++x)
      palette.ScanLine(y)[x] = x < 20 ? 0 : 1;
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(EncodeRaster(palette, 95));
  TRasterImage decoded;
  jpeg.DecodeTo(decoded);
  EXPECT_GT(decoded.ScanLine(10)[3 * 5 + 2], 240);   // red on the left
  EXPECT_GT(decoded.ScanLine(10)[3 * 35 + 0], 240);  // blue on the right

  TJPEGImage empty;
  EXPECT_NO_THROW(empty.Compress());
  EXPECT_TRUE(empty.CompressedData().empty());
  empty.Assign(TRasterImage(0, 5));
  EXPECT_NO_THROW(empty.Compress());
  EXPECT_TRUE(empty.CompressedData().empty());
}

TEST(JPEGImage, SizeCannotBeSetAndFollowsTheLatestRepresentation) {
  TJPEGImage jpeg;
  try {
    jpeg.SetWidth(10);
    FAIL();
  } catch (const EJPEG& e) {
    EXPECT_STREQ(e.what(), "Cannot change the size of a JPEG image");
  }
  EXPECT_THROW(jpeg.SetHeight(10), EJPEG);
  jpeg.LoadFromBytes(EncodeRaster(Gradient(30, 20)));
  EXPECT_EQ(jpeg.Width(), 30);
  jpeg.Assign(Gradient(7, 9));
  EXPECT_TRUE(jpeg.CompressedData().empty());
  EXPECT_EQ(jpeg.Width(), 7);
  EXPECT_EQ(jpeg.Height(), 9);
}

// Rewrites the frame size in the SOF0 header of a file made by the component.
std::string WithFrameSize(std::string file, int width, int height) {
  const size_t sof = file.find("\xFF\xC0", 2);
  file[sof + 5] = static_cast<char>(height >> 8);
  file[sof + 6] = static_cast<char>(height & 0xFF);
  file[sof + 7] = static_cast<char>(width >> 8);
  file[sof + 8] = static_cast<char>(width & 0xFF);
  return file;
}

TEST(JPEGImage, FramesAboveThePixelLimitAreRefusedBeforeAllocation) {
  const std::string huge = WithFrameSize(EncodeRaster(Gradient(16, 16)), 65000, 65000);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(huge);
  EXPECT_EQ(jpeg.Width(), 65000);
  TRasterImage image;
  try {
    jpeg.DecodeTo(image);
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
  TJPEGImage limited;
  limited.SetMaxPixels(1000);
  limited.LoadFromBytes(EncodeRaster(Gradient(40, 30)));
  EXPECT_THROW(limited.DecodeTo(image), EJPEG);
  limited.SetMaxPixels(1200);
  EXPECT_NO_THROW(limited.DecodeTo(image));
}

TEST(JPEGImage, ProgressiveFileWithThousandsOfScansIsRefused) {
  std::vector<uint8_t> rgb(16 * 16 * 3, 100);
  EncodeOptions o;
  o.progressive = true;
  const std::string file = EncodeSamples(16, 16, rgb, o);
  const std::string many = testing::RepeatLastScan(file, 600);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(many);
  TRasterImage image;
  try {
    jpeg.DecodeTo(image);
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_NE(std::string(e.what()).find("too many scans"), std::string::npos) << e.what();
  }
  // A file just under the cap still decodes.
  const std::string fewer = testing::RepeatLastScan(file, 100);
  TJPEGImage ok;
  ok.LoadFromBytes(fewer);
  EXPECT_NO_THROW(ok.DecodeTo(image));
}

}  // namespace
}  // namespace picaxo

namespace picaxo {
namespace {

// A CMYK profile whose inks print with red and blue exchanged: (1 - Y)(1 - K) is red and
// (1 - C)(1 - K) blue, so colours that went through it are told from the plain conversion.
std::string SwappedInkProfile() {
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM toLab =
      cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
  cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(profile, 2.1);
  cmsSetDeviceClass(profile, cmsSigOutputClass);
  cmsSetColorSpace(profile, cmsSigCmykData);
  cmsSetPCS(profile, cmsSigLabData);
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
  cmsStageSampleCLut16bit(
      clut,
      [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
        const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0,
                     k = in[3] / 65535.0;
        const double rgb[3] = {(1 - y) * (1 - k), (1 - m) * (1 - k), (1 - c) * (1 - k)};
        cmsCIELab value;
        cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), rgb, &value, 1);
        cmsFloat2LabEncoded(out, &value);
        return TRUE;
      },
      toLab, 0);
  cmsPipelineInsertStage(lut, cmsAT_BEGIN, clut);
  cmsWriteTag(profile, cmsSigAToB0Tag, lut);
  cmsPipelineFree(lut);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string data(size, '\0');
  cmsSaveProfileToMem(profile, data.data(), &size);
  cmsCloseProfile(profile);
  cmsDeleteTransform(toLab);
  cmsCloseProfile(srgb);
  cmsCloseProfile(lab);
  return data;
}

TEST(JPEGImage, CmykFilesWithAProfileConvertThroughIt) {
  const std::string profile = SwappedInkProfile();
  const int w = 16 * static_cast<int>(std::size(kPatches));
  EncodeOptions o;
  o.inSpace = JCS_CMYK;
  o.components = 4;
  o.quality = 100;
  for (bool adobe : {false, true}) {
    o.adobeMarker = adobe;
    const std::string file = InsertSegmentsAfterApp0(EncodeSamples(w, 16, PatchSamples(adobe), o),
                                                     IccProfileSegments(profile));
    std::string warning;
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(file);
    const auto transform = SourceColorTransform(file, TColorProfilePolicy::Convert, &warning);
    ASSERT_NE(transform, nullptr);
    jpeg.SetColorTransform(transform);
    EXPECT_TRUE(warning.empty()) << warning;
    const TRasterImage image = jpeg.TakeRaster();
    // Perceptual rendering with black point compensation moves pure inks a little: within 20
    // levels, against the 255 of the exchanged channels.
    for (size_t i = 0; i < std::size(kPatches); ++i) {
      const uint8_t* p = image.ScanLine(8) + 3 * (16 * i + 8);
      EXPECT_NEAR(p[2], kPatches[i].b, 20) << "patch " << i << (adobe ? " adobe" : "");
      EXPECT_NEAR(p[1], kPatches[i].g, 20) << "patch " << i << (adobe ? " adobe" : "");
      EXPECT_NEAR(p[0], kPatches[i].r, 20) << "patch " << i << (adobe ? " adobe" : "");
    }
  }
}

}  // namespace
}  // namespace picaxo
