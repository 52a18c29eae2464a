#pragma once
// The 20-megapixel test photo the benchmarks measure on, read and decoded once per process.
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

}  // namespace picaxo::bench
