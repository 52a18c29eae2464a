#pragma once
// The vector form of the two resampling passes, written once over a vector type V and compiled
// once per instruction set (resample_avx2.cpp, resample_avx512.cpp). Each includer defines
// PICAXO_SIMD_TARGET (the function attribute naming its instruction set) and a V before including
// this file; the templates live in an unnamed namespace, so each instruction set gets its own
// copies and none of them can be picked by the linker for a caller on another path.
//
// Bit-identity with the plain loops: a vector lane carries one destination sum, which receives the
// same products in the same order as the plain loop's sum, through a fused multiply-add that rounds
// once to float exactly like std::fma on floats; the final clamp and round-to-even conversion uses
// the same rounding mode as std::nearbyint. Only the order in which independent sums are computed
// changes.
//
// V provides: F (a vector of kLanes floats), Zero, Set1, Load (kLanes floats), Fma (a * b + c),
// LoadBytes (kLanes bytes as floats), StoreInts and StoreBytes (clamp to 0..255, round, store).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/resample_detail.h"

#ifndef PICAXO_SIMD_TARGET
#error "Define PICAXO_SIMD_TARGET before including resample_simd.h"
#endif

namespace picaxo::resample_detail {
namespace {

// Bytes of float buffer the horizontal pass converts one run of source columns into: small enough
// to stay in the second-level cache while the run's destination columns are summed.
constexpr size_t kRunBufferBytes = 256 * 1024;
// A single destination column whose window is wider than this many source columns (a shrink by
// hundreds) is summed straight from the source bytes instead of growing the buffer.
constexpr int kMaxRunSpan = 4096;

// Horizontal pass. Rows are taken in blocks of 2 * kLanes; for a run of source columns the block's
// bytes are converted to floats laid out as [column][channel][row], so that one destination
// column's weight list drives six independent vector sums (two halves of the block, three
// channels) with one broadcast weight per entry.
template <class V>
PICAXO_SIMD_TARGET void HorizontalPassT(const TRasterImage& Source, TRasterImage& Work,
                                        const std::vector<TWeightList>& lists, int runSpan) {
  using F = typename V::F;
  constexpr int L = V::kLanes;
  constexpr int R = 2 * L;
  const int sh = Source.Height();
  const int dw = Work.Width();
  if (sh == 0 || dw == 0) return;

  const int maxSpan = runSpan > 0
                          ? runSpan
                          : std::max(static_cast<int>(kRunBufferBytes / (3 * R * sizeof(float))),
                                     std::min(kMaxRunSpan, Source.Width()));
  const std::vector<TColumnRun> runs = PlanColumnRuns(lists, maxSpan);
  size_t bufferFloats = 0;
  for (const TColumnRun& run : runs) {
    if (!run.Wide)
      bufferFloats = std::max(bufferFloats, static_cast<size_t>(run.EndSource - run.FirstSource));
  }
  bufferFloats *= 3 * R;
  const std::unique_ptr<float[]> buffer(new float[bufferFloats > 0 ? bufferFloats : 1]);
  float* const buf = buffer.get();

  alignas(64) int32_t sums[3 * R];
  const uint8_t* rows[R];
  uint8_t* outs[R];
  for (int k0 = 0; k0 < sh; k0 += R) {
    const int count = std::min(R, sh - k0);
    // Lanes past the last row repeat it; their sums are computed and dropped.
    for (int r = 0; r < R; ++r) {
      rows[r] = Source.ScanLine(k0 + std::min(r, count - 1));
      outs[r] = Work.ScanLine(k0 + std::min(r, count - 1));
    }
    for (const TColumnRun& run : runs) {
      if (run.Wide) {
        const TWeightList& list = lists[run.FirstDest];
        for (int r = 0; r < count; ++r) {
          float blue = 0.0f, green = 0.0f, red = 0.0f;
          for (const TWeightEntry& e : list) {
            const uint8_t* p = rows[r] + 3 * static_cast<ptrdiff_t>(e.Index);
            blue = std::fma(static_cast<float>(p[0]), e.Weight, blue);
            green = std::fma(static_cast<float>(p[1]), e.Weight, green);
            red = std::fma(static_cast<float>(p[2]), e.Weight, red);
          }
          uint8_t* q = outs[r] + 3 * static_cast<ptrdiff_t>(run.FirstDest);
          q[0] = SumToByte(blue);
          q[1] = SumToByte(green);
          q[2] = SumToByte(red);
        }
        continue;
      }
      const ptrdiff_t values = 3 * static_cast<ptrdiff_t>(run.EndSource - run.FirstSource);
      for (int r = 0; r < R; ++r) {
        const uint8_t* s = rows[r] + 3 * static_cast<ptrdiff_t>(run.FirstSource);
        float* b = buf + r;
        for (ptrdiff_t x = 0; x < values; ++x)
          b[x * R] = s[x];
      }
      for (int i = run.FirstDest; i < run.EndDest; ++i) {
        F b0 = V::Zero(), b1 = V::Zero(), g0 = V::Zero(), g1 = V::Zero(), r0 = V::Zero(),
          r1 = V::Zero();
        for (const TWeightEntry& e : lists[i]) {
          const float* p = buf + static_cast<ptrdiff_t>(e.Index - run.FirstSource) * (3 * R);
          const F w = V::Set1(e.Weight);
          b0 = V::Fma(V::Load(p), w, b0);
          b1 = V::Fma(V::Load(p + L), w, b1);
          g0 = V::Fma(V::Load(p + R), w, g0);
          g1 = V::Fma(V::Load(p + R + L), w, g1);
          r0 = V::Fma(V::Load(p + 2 * R), w, r0);
          r1 = V::Fma(V::Load(p + 2 * R + L), w, r1);
        }
        V::StoreInts(sums, b0);
        V::StoreInts(sums + L, b1);
        V::StoreInts(sums + R, g0);
        V::StoreInts(sums + R + L, g1);
        V::StoreInts(sums + 2 * R, r0);
        V::StoreInts(sums + 2 * R + L, r1);
        const ptrdiff_t at = 3 * static_cast<ptrdiff_t>(i);
        for (int r = 0; r < count; ++r) {
          outs[r][at] = static_cast<uint8_t>(sums[r]);
          outs[r][at + 1] = static_cast<uint8_t>(sums[R + r]);
          outs[r][at + 2] = static_cast<uint8_t>(sums[2 * R + r]);
        }
      }
    }
  }
}

// Vertical pass. All three channels of a destination row share the row's weight list, so a row is
// summed across its bytes, four vectors at a time, straight from the intermediate raster's rows.
template <class V>
PICAXO_SIMD_TARGET void VerticalPassT(const TRasterImage& Work, TRasterImage& Dest,
                                      const std::vector<TWeightList>& lists) {
  using F = typename V::F;
  constexpr int L = V::kLanes;
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(Dest.Width());
  for (int i = 0; i < Dest.Height(); ++i) {
    const TWeightList& list = lists[i];
    uint8_t* out = Dest.ScanLine(i);
    ptrdiff_t x = 0;
    for (; x + 4 * L <= n; x += 4 * L) {
      F a0 = V::Zero(), a1 = V::Zero(), a2 = V::Zero(), a3 = V::Zero();
      for (const TWeightEntry& e : list) {
        const uint8_t* p = Work.ScanLine(e.Index) + x;
        const F w = V::Set1(e.Weight);
        a0 = V::Fma(V::LoadBytes(p), w, a0);
        a1 = V::Fma(V::LoadBytes(p + L), w, a1);
        a2 = V::Fma(V::LoadBytes(p + 2 * L), w, a2);
        a3 = V::Fma(V::LoadBytes(p + 3 * L), w, a3);
      }
      V::StoreBytes(out + x, a0);
      V::StoreBytes(out + x + L, a1);
      V::StoreBytes(out + x + 2 * L, a2);
      V::StoreBytes(out + x + 3 * L, a3);
    }
    for (; x + L <= n; x += L) {
      F a = V::Zero();
      for (const TWeightEntry& e : list)
        a = V::Fma(V::LoadBytes(Work.ScanLine(e.Index) + x), V::Set1(e.Weight), a);
      V::StoreBytes(out + x, a);
    }
    for (; x < n; ++x) {
      float sum = 0.0f;
      for (const TWeightEntry& e : list)
        sum = std::fma(static_cast<float>(Work.ScanLine(e.Index)[x]), e.Weight, sum);
      out[x] = SumToByte(sum);
    }
  }
}

}  // namespace
}  // namespace picaxo::resample_detail
