#pragma once
// Row-at-a-time access to the codec's fixed decode and encode configurations. TJPEGImage decodes
// and encodes whole rasters through these same classes, so a caller that streams rows (the
// conversion without a whole decoded source) gets bit for bit the pixels and bytes the component
// gives.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/color_profile.h"
#include "imaging/raster.h"

namespace picaxo {

// Decodes a JPEG file held in memory, top row first. Fatal library errors throw EJPEG; warnings
// are counted.
class TJpegRowDecoder {
 public:
  // Reads the header and starts decompressing data (which must outlive the decoder). A frame above
  // maxPixels, and one far larger than the file's bytes can hold (JpegSizeRefusal), are refused
  // before the library allocates anything in proportion to it. A progressive file is read whole
  // here (the library needs every coefficient before the first row).
  TJpegRowDecoder(const std::string& data, int64_t maxPixels);
  ~TJpegRowDecoder();
  TJpegRowDecoder(const TJpegRowDecoder&) = delete;
  TJpegRowDecoder& operator=(const TJpegRowDecoder&) = delete;

  int Width() const;
  int Height() const;
  // pf24bit (blue, green, red) for colour files; pf8bit indices into Palette() (at most 236 gray
  // levels) for grayscale ones.
  TPixelFormat Format() const;
  const std::vector<TRGBQuad>& Palette() const;
  // Index of the next row ReadRows delivers.
  int NextRow() const;
  // The most rows one ReadRows call should ask for (the library's preferred row group).
  int RowsPerCall() const;
  // Decodes the next count rows (not past the last row) into rows[0 .. count - 1], each at least
  // Width() pixels of Format(). Asking for RowsPerCall() rows at a time costs least.
  void ReadRows(uint8_t* const* rows, int count);
  // After the last row: lets the library read to the end of the file.
  void Finish();
  int Warnings() const;
  // Those warnings that mean corrupt or missing image data, so far.
  int DamageWarnings() const;
  // Converts the colours of every row delivered from now on through transform (its kind must be
  // the file's: RGB for colour files, CMYK for four-component ones); null converts nothing.
  void SetColorTransform(std::shared_ptr<const TColorTransform> transform);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// Encodes 24-bit blue-green-red rows, top row first, into a baseline JFIF file appended to out.
class TJpegRowEncoder {
 public:
  TJpegRowEncoder(int width, int height, int quality, std::string& out);
  ~TJpegRowEncoder();
  TJpegRowEncoder(const TJpegRowEncoder&) = delete;
  TJpegRowEncoder& operator=(const TJpegRowEncoder&) = delete;

  // Writes the next count rows; all rows together must be exactly the height.
  void WriteRows(const uint8_t* const* rows, int count);
  // After the last row: completes the file.
  void Finish();
  int Warnings() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace picaxo
