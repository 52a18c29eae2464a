#pragma once
// The 20-megapixel test photo the benchmarks measure on, read and decoded once per process, and
// the small JPEG the listing benchmarks fill their folders with.
#include <string>

#include "base/file_util.h"
#include "imaging/jpeg.h"

namespace picaxo::bench {

inline const std::string& PhotoBytes() {
  static const std::string bytes =
      ReadWholeFile(std::string(PICAXO_TESTDATA) + "/photos/Kleiber_by_Lukas_Baubkus.jpg");
  return bytes;
}

inline const TRasterImage& PhotoRaster() {
  static const TRasterImage raster = [] {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(PhotoBytes());
    return jpeg.TakeRaster();
  }();
  return raster;
}

// A 32 x 24 JPEG of one colour: a file the listing reads the header of, nothing more.
inline std::string SmallJpeg() {
  TRasterImage raster(32, 24);
  raster.FillRect(0, 0, 32, 24, 0x00336699);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  return jpeg.CompressedData();
}

}  // namespace picaxo::bench
