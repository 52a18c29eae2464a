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

#include <immintrin.h>

#include "imaging/resample_detail.h"

#ifndef PICAXO_SIMD_TARGET
#error "Define PICAXO_SIMD_TARGET before including resample_simd.h"
#endif

namespace picaxo::resample_detail {
namespace {

// Bytes of float buffer the horizontal pass converts one run of source columns into: small enough
// to stay in the second-level cache while the run's destination columns are summed.
constexpr size_t kRunBufferBytes = 256 * 1024;
// A single destination column whose window is wider than the buffer gets a larger buffer up to
// this many source columns (a shrink by hundreds); beyond, it is summed straight from the source
// bytes.
constexpr int kMaxRunSpan = 4096;

// Converts bytes offset .. offset + values - 1 of R rows to floats stored as out[x * R + r]:
// eight-by-eight blocks are transposed in registers. All R rows of a column are written together,
// so each cache line of the buffer is filled at once.
template <int R>
PICAXO_SIMD_TARGET void TransposeRows(const uint8_t* const* rows, ptrdiff_t offset,
                                      ptrdiff_t values, float* out) {
  ptrdiff_t x = 0;
  for (; x + 8 <= values; x += 8) {
    for (int g = 0; g < R; g += 8) {
      __m256 v[8];
      for (int r = 0; r < 8; ++r) {
        const __m128i bytes =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[g + r] + offset + x));
        v[r] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes));
      }
      const __m256 t0 = _mm256_unpacklo_ps(v[0], v[1]), t1 = _mm256_unpackhi_ps(v[0], v[1]);
      const __m256 t2 = _mm256_unpacklo_ps(v[2], v[3]), t3 = _mm256_unpackhi_ps(v[2], v[3]);
      const __m256 t4 = _mm256_unpacklo_ps(v[4], v[5]), t5 = _mm256_unpackhi_ps(v[4], v[5]);
      const __m256 t6 = _mm256_unpacklo_ps(v[6], v[7]), t7 = _mm256_unpackhi_ps(v[6], v[7]);
      const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
      const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
      const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
      const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
      float* o = out + x * R + g;
      _mm256_storeu_ps(o, _mm256_permute2f128_ps(u0, u4, 0x20));
      _mm256_storeu_ps(o + R, _mm256_permute2f128_ps(u1, u5, 0x20));
      _mm256_storeu_ps(o + 2 * R, _mm256_permute2f128_ps(u2, u6, 0x20));
      _mm256_storeu_ps(o + 3 * R, _mm256_permute2f128_ps(u3, u7, 0x20));
      _mm256_storeu_ps(o + 4 * R, _mm256_permute2f128_ps(u0, u4, 0x31));
      _mm256_storeu_ps(o + 5 * R, _mm256_permute2f128_ps(u1, u5, 0x31));
      _mm256_storeu_ps(o + 6 * R, _mm256_permute2f128_ps(u2, u6, 0x31));
      _mm256_storeu_ps(o + 7 * R, _mm256_permute2f128_ps(u3, u7, 0x31));
    }
  }
  for (; x < values; ++x) {
    for (int r = 0; r < R; ++r)
      out[x * R + r] = rows[r][offset + x];
  }
}

// The running sums of one destination column over a block of 2 * kLanes rows: blue, green and
// red, each as two vectors (upper and lower half of the block), in the buffer's order.
template <class V>
struct BlockSums {
  typename V::F v[6];
};

template <class V>
PICAXO_SIMD_TARGET inline void ClearSums(BlockSums<V>& sums) {
  for (int k = 0; k < 6; ++k)
    sums.v[k] = V::Zero();
}

// Adds one entry; buf holds source columns first, first + 1, ... as [column][channel][row].
template <class V>
PICAXO_SIMD_TARGET inline void AddEntry(BlockSums<V>& sums, const float* buf, int32_t first,
                                        const TWeightEntry& e) {
  constexpr int L = V::kLanes;
  const float* p = buf + static_cast<ptrdiff_t>(e.Index - first) * (6 * L);
  const typename V::F w = V::Set1(e.Weight);
  for (int k = 0; k < 6; ++k)
    sums.v[k] = V::Fma(V::Load(p + k * L), w, sums.v[k]);
}

