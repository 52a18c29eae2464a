#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <zlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "imaging/exif_orientation.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "imaging/source_decoders.h"
#include "support/adobe_rgb.h"
#include "support/exif_test_util.h"
#include "support/picture_files.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

using testing::ReadPnm;
using testing::Shell;
using testing::TPnm;
using testing::WritePam;

constexpr uint32_t kBackground = 0x4080C0;  // 0x00BBGGRR

// The 24-bit picture a reference tool's output stands for: samples scaled to 8 bits with
// rounding, the alpha (channel alphaAt of alpha, when given) over kBackground.
TRasterImage Reference(const TPnm& color, const TPnm* alpha = nullptr, int alphaAt = 0) {
  TRasterImage r(color.Width, color.Height);
  const auto to8 = [](uint32_t v, uint32_t top) { return std::lround(v * 255.0 / top); };
  const long back[3] = {kBackground & 0xFF, kBackground >> 8 & 0xFF, kBackground >> 16 & 0xFF};
  for (int y = 0; y < color.Height; ++y)
    for (int x = 0; x < color.Width; ++x) {
      const long a = alpha ? to8(alpha->At(x, y, alphaAt), alpha->MaxVal) : 255;
      for (int c = 0; c < 3; ++c) {
        const long v = to8(color.At(x, y, color.Depth >= 3 ? c : 0), color.MaxVal);
        r.ScanLine(y)[3 * x + 2 - c] =
            static_cast<uint8_t>(std::lround((v * a + back[c] * (255 - a)) / 255.0));
      }
    }
  return r;
}

int MaxDifference(const TRasterImage& a, const TRasterImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1000;
  int most = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < 3 * a.Width(); ++i)
      most = std::max(most, std::abs(a.ScanLine(y)[i] - b.ScanLine(y)[i]));
  return most;
}

TRasterImage Load(const std::string& path, bool autoOrient = true,
                  TColorProfilePolicy color = TColorProfilePolicy::Convert) {
  TSourceOptions options;
  options.Background = kBackground;
  options.AutoOrient = autoOrient;
  options.Color = color;
  return LoadSource(path, options).Picture;
}

