#pragma once
// Turning a decoded picture upright by its EXIF orientation: an exact move of pixels (no pixel
// value changes), the same for the whole raster the window shows and for the rows the streaming
// conversion reads.
#include <cstdint>

#include "imaging/raster.h"

namespace picaxo {

// The rows of the upright picture of a stored 24-bit raster, made on demand. For orientation o
// (1 ... 8) the upright pixel (x, y) is the stored pixel:
//   1 (x, y)   2 (W-1-x, y)   3 (W-1-x, H-1-y)   4 (x, H-1-y)
//   5 (y, x)   6 (y, H-1-x)   7 (W-1-y, H-1-x)   8 (W-1-y, x)
// with W x H the stored size; 5 ... 8 exchange width and height. Other values act as 1.
class TUprightRows {
 public:
  TUprightRows(const TRasterImage& stored, int orientation);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Writes upright rows first ... first + count - 1 into rows[0 .. count - 1] (3 x Width()
  // bytes each). Reading several rows at once costs less for the orientations that exchange the
  // sides: each stored row is then visited once per call.
  void Read(int first, int count, uint8_t* const* rows) const;

 private:
  const TRasterImage& stored_;
  int orientation_;
  int width_;
  int height_;
};

// The upright picture of stored, as a new 24-bit raster (stored is widened first when it is not
// 24-bit). Orientation 1 (or any value outside 2 ... 8) gives a copy.
TRasterImage OrientRaster(const TRasterImage& stored, int orientation);

// The upright picture of a stored 24-bit picture, filled a band of stored rows at a time as the
// rows arrive (from the decoder, or from a stored raster): each band is moved to its upright place
// while it is still in the cache, so the stored picture is never held whole. The pixels are those
// of TUprightRows.
class TUprightFill {
 public:
  // Stored rows go in at most this many at a time.
  static constexpr int kBandRows = 32;
  TUprightFill(int storedWidth, int storedHeight, int orientation);
  int Width() const { return picture_.Width(); }
  int Height() const { return picture_.Height(); }
  // Where stored rows first ... first + count - 1 (count at most kBandRows) are to be written:
  // their own upright rows when the turn keeps rows as rows, else a band buffer. Place then
  // moves them.
  void Targets(int first, int count, uint8_t** rows);
  void Place(int first, int count);
  // Copies stored rows first ... first + count - 1 (count at most kBandRows) from rows to their
  // upright places.
  void Copy(int first, int count, const uint8_t* const* rows);
  // The upright picture; the fill is empty afterwards.
  TRasterImage Take() { return std::move(picture_); }

 private:
  void Transpose(int first, int count, const uint8_t* const* rows);
  int storedWidth_;
  int storedHeight_;
  int orientation_;
  TRasterImage picture_;
  TRasterImage band_;
};

// Turns a 24-bit raster upright in place for the orientations that keep its sides (2, 3, 4), with
// the pixels OrientRaster gives; returns false, changing nothing, for any other case.
bool OrientRasterInPlace(TRasterImage& stored, int orientation);

// Reverses the order of the width pixels of a 24-bit row in place.
void MirrorRow(uint8_t* row, int width);

}  // namespace picaxo
