#pragma once
// Readers of the source formats beyond JPEG and BMP: PNG (libpng), WebP (libwebp), HEIF and AVIF
// (libheif) and TIFF (libtiff). Each turns a whole file held in memory into a 24-bit raster:
// 16-bit samples are reduced to 8 with rounding, grey and palette pictures are widened, and an
// alpha channel is composited over a background colour (the padding colour), since the output
// has none. The picture is the stored one: the EXIF orientation and the colour profile the file
// carries are handed back for the caller to apply, except for HEIF's rotation and mirror, which
// are part of the picture and always applied.
//
// The size the header states is checked against maxPixels before any pixel buffer is allocated.
// A damaged file throws ESourceFormatError with the library's reason on one line.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/error.h"
#include "imaging/geometry.h"
#include "imaging/image_format.h"
#include "imaging/output_codec.h"
#include "imaging/raster.h"

namespace picaxo {

class ESourceFormatError : public EPicaxoError {
 public:
  using EPicaxoError::EPicaxoError;
};

struct TDecodedPicture {
  TRasterImage Picture;  // 24-bit, as stored (HEIF: transformed)
  // The EXIF block as a TIFF structure ("II*\0..." or "MM\0*..."), empty when there is none.
  std::string Exif;
  // The orientation a TIFF file's own tag states (1 ... 8, as EXIF numbers them); 0 for the
  // other formats, whose EXIF block says it.
  int Orientation = 0;
  std::string Icc;  // the embedded ICC profile, empty when there is none
  bool Gray = false;
  bool HadAlpha = false;
};

// The readers of each format. background is 0x00BBGGRR.
TDecodedPicture DecodePng(std::string_view file, uint32_t background, int64_t maxPixels);
TDecodedPicture DecodeWebP(std::string_view file, uint32_t background, int64_t maxPixels);
// HEIC, HEIF and AVIF: the primary image.
TDecodedPicture DecodeHeif(std::string_view file, uint32_t background, int64_t maxPixels);
// The first image of the file.
TDecodedPicture DecodeTiff(std::string_view file, uint32_t background, int64_t maxPixels);

// A PNG read row by row, so that a conversion never holds the whole picture (an interlaced one is
// gathered whole at the first row, since its passes run over all rows). The rows are those
// DecodePng gives. Throws as DecodePng does.
class TPngRows {
 public:
  // Over a file in memory, which must outlive the reader.
  TPngRows(std::string_view file, uint32_t background, int64_t maxPixels);
  // Over the file at path, read in blocks as the rows need it (regular files only, as
  // ReadWholeFile); throws EPicaxoError when it cannot be read.
  TPngRows(const std::string& path, uint32_t background, int64_t maxPixels);
  ~TPngRows();
  TPngRows(const TPngRows&) = delete;
  TPngRows& operator=(const TPngRows&) = delete;
  int Width() const;
  int Height() const;
  int NextRow() const;
  // The file's EXIF, profile and kinds of pixels (no picture).
  TDecodedPicture& Info() { return info_; }
  // The next row, 3 x Width() bytes of blue-green-red.
  void ReadRow(uint8_t* bgr);
  // Reads the rows not yet read and the rest of the file.
  void Finish();

 private:
  void Open(uint32_t background, int64_t maxPixels);
  struct TState;
  std::unique_ptr<TState> state_;
  TDecodedPicture info_;
};

// The reader of format (not JPEG or BMP). Throws ESourceFormatError for those.
TDecodedPicture DecodeSourceFormat(EImageFormat format, std::string_view file, uint32_t background,
                                   int64_t maxPixels);

// What a file of format (not JPEG or BMP) carries besides its pixels, read without decoding them:
// the ICC profile (for HEIF and AVIF without one, a profile made from the colour description of
// the colr box when it is not sRGB), the EXIF block as a TIFF structure and the XMP packet. A PNG's
// chunks after the picture data are not read. Parts that cannot be read are left out; a file
// whose header is unreadable gives nothing.
TOutputExtras ReadFormatExtras(EImageFormat format, std::string_view file);
TOutputExtras PngExtras(std::string_view file);
TOutputExtras WebPExtras(std::string_view file);
TOutputExtras HeifExtras(std::string_view file);
TOutputExtras TiffExtras(std::string_view file);

// The size of the picture in the file at path as its header states it (for HEIF after the
// rotation), reading only the header: a few kilobytes for PNG, WebP and JPEG, the boxes before the
// pixel data for HEIF, the first directory for TIFF. Regular files only (as ReadWholeFile).
// Throws EPicaxoError when the file cannot be read, ESourceFormatError when the header is bad.
TPictureSize ReadPictureSize(const std::string& path, EImageFormat format);

// A library's message as one line: line breaks become spaces, the ends are trimmed.
std::string OneLine(std::string_view text);

// A 16-bit sample reduced to 8 bits with rounding (v / 257, to the nearest).
inline uint8_t Reduce16(uint32_t v) {
  return static_cast<uint8_t>((v * 255u + 32767u) / 65535u);
}
// A colour channel c of opacity a (0 ... 255) over the background channel b, rounded.
inline uint8_t OverBackground(uint32_t c, uint32_t a, uint32_t b) {
  return static_cast<uint8_t>((c * a + b * (255u - a) + 127u) / 255u);
}

}  // namespace picaxo