class SourceFormatsTest : public testing::TempFolderTest {
 protected:
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(SourceFormatsTest, PngDecodesToThePixelsOfPngtopnm) {
  // 8-bit RGBA interlaced, 16-bit grey with alpha, and a palette with one transparent entry.
  WritePam(P("rgba.pam"), 37, 23, 4, 255);
  Shell("pamtopng -interlace " + P("rgba.pam") + " > " + P("rgba.png"));
  WritePam(P("ga16.pam"), 31, 17, 2, 65535);
  Shell("pamtopng " + P("ga16.pam") + " > " + P("ga16.PNG"));
  Shell("pamchannel -tupletype RGB -infile " + P("rgba.pam") + " 0 1 2 | pamtopnm | pnmquant 5 | " +
        "pnmtopng -transparent rgb:00/00/00 > " + P("pal.png"));
  for (const char* name : {"rgba.png", "ga16.PNG", "pal.png"}) {
    SCOPED_TRACE(name);
    Shell("pngtopnm " + P(name) + " > " + P("color.pnm"));
    // A palette's alpha comes as a bitmap when it is all or nothing.
    Shell("pngtopnm -alpha " + P(name) + " | pamdepth 65535 > " + P("alpha.pnm"));
    const TPnm alpha = ReadPnm(P("alpha.pnm"));
    EXPECT_EQ(MaxDifference(Load(P(name)), Reference(ReadPnm(P("color.pnm")), &alpha)), 0);
  }
}

TEST_F(SourceFormatsTest, WebPDecodesToThePixelsOfDwebp) {
  WritePam(P("rgba.pam"), 37, 23, 4, 255);
  Shell("pamtopng " + P("rgba.pam") + " > " + P("rgba.png"));
  Shell("cwebp -lossless -exact " + P("rgba.png") + " -o " + P("lossless.webp"));
  Shell("dwebp " + P("lossless.webp") + " -pam -o " + P("lossless.pam"));
  const TPnm lossless = ReadPnm(P("lossless.pam"));
  EXPECT_EQ(MaxDifference(Load(P("lossless.webp")), Reference(lossless, &lossless, 3)), 0);

  WritePam(P("rgb.pam"), 40, 30, 3, 255);
  Shell("pamtopng " + P("rgb.pam") + " > " + P("rgb.png"));
  Shell("cwebp -q 70 " + P("rgb.png") + " -o " + P("lossy.WebP"));
  Shell("dwebp " + P("lossy.WebP") + " -ppm -o " + P("lossy.ppm"));
  EXPECT_EQ(MaxDifference(Load(P("lossy.WebP")), Reference(ReadPnm(P("lossy.ppm")))), 0);
}

TEST_F(SourceFormatsTest, HeifAndAvifDecodeToThePixelsOfHeifConvert) {
  WritePam(P("rgb.pam"), 40, 24, 3, 255);
  Shell("pamtopng " + P("rgb.pam") + " > " + P("rgb.png"));
  WritePam(P("rgba.pam"), 40, 24, 4, 255);
  Shell("pamtopng " + P("rgba.pam") + " > " + P("rgba.png"));
  WritePam(P("rgb16.pam"), 40, 24, 3, 65535);
  Shell("pamtopng " + P("rgb16.pam") + " > " + P("rgb16.png"));
  Shell("heif-enc -q 60 " + P("rgb.png") + " -o " + P("photo.heic"));
  Shell("heif-enc -A -q 60 " + P("rgba.png") + " -o " + P("alpha.avif"));
  Shell("heif-enc -b 10 -q 60 " + P("rgb16.png") + " -o " + P("deep.heif"));
  struct TCase {
    const char* name;
    bool alpha;
    int tolerance;  // 10-bit samples come back from the tool widened to 16 bits
  };
  for (const TCase& c : {TCase{"photo.heic", false, 0}, TCase{"alpha.avif", true, 0},
                         TCase{"deep.heif", false, 1}}) {
    SCOPED_TRACE(c.name);
    Shell("heif-convert " + P(c.name) + " " + P("out.png"));
    Shell("pngtopnm " + P("out.png") + " > " + P("color.pnm"));
    TPnm alpha;
    if (c.alpha) {
      Shell("pngtopnm -alpha " + P("out.png") + " > " + P("alpha.pnm"));
      alpha = ReadPnm(P("alpha.pnm"));
    }
    EXPECT_LE(MaxDifference(Load(P(c.name)),
                            Reference(ReadPnm(P("color.pnm")), c.alpha ? &alpha : nullptr)),
              c.tolerance);
  }
}

// Writes a TIFF with libtiff from the samples of pnm: bits 8 or 16, strips or 16 x 16 tiles,
// an unassociated alpha when pnm has one, and the orientation tag.
void WriteTiff(const std::string& path, const TPnm& pnm, int bits, bool tiled, int orientation) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, pnm.Width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, pnm.Height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, pnm.Depth);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, pnm.Depth >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
  if (pnm.Depth == 2 || pnm.Depth == 4) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  const size_t rowSamples = static_cast<size_t>(pnm.Width) * pnm.Depth;
  std::vector<uint8_t> bytes;
  for (uint32_t v : pnm.Samples) {
    if (bits == 16) {
      const uint16_t s = static_cast<uint16_t>(v);
      bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&s),
                   reinterpret_cast<const uint8_t*>(&s) + 2);
    } else {
      bytes.push_back(static_cast<uint8_t>(v));
    }
  }
  const size_t rowBytes = rowSamples * (bits / 8);
  if (tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    const size_t pixelBytes = static_cast<size_t>(pnm.Depth) * (bits / 8);
    std::vector<uint8_t> tile(16 * 16 * pixelBytes);
    for (int ty = 0; ty < pnm.Height; ty += 16)
      for (int tx = 0; tx < pnm.Width; tx += 16) {
        std::fill(tile.begin(), tile.end(), 0);
        for (int y = ty; y < std::min(ty + 16, pnm.Height); ++y)
          for (int x = tx; x < std::min(tx + 16, pnm.Width); ++x)
            std::copy_n(bytes.data() + y * rowBytes + x * pixelBytes, pixelBytes,
                        tile.data() + ((y - ty) * 16 + (x - tx)) * pixelBytes);
        ASSERT_GE(TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0), 0);
      }
  } else {
    for (int y = 0; y < pnm.Height; ++y)
      ASSERT_EQ(TIFFWriteScanline(tif, bytes.data() + y * rowBytes, y, 0), 1);
  }
  TIFFClose(tif);
}

