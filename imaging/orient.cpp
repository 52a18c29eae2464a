#include "imaging/orient.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "imaging/exif_orientation.h"

namespace picaxo {

void MirrorRow(uint8_t* row, int width) {
  for (int l = 0, r = width - 1; l < r; ++l, --r) {
    uint8_t* a = row + 3 * static_cast<ptrdiff_t>(l);
    uint8_t* b = row + 3 * static_cast<ptrdiff_t>(r);
    uint8_t pixel[3];
    std::memcpy(pixel, a, 3);
    std::memcpy(a, b, 3);
    std::memcpy(b, pixel, 3);
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
  for (int x = 0; x < width; ++x, p -= 3, dst += 3)
    std::memcpy(dst, p, 3);
}

}  // namespace

TUprightFill::TUprightFill(int storedWidth, int storedHeight, int orientation)
    : storedWidth_(storedWidth),
      storedHeight_(storedHeight),
      orientation_(orientation >= 2 && orientation <= 8 ? orientation : 1),
      picture_(OrientationSwapsSides(orientation_) ? storedHeight : storedWidth,
               OrientationSwapsSides(orientation_) ? storedWidth : storedHeight) {
  if (OrientationSwapsSides(orientation_)) band_ = TRasterImage(storedWidth, kBandRows);
}

void TUprightFill::Targets(int first, int count, uint8_t** rows) {
  const bool flipV = orientation_ == 3 || orientation_ == 4;
  for (int r = 0; r < count; ++r) {
    if (!band_.Empty())
      rows[r] = band_.ScanLine(r);
    else
      rows[r] = picture_.ScanLine(flipV ? storedHeight_ - 1 - (first + r) : first + r);
  }
}

void TUprightFill::Place(int first, int count) {
  if (!band_.Empty()) {
    const uint8_t* rows[kBandRows];
    for (int r = 0; r < count; ++r)
      rows[r] = band_.ScanLine(r);
    Transpose(first, count, rows);
  } else if (orientation_ == 2 || orientation_ == 3) {
    uint8_t* rows[kBandRows];
    Targets(first, count, rows);
    for (int r = 0; r < count; ++r)
      MirrorRow(rows[r], storedWidth_);
  }
}

void TUprightFill::Copy(int first, int count, const uint8_t* const* rows) {
  if (!band_.Empty()) {
    Transpose(first, count, rows);
    return;
  }
  uint8_t* targets[kBandRows];
  Targets(first, count, targets);
  const bool mirror = orientation_ == 2 || orientation_ == 3;
  for (int r = 0; r < count; ++r) {
    if (mirror)
      MirrorCopy(targets[r], rows[r], storedWidth_);
    else
      std::memcpy(targets[r], rows[r], 3 * static_cast<size_t>(storedWidth_));
  }
}

namespace {

// The runs of four stored columns sx ... sx + 3 of a band: runs[k] receives the band's pixels of
// column sx + k, in row order or reversed. Four rows by four columns are transposed at a time as
// 32-bit words; the last 16 bytes read may reach past column sx + 3 but stay within the row when
// sx + 6 <= the width.
#if defined(__x86_64__) || defined(__i386__)
#define PICAXO_ORIENT_X86
__attribute__((target("avx2"))) void GatherRuns4(const uint8_t* const* rows, int count, int sx,
                                                 bool reversed, uint8_t* const* runs) {
  const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i narrow =
      reversed ? _mm_setr_epi8(12, 13, 14, 8, 9, 10, 4, 5, 6, 0, 1, 2, -1, -1, -1, -1)
               : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(sx);
  int r = 0;
  for (; r + 4 <= count; r += 4) {
    __m128i e[4];
    for (int i = 0; i < 4; ++i)
      e[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r + i] + at)),
                              widen);
    const __m128i u0 = _mm_unpacklo_epi32(e[0], e[1]), u1 = _mm_unpackhi_epi32(e[0], e[1]);
    const __m128i u2 = _mm_unpacklo_epi32(e[2], e[3]), u3 = _mm_unpackhi_epi32(e[2], e[3]);
    const __m128i t[4] = {_mm_unpacklo_epi64(u0, u2), _mm_unpackhi_epi64(u0, u2),
                          _mm_unpacklo_epi64(u1, u3), _mm_unpackhi_epi64(u1, u3)};
    const ptrdiff_t pos = 3 * static_cast<ptrdiff_t>(reversed ? count - r - 4 : r);
    for (int k = 0; k < 4; ++k) {
      const __m128i packed = _mm_shuffle_epi8(t[k], narrow);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(runs[k] + pos), packed);
      const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
      std::memcpy(runs[k] + pos + 8, &last, 4);
    }
  }
  for (; r < count; ++r) {
    const ptrdiff_t pos = 3 * static_cast<ptrdiff_t>(reversed ? count - 1 - r : r);
    for (int k = 0; k < 4; ++k)
      std::memcpy(runs[k] + pos, rows[r] + at + 3 * k, 3);
  }
}
#endif

}  // namespace

