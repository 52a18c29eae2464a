#include "imaging/orient.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "imaging/exif_orientation.h"

namespace picaxo {

namespace {

// Upright rows made per call by OrientRaster: one visit of each stored row per block.
constexpr int kBlockRows = 16;

}  // namespace

void MirrorRow(uint8_t* row, int width) {
  for (int l = 0, r = width - 1; l < r; ++l, --r) {
    uint8_t* a = row + 3 * static_cast<ptrdiff_t>(l);
    uint8_t* b = row + 3 * static_cast<ptrdiff_t>(r);
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
    std::swap(a[2], b[2]);
  }
}

TUprightRows::TUprightRows(const TRasterImage& stored, int orientation)
    : stored_(stored),
      orientation_(orientation >= 2 && orientation <= 8 ? orientation : 1),
      width_(OrientationSwapsSides(orientation_) ? stored.Height() : stored.Width()),
      height_(OrientationSwapsSides(orientation_) ? stored.Width() : stored.Height()) {}

void TUprightRows::Read(int first, int count, uint8_t* const* rows) const {
  const int w = stored_.Width(), h = stored_.Height();
  const size_t rowBytes = 3 * static_cast<size_t>(w);
  if (!OrientationSwapsSides(orientation_)) {
    const bool flipV = orientation_ == 3 || orientation_ == 4;
    const bool mirror = orientation_ == 2 || orientation_ == 3;
    for (int r = 0; r < count; ++r) {
      const int y = first + r;
      std::memcpy(rows[r], stored_.ScanLine(flipV ? h - 1 - y : y), rowBytes);
      if (mirror) MirrorRow(rows[r], w);
    }
    return;
  }
  // Upright row y is a stored column: y for 5 and 6, W-1-y for 7 and 8; along it, upright column
  // x is stored row x (5, 8) or H-1-x (6, 7).
  const bool columnsReversed = orientation_ == 7 || orientation_ == 8;
  const bool rowsReversed = orientation_ == 6 || orientation_ == 7;
  for (int sy = 0; sy < h; ++sy) {
    const uint8_t* line = stored_.ScanLine(sy);
    const ptrdiff_t x = 3 * static_cast<ptrdiff_t>(rowsReversed ? h - 1 - sy : sy);
    for (int r = 0; r < count; ++r) {
      const int sx = columnsReversed ? w - 1 - (first + r) : first + r;
      const uint8_t* p = line + 3 * static_cast<ptrdiff_t>(sx);
      uint8_t* q = rows[r] + x;
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
    }
  }
}

namespace {

// dst = src with its width pixels in reverse order (the rows do not overlap).
void MirrorCopy(uint8_t* dst, const uint8_t* src, int width) {
  const uint8_t* p = src + 3 * static_cast<ptrdiff_t>(width - 1);
  for (int x = 0; x < width; ++x, p -= 3, dst += 3) {
    dst[0] = p[0];
    dst[1] = p[1];
    dst[2] = p[2];
  }
}

}  // namespace

bool OrientRasterInPlace(TRasterImage& stored, int orientation) {
  if (stored.PixelFormat() != TPixelFormat::pf24bit || orientation < 2 || orientation > 4)
    return false;
  const int w = stored.Width(), h = stored.Height();
  const size_t rowBytes = 3 * static_cast<size_t>(w);
  if (orientation == 2) {
    for (int y = 0; y < h; ++y)
      MirrorRow(stored.ScanLine(y), w);
    return true;
  }
  const bool mirror = orientation == 3;
  std::vector<uint8_t> top(rowBytes);
  for (int y = 0, z = h - 1; y <= z; ++y, --z) {
    uint8_t* a = stored.ScanLine(y);
    uint8_t* b = stored.ScanLine(z);
    if (y == z) {
      if (mirror) MirrorRow(a, w);
      break;
    }
    std::memcpy(top.data(), a, rowBytes);
    if (mirror) {
      MirrorCopy(a, b, w);
      MirrorCopy(b, top.data(), w);
    } else {
      std::memcpy(a, b, rowBytes);
      std::memcpy(b, top.data(), rowBytes);
    }
  }
  return true;
}

TRasterImage OrientRaster(const TRasterImage& stored, int orientation) {
  if (stored.PixelFormat() != TPixelFormat::pf24bit) {
    TRasterImage wide = stored;
    wide.SetPixelFormat(TPixelFormat::pf24bit);
    return OrientRaster(wide, orientation);
  }
  const TUprightRows upright(stored, orientation);
  TRasterImage out(upright.Width(), upright.Height());
  uint8_t* rows[kBlockRows];
  for (int y = 0; y < out.Height(); y += kBlockRows) {
    const int count = std::min(kBlockRows, out.Height() - y);
    for (int r = 0; r < count; ++r)
      rows[r] = out.ScanLine(y + r);
    upright.Read(y, count, rows);
  }
  return out;
}

}  // namespace picaxo
