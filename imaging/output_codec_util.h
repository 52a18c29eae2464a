#pragma once
// Helpers the output encoders share.
#include <algorithm>

#include "imaging/raster.h"

namespace picaxo {

// A 24-bit copy of a raster of another pixel format.
inline TRasterImage Widened(const TRasterImage& picture) {
  TRasterImage copy = picture;
  copy.SetPixelFormat(TPixelFormat::pf24bit);
  return copy;
}

inline int ClampQuality(int quality) {
  return std::clamp(quality, 1, 100);
}

}  // namespace picaxo