TEST_F(SourceFormatsTest, TiffDecodesTheSamplesItHolds) {
  const TPnm rgba16 = WritePam(P("rgba16.pam"), 33, 21, 4, 65535);
  WriteTiff(P("rgba16.tif"), rgba16, 16, false, 1);
  EXPECT_EQ(MaxDifference(Load(P("rgba16.tif")), Reference(rgba16, &rgba16, 3)), 0);
  const TPnm grey = WritePam(P("grey.pam"), 35, 19, 1, 255);
  WriteTiff(P("grey.TIFF"), grey, 8, false, 1);
  EXPECT_EQ(MaxDifference(Load(P("grey.TIFF")), Reference(grey)), 0);
  // Tiles take libtiff's own reader; the orientation tag turns the picture (unless told not to).
  const TPnm rgb = WritePam(P("rgb.pam"), 37, 20, 3, 255);
  WriteTiff(P("tiled.tif"), rgb, 8, true, 6);
  EXPECT_EQ(MaxDifference(Load(P("tiled.tif")), testing::TurnByTable(Reference(rgb), 6)), 0);
  EXPECT_EQ(MaxDifference(Load(P("tiled.tif"), false), Reference(rgb)), 0);
  EXPECT_EQ(ReadPictureSize(P("tiled.tif"), EImageFormat::Tiff).Width, 37);
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// A PNG file with a chunk added after IHDR.
std::string WithChunk(const std::string& png, const std::string& type, const std::string& data) {
  const std::string body = type + data;
  return png.substr(0, 33) + Be32(static_cast<uint32_t>(data.size())) + body + Be32(Crc(body)) +
         png.substr(33);
}

TEST_F(SourceFormatsTest, ExifOrientationAndColourProfileApplyAsToAJpeg) {
  const TPnm rgb = WritePam(P("rgb.pam"), 23, 11, 3, 255);
  Shell("pamtopng " + P("rgb.pam") + " > " + P("plain.png"));
  const std::string png = ReadWholeFile(P("plain.png"));
  const std::string exif = testing::ExifTiff({6, true, {}});
  WriteFileAtomically(P("turned.png"), WithChunk(png, "eXIf", exif));
  EXPECT_EQ(MaxDifference(Load(P("turned.png")), testing::TurnByTable(Reference(rgb), 6)), 0);
  EXPECT_EQ(MaxDifference(Load(P("turned.png"), false), Reference(rgb)), 0);

  // The same EXIF block in a WebP file.
  std::ofstream(P("exif.bin"), std::ios::binary) << exif;
  Shell("cwebp -lossless -exact " + P("plain.png") + " -o " + P("plain.webp"));
  Shell("webpmux -set exif " + P("exif.bin") + " " + P("plain.webp") + " -o " + P("turned.webp"));
  EXPECT_EQ(MaxDifference(Load(P("turned.webp")), testing::TurnByTable(Reference(rgb), 6)), 0);

  // An Adobe RGB profile: converted to sRGB by default, kept as stored under Ignore.
  const std::string profile = testing::AdobeRgbProfileBytes();
  std::string packed(compressBound(static_cast<uLong>(profile.size())), '\0');
  uLongf packedSize = static_cast<uLongf>(packed.size());
  ASSERT_EQ(
      compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
               reinterpret_cast<const Bytef*>(profile.data()), static_cast<uLong>(profile.size())),
      Z_OK);
  packed.resize(packedSize);
  WriteFileAtomically(P("adobe.png"),
                      WithChunk(png, "iCCP", std::string("Adobe", 6) + '\0' + packed));
  EXPECT_EQ(MaxDifference(Load(P("adobe.png"), true, TColorProfilePolicy::Ignore), Reference(rgb)),
            0);
  EXPECT_GT(MaxDifference(Load(P("adobe.png")), Reference(rgb)), 10);
}

TEST_F(SourceFormatsTest, BadFilesAreRefusedWithOneLineBeforeAllocating) {
  WritePam(P("rgb.pam"), 40, 24, 3, 255);
  Shell("pamtopng " + P("rgb.pam") + " > " + P("a.png"));
  Shell("cwebp -q 80 " + P("a.png") + " -o " + P("a.webp"));
  Shell("heif-enc -q 50 " + P("a.png") + " -o " + P("a.heic"));
  Shell("heif-enc -A -q 50 " + P("a.png") + " -o " + P("a.avif"));
  WriteTiff(P("a.tif"), ReadPnm(P("rgb.pam")), 8, false, 1);
  const std::pair<const char*, EImageFormat> files[] = {{"a.png", EImageFormat::Png},
                                                        {"a.webp", EImageFormat::WebP},
                                                        {"a.heic", EImageFormat::Heif},
                                                        {"a.avif", EImageFormat::Avif},
                                                        {"a.tif", EImageFormat::Tiff}};
  for (const auto& [name, format] : files) {
    SCOPED_TRACE(name);
    const std::string file = ReadWholeFile(P(name));
    // The header alone decides: the sizes read without decoding are the decoded ones.
    const TPictureSize size = ReadPictureSize(P(name), format);
    EXPECT_EQ(size.Width, 40);
    EXPECT_EQ(size.Height, 24);
    EXPECT_THROW(LoadSourceBytes(file, format, {}, 40 * 24 - 1), ERasterTooLarge);
    EXPECT_EQ(LoadSourceBytes(file, format, {}, 40 * 24).Picture.Width(), 40);
    for (const size_t keep : {file.size() / 2, size_t{30}, size_t{0}}) {
      try {
        LoadSourceBytes(std::string_view(file).substr(0, keep), format, {}, kMaxRasterPixels);
        ADD_FAILURE() << "a truncated file of " << keep << " bytes decoded";
      } catch (const EPicaxoError& e) {
        const std::string message = e.what();
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
      }
    }
  }
  // A named pipe under a picture's name is refused, not waited on.
  ASSERT_EQ(::mkfifo(P("pipe.png").c_str(), 0600), 0);
  EXPECT_THROW(ReadPictureSize(P("pipe.png"), EImageFormat::Png), EPicaxoError);
  EXPECT_THROW(LoadSourceImage(P("pipe.png")), EPicaxoError);
}

}  // namespace
}  // namespace picaxo