// Stored row sy lands in upright column sy (5, 8) or H-1-sy (6, 7); stored column sx is upright
// row sx (5, 6) or W-1-sx (7, 8). A band of stored rows is thus one run of upright columns in
// every upright row: each upright row is written once per band, a band's pixels read while cached.
void TUprightFill::Transpose(int first, int count, const uint8_t* const* rows) {
  const bool columnsReversed = orientation_ == 6 || orientation_ == 7;
  const bool rowsReversed = orientation_ == 7 || orientation_ == 8;
  const int left = columnsReversed ? storedHeight_ - first - count : first;
  const size_t runBytes = 3 * static_cast<size_t>(count);
  // Each upright row's run is gathered in the cache and written in a few wide stores: byte-wide
  // stores into rows not yet cached would fill the store queue while their lines are fetched.
  uint8_t runs[4][3 * kBandRows];
  uint8_t* const runRows[4] = {runs[0], runs[1], runs[2], runs[3]};
  const auto target = [&](int sx) {
    return picture_.ScanLine(rowsReversed ? storedWidth_ - 1 - sx : sx) + 3 * left;
  };
  constexpr int kAhead = 8;
  const auto prefetch = [&](int sx) {
    if (sx + kAhead >= storedWidth_) return;
    uint8_t* ahead = target(sx + kAhead);
    __builtin_prefetch(ahead, 1);
    __builtin_prefetch(ahead + runBytes - 1, 1);
  };
  int sx = 0;
#ifdef PICAXO_ORIENT_X86
  static const bool vector = __builtin_cpu_supports("avx2");
  if (vector) {
    for (; sx + 6 <= storedWidth_; sx += 4) {
      for (int k = 0; k < 4; ++k)
        prefetch(sx + k);
      GatherRuns4(rows, count, sx, columnsReversed, runRows);
      for (int k = 0; k < 4; ++k)
        std::memcpy(target(sx + k), runs[k], runBytes);
    }
  }
#endif
  for (; sx < storedWidth_; ++sx) {
    prefetch(sx);
    const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(sx);
    uint8_t* out = runs[0];
    if (columnsReversed) {
      for (int r = count - 1; r >= 0; --r, out += 3)
        std::memcpy(out, rows[r] + at, 3);
    } else {
      for (int r = 0; r < count; ++r, out += 3)
        std::memcpy(out, rows[r] + at, 3);
    }
    std::memcpy(target(sx), runs[0], runBytes);
  }
}

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
  TUprightFill fill(stored.Width(), stored.Height(), orientation);
  const uint8_t* rows[TUprightFill::kBandRows];
  for (int y = 0; y < stored.Height(); y += TUprightFill::kBandRows) {
    const int count = std::min(TUprightFill::kBandRows, stored.Height() - y);
    for (int r = 0; r < count; ++r)
      rows[r] = stored.ScanLine(y + r);
    fill.Copy(y, count, rows);
  }
  return fill.Take();
}

}  // namespace picaxo