// Adds source column p (its [channel][row] floats) with one weight.
template <class V>
PICAXO_SIMD_TARGET inline void AddColumn(BlockSums<V>& sums, const float* p, float weight) {
  constexpr int L = V::kLanes;
  const typename V::F w = V::Set1(weight);
  for (int k = 0; k < 6; ++k)
    sums.v[k] = V::Fma(V::Load(p + k * L), w, sums.v[k]);
}

// Adds source column p to two destination columns' sums, loading it once.
template <class V>
PICAXO_SIMD_TARGET inline void AddColumnToBoth(BlockSums<V>& a, BlockSums<V>& b, const float* p,
                                               float weightA, float weightB) {
  constexpr int L = V::kLanes;
  const typename V::F wa = V::Set1(weightA), wb = V::Set1(weightB);
  for (int k = 0; k < 6; ++k) {
    typename V::F x = V::Load(p + k * L);
    // One load for both sums: left to itself the compiler folds the load into each multiply-add,
    // and the loop then waits on the load ports rather than on the multiply-adds.
    asm("" : "+v"(x));
    a.v[k] = V::Fma(x, wa, a.v[k]);
    b.v[k] = V::Fma(x, wb, b.v[k]);
  }
}

// Writes the column's sums as bytes into the block's staging area, which holds for each
// destination column i and channel c the block's rows as R consecutive bytes at (3 * i + c) * R.
template <class V>
PICAXO_SIMD_TARGET inline void StageColumn(const BlockSums<V>& sums, uint8_t* stage, int i) {
  constexpr int L = V::kLanes;
  uint8_t* p = stage + static_cast<ptrdiff_t>(i) * (6 * L);
  for (int k = 0; k < 6; ++k)
    V::StoreBytes(p + k * L, sums.v[k]);
}

// Transposes a 16 x 16 block of bytes in place: afterwards byte k of a[r] is what byte r of a[k]
// was. Four rounds of interleaving vector j with vector j + 8 do it.
PICAXO_SIMD_TARGET inline void Transpose16x16(__m128i* a) {
  for (int round = 0; round < 4; ++round) {
    __m128i t[16];
    for (int j = 0; j < 8; ++j) {
      t[2 * j] = _mm_unpacklo_epi8(a[j], a[j + 8]);
      t[2 * j + 1] = _mm_unpackhi_epi8(a[j], a[j + 8]);
    }
    for (int j = 0; j < 16; ++j)
      a[j] = t[j];
  }
}

// Copies the staging area of a block of R rows (see StageColumn) into the first count rows:
// sixteen bytes of sixteen rows at a time, transposed in registers, instead of byte by byte.
template <int R>
PICAXO_SIMD_TARGET void StoreStagedRows(const uint8_t* stage, ptrdiff_t values,
                                        uint8_t* const* outs, int count) {
  static_assert(R % 16 == 0);
  for (int g = 0; g < count; g += 16) {
    const int rows = std::min(16, count - g);
    ptrdiff_t k = 0;
    for (; k + 16 <= values; k += 16) {
      __m128i a[16];
      for (int j = 0; j < 16; ++j)
        a[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stage + (k + j) * R + g));
      Transpose16x16(a);
      for (int r = 0; r < rows; ++r)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outs[g + r] + k), a[r]);
    }
    for (; k < values; ++k) {
      for (int r = 0; r < rows; ++r)
        outs[g + r][k] = stage[k * R + g + r];
    }
  }
}

// Horizontal pass. Rows are taken in blocks of 2 * kLanes; for a run of source columns the block's
// bytes are converted to floats laid out as [column][channel][row], so that one destination
// column's weight list drives six independent vector sums (two halves of the block, three
// channels) with one broadcast weight per entry. The plan (runs, buffers) is made once per pass;
// blocks may then come from a raster or one by one from a stream.
template <class V>
class HorizontalRowsT final : public THorizontalRows {
 public:
  static constexpr int L = V::kLanes;
  static constexpr int R = 2 * L;

  // Keeps the lists (a stream's pass outlives its caller's copy).
  HorizontalRowsT(std::vector<TWeightList>&& lists, int destWidth, int runSpan)
      : owned_(std::move(lists)), lists_(owned_), values_(3 * static_cast<ptrdiff_t>(destWidth)) {
    Plan(runSpan);
  }
  // Uses the caller's lists, which outlive the pass.
  HorizontalRowsT(const std::vector<TWeightList>& lists, int destWidth, int runSpan)
      : lists_(lists), values_(3 * static_cast<ptrdiff_t>(destWidth)) {
    Plan(runSpan);
  }

