#pragma once
// The bitmap file loader: reads a Windows BMP file into a TRasterImage of its stored pixel format
// (1, 4 and 8-bit files keep their palette, 16 and 32-bit files their channel masks, 24-bit stays
// 24-bit). Accepted: BITMAPCOREHEADER and BITMAPINFOHEADER versions 1 to 5; 1, 4, 8, 16, 24 and
// 32 bits per pixel; BI_RGB, BI_RLE8 (8-bit), BI_RLE4 (4-bit), BI_BITFIELDS (16 and 32-bit);
// bottom-up and top-down rows. Anything else, and any truncated or inconsistent file, throws
// EBitmapError with a message that names the problem.
//
// The reader never reads outside the file's bytes and never writes outside the raster. An
// uncompressed image must fit in the file; an RLE image is bounded by the pixel limit.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "imaging/raster.h"

namespace picaxo {

class EBitmapError : public EPicaxoError {
 public:
  using EPicaxoError::EPicaxoError;
};

// Reads the BMP file at path. Throws EPicaxoError when the file cannot be read, EBitmapError when
// it is not a BMP file this reader accepts.
TRasterImage ReadBitmapFile(const std::string& path);

// Reads a complete BMP file held in memory. maxPixels bounds the raster (the fuzzer lowers it).
TRasterImage ReadBitmap(std::string_view data, int64_t maxPixels = kMaxRasterPixels);

}  // namespace picaxo
