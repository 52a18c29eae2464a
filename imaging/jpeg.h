#pragma once
// TJPEGImage: the one JPEG codec component of the program, a thin object over libjpeg with a
// fixed configuration. It holds two representations of one image, the compressed bytes and a
// decoded raster; whichever was set last is authoritative and the other is made on demand.
//
//   Display of a JPEG source: LoadFromFile(path), DecodeTo(raster).
//   Save or preview:          Assign(raster), SetCompressionQuality(q), Compress(),
//                             SaveToStream(out) or CompressedData().
//   Preview display:          LoadFromBytes(encoded), DecodeTo(viewRaster), Width(), Height().
//
// Decoding: full size, floating-point inverse DCT, block smoothing, 24-bit blue-green-red rows
// written straight into the raster. Grayscale files decode to an 8-bit palette raster of at most
// 236 gray levels; CMYK and YCCK files are converted to RGB. Encoding: library defaults, float
// DCT, jpeg_set_quality(q, baseline), i.e. a baseline JFIF file with no marker of the source.
//
// Library warnings (corrupt entropy data, premature end of file, ...) are counted, never shown and
// never fatal: a truncated file decodes, the missing rows filled by the library's recovery.
// Fatal library errors throw EJPEG "JPEG error #<code>: <reason>" with libjpeg's message code.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/error.h"
#include "imaging/color_profile.h"
#include "imaging/raster.h"

namespace picaxo {

class EJPEG : public EPicaxoError {
 public:
  // A fatal libjpeg error: the message is "JPEG error #<code>", followed by ": " and the library's
  // own text when there is one ("JPEG error #28: Not a JPEG file: starts with 0x00 0x00").
  explicit EJPEG(int libraryCode, const std::string& reason = {});
  // Any other codec failure, with its own message; Code() is 0.
  explicit EJPEG(const std::string& message) : EPicaxoError(message) {}

  // libjpeg's message code (J_MESSAGE_CODE), or 0 when the error did not come from the library.
  int Code() const { return code_; }

 private:
  int code_ = 0;
};

// What the user is told about a source whose image data is damaged (the decoder warned of
// corrupt or missing data and filled in what it could not read); name is the file's name.
std::string DamagedSourceText(const std::string& name);

class TJPEGImage {
 public:
  static constexpr int kDefaultQuality = 90;
  // A progressive file with more scans than this is refused (EJPEG), so that a hostile file of
  // thousands of tiny scans cannot keep the decoder busy for minutes. Real encoders write about
  // ten scans.
  static constexpr int kMaxScans = 500;

  TJPEGImage() = default;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  // Reads the whole file into memory and parses its headers. Throws EPicaxoError when the file
  // cannot be read, EJPEG when it is not a JPEG stream.
  void LoadFromFile(const std::string& path);
  // Copies everything from the stream's current position to its end, then parses the headers
  // when that is at least one byte.
  void LoadFromStream(std::istream& stream);
  // The same, taking the complete file as bytes.
  void LoadFromBytes(std::string data);

  // Takes a private copy of raster (any pixel format) as the image to encode and discards the
  // compressed data.
  void Assign(const TRasterImage& raster);

  // The size of the raster when there is one, otherwise the frame header's size (0 when empty).
  int Width() const;
  int Height() const;
  // The size of a JPEG image cannot be set: both throw EJPEG "Cannot change the size of a JPEG
  // image".
  void SetWidth(int width);
  void SetHeight(int height);
  bool Empty() const { return Width() == 0 || Height() == 0; }

  // From the last header parse: one-component (grayscale) file, and multi-scan (progressive) file.
  bool Grayscale() const { return grayscale_; }
  bool ProgressiveEncoding() const { return progressive_; }

  // Quality of the next encode, 1 ... 100 (values outside are clamped).
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int quality);

  // Copies the decoded raster into dest, decoding now if that has not happened yet. On failure
  // (EJPEG, also for a frame above the pixel limit) dest is left unchanged and the component has
  // no raster.
  void DecodeTo(TRasterImage& dest);
  // Like DecodeTo but hands the component's raster over without a copy; the component keeps only
  // its compressed data (or becomes empty when it had none).
  TRasterImage TakeRaster();

  // Encodes the raster into the compressed data unless there is compressed data already. With no
  // raster, or a raster of width or height 0, the data stays empty and nothing is thrown. On an
  // error the compressed data is discarded and the error passes on.
  void Compress();
  // Compress(), then writes the whole compressed data to stream at its current position.
  void SaveToStream(std::ostream& stream);
  // The complete JPEG file as loaded or encoded (empty before Compress() after an Assign()).
  const std::string& CompressedData() const { return data_; }

  // Library warnings counted during the last header parse, decode or encode.
  int WarningCount() const { return warnings_; }
  // Those of the last decode that mean corrupt or missing image data (the picture is incomplete).
  int DamageCount() const { return damage_; }

  // Largest frame, in pixels, that a decode accepts (default kMaxRasterPixels); libjpeg's own
  // working memory is capped in proportion. The fuzzer lowers it to explore logic, not memory.
  void SetMaxPixels(int64_t maxPixels) { maxPixels_ = maxPixels; }
  // Colours of the next decode go through transform (see TJpegRowDecoder); null: as stored.
  void SetColorTransform(std::shared_ptr<const TColorTransform> transform) {
    transform_ = std::move(transform);
  }

 private:
  void ParseHeader();
  void Decode();

  std::string data_;
  int headerWidth_ = 0;
  int headerHeight_ = 0;
  bool grayscale_ = false;
  bool progressive_ = false;
  std::optional<TRasterImage> raster_;
  int quality_ = kDefaultQuality;
  int warnings_ = 0;
  int damage_ = 0;
  int64_t maxPixels_ = kMaxRasterPixels;
  std::shared_ptr<const TColorTransform> transform_;
};

}  // namespace picaxo