  int BlockRows() const override { return R; }

  PICAXO_SIMD_TARGET void Run(const uint8_t* const* src, uint8_t* const* dst, int count) override;

 private:
  void Plan(int runSpan) {
    const int bufferSpan = static_cast<int>(kRunBufferBytes / (3 * R * sizeof(float)));
    runs_ = runSpan > 0 ? PlanColumnRuns(lists_, runSpan, runSpan)
                        : PlanColumnRuns(lists_, bufferSpan, std::max(bufferSpan, kMaxRunSpan));
    // Lists whose entries read source columns k, k + 1, k + 2, ... in order.
    consecutive_.resize(lists_.size());
    for (size_t i = 0; i < lists_.size(); ++i) {
      const TWeightList& list = lists_[i];
      bool ok = !list.empty();
      for (size_t k = 1; ok && k < list.size(); ++k)
        ok = list[k].Index == list[0].Index + static_cast<int32_t>(k);
      consecutive_[i] = ok;
    }
    size_t bufferFloats = 0;
    for (const TColumnRun& run : runs_) {
      if (!run.Wide)
        bufferFloats = std::max(bufferFloats, static_cast<size_t>(run.EndSource - run.FirstSource));
    }
    bufferFloats *= 3 * R;
    buffer_.reset(new float[bufferFloats > 0 ? bufferFloats : 1]);
    staging_.reset(new uint8_t[values_ > 0 ? values_ * R : 1]);
  }

  std::vector<TWeightList> owned_;
  const std::vector<TWeightList>& lists_;
  ptrdiff_t values_;
  std::vector<TColumnRun> runs_;
  std::vector<char> consecutive_;
  std::unique_ptr<float[]> buffer_;
  std::unique_ptr<uint8_t[]> staging_;
};

template <class V>
PICAXO_SIMD_TARGET void HorizontalRowsT<V>::Run(const uint8_t* const* src, uint8_t* const* dst,
                                                int count) {
  if (count <= 0 || values_ == 0) return;
  const std::vector<TWeightList>& lists = lists_;
  float* const buf = buffer_.get();
  uint8_t* const stage = staging_.get();
  const uint8_t* rows[R];
  uint8_t* outs[R];
  // Lanes past the last row repeat it; their sums are computed and dropped.
  for (int r = 0; r < R; ++r) {
    rows[r] = src[std::min(r, count - 1)];
    outs[r] = dst[std::min(r, count - 1)];
  }
  for (const TColumnRun& run : runs_) {
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
        uint8_t* q = stage + 3 * static_cast<ptrdiff_t>(run.FirstDest) * R + r;
        q[0] = SumToByte(blue);
        q[R] = SumToByte(green);
        q[2 * R] = SumToByte(red);
      }
      continue;
    }
    const ptrdiff_t offset = 3 * static_cast<ptrdiff_t>(run.FirstSource);
    TransposeRows<R>(rows, offset, 3 * static_cast<ptrdiff_t>(run.EndSource - run.FirstSource),
                     buf);
    // Two destination columns at a time: twelve independent sums keep the multiply-add units
    // busy; each column still takes its own entries in its own order.
    const int32_t firstSource = run.FirstSource;
    int i = run.FirstDest;
    for (; i + 1 < run.EndDest; i += 2) {
      const TWeightList& first = lists[i];
      const TWeightList& second = lists[i + 1];
      BlockSums<V> a, b;
      ClearSums<V>(a);
      ClearSums<V>(b);
      if (consecutive_[i] && consecutive_[i + 1] && first.front().Index <= second.front().Index &&
          first.back().Index <= second.back().Index) {
        // Away from the edges both lists read runs of consecutive columns, and the windows
        // overlap: each column of the overlap is loaded once for both sums.
        const int32_t startA = first.front().Index, endA = first.back().Index;
        const int32_t startB = second.front().Index, endB = second.back().Index;
        int32_t n = startA;
        for (; n <= endA && n < startB; ++n)
          AddColumn<V>(a, buf + static_cast<ptrdiff_t>(n - firstSource) * (3 * R),
                       first[n - startA].Weight);
        for (; n <= endA; ++n)
          AddColumnToBoth<V>(a, b, buf + static_cast<ptrdiff_t>(n - firstSource) * (3 * R),
                             first[n - startA].Weight, second[n - startB].Weight);
        for (n = std::max(n, startB); n <= endB; ++n)
          AddColumn<V>(b, buf + static_cast<ptrdiff_t>(n - firstSource) * (3 * R),
                       second[n - startB].Weight);
      } else {
        const size_t common = std::min(first.size(), second.size());
        for (size_t k = 0; k < common; ++k) {
          AddEntry<V>(a, buf, firstSource, first[k]);
          AddEntry<V>(b, buf, firstSource, second[k]);
        }
        for (size_t k = common; k < first.size(); ++k)
          AddEntry<V>(a, buf, firstSource, first[k]);
        for (size_t k = common; k < second.size(); ++k)
          AddEntry<V>(b, buf, firstSource, second[k]);
      }
      StageColumn<V>(a, stage, i);
      StageColumn<V>(b, stage, i + 1);
    }
    if (i < run.EndDest) {
      BlockSums<V> a;
      ClearSums<V>(a);
      for (const TWeightEntry& e : lists[i])
        AddEntry<V>(a, buf, firstSource, e);
      StageColumn<V>(a, stage, i);
    }
  }
  StoreStagedRows<R>(stage, values_, outs, count);
}

template <class V>
PICAXO_SIMD_TARGET void HorizontalPassT(const TRasterImage& Source, TRasterImage& Work,
                                        const std::vector<TWeightList>& lists, int runSpan) {
  const int sh = Source.Height();
  const int dw = Work.Width();
  if (sh == 0 || dw == 0) return;
  HorizontalRowsT<V> pass(lists, dw, runSpan);
  constexpr int R = HorizontalRowsT<V>::R;
  const uint8_t* rows[R];
  uint8_t* outs[R];
  for (int k0 = 0; k0 < sh; k0 += R) {
    const int count = std::min(R, sh - k0);
    for (int r = 0; r < count; ++r) {
      rows[r] = Source.ScanLine(k0 + r);
      outs[r] = Work.ScanLine(k0 + r);
    }
    pass.Run(rows, outs, count);
  }
}

// Vertical pass. All three channels of a destination row share the row's weight list, so a row is
// summed across its bytes, eight vectors at a time, straight from the intermediate rows.
template <class V>
PICAXO_SIMD_TARGET void VerticalRowT(const TWeightList& list, const uint8_t* const* rows,
                                     uint8_t* out, ptrdiff_t n) {
  using F = typename V::F;
  constexpr int L = V::kLanes;
  const size_t entries = list.size();
  ptrdiff_t x = 0;
  // Eight independent sums cover the latency of the multiply-adds on two units.
  for (; x + 8 * L <= n; x += 8 * L) {
    F a[8];
    for (int k = 0; k < 8; ++k)
      a[k] = V::Zero();
    for (size_t j = 0; j < entries; ++j) {
      const uint8_t* p = rows[j] + x;
      const F w = V::Set1(list[j].Weight);
      for (int k = 0; k < 8; ++k)
        a[k] = V::Fma(V::LoadBytes(p + k * L), w, a[k]);
    }
    for (int k = 0; k < 8; ++k)
      V::StoreBytes(out + x + k * L, a[k]);
  }
  for (; x + L <= n; x += L) {
    F a = V::Zero();
    for (size_t j = 0; j < entries; ++j)
      a = V::Fma(V::LoadBytes(rows[j] + x), V::Set1(list[j].Weight), a);
    V::StoreBytes(out + x, a);
  }
  for (; x < n; ++x) {
    float sum = 0.0f;
    for (size_t j = 0; j < entries; ++j)
      sum = std::fma(static_cast<float>(rows[j][x]), list[j].Weight, sum);
    out[x] = SumToByte(sum);
  }
}

template <class V>
PICAXO_SIMD_TARGET void VerticalPassT(const TRasterImage& Work, TRasterImage& Dest,
                                      const std::vector<TWeightList>& lists) {
  const ptrdiff_t n = 3 * static_cast<ptrdiff_t>(Dest.Width());
  std::vector<const uint8_t*> rows;
  for (int i = 0; i < Dest.Height(); ++i) {
    const TWeightList& list = lists[i];
    rows.resize(list.size());
    for (size_t j = 0; j < list.size(); ++j)
      rows[j] = Work.ScanLine(list[j].Index);
    VerticalRowT<V>(list, rows.data(), Dest.ScanLine(i), n);
  }
}

}  // namespace
}  // namespace picaxo::resample_detail
