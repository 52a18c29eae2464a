// The resampling passes on 256-bit vectors with fused multiply-add, chosen at run time on
// processors that have them.
#include "imaging/resample_detail.h"

#ifdef PICAXO_RESAMPLE_X86
#include <immintrin.h>

#define PICAXO_SIMD_TARGET __attribute__((target("avx2,fma")))

namespace picaxo::resample_detail {
namespace {

struct VAvx2 {
  using F = __m256;
  static constexpr int kLanes = 8;

  PICAXO_SIMD_TARGET static F Zero() { return _mm256_setzero_ps(); }
  PICAXO_SIMD_TARGET static F Set1(float w) { return _mm256_set1_ps(w); }
  PICAXO_SIMD_TARGET static F Load(const float* p) { return _mm256_loadu_ps(p); }
  PICAXO_SIMD_TARGET static F Fma(F a, F b, F c) { return _mm256_fmadd_ps(a, b, c); }
  PICAXO_SIMD_TARGET static F LoadBytes(const uint8_t* p) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes));
  }
  // Clamped first, so the conversion (round to nearest, ties to even) never sees a value out of
  // range.
  PICAXO_SIMD_TARGET static __m256i ToInts(F sum) {
    const F clamped =
        _mm256_min_ps(_mm256_max_ps(sum, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
    return _mm256_cvtps_epi32(clamped);
  }
  PICAXO_SIMD_TARGET static void StoreInts(int32_t* p, F sum) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), ToInts(sum));
  }
  PICAXO_SIMD_TARGET static void StoreBytes(uint8_t* p, F sum) {
    const __m256i ints = ToInts(sum);
    const __m128i words =
        _mm_packus_epi32(_mm256_castsi256_si128(ints), _mm256_extracti128_si256(ints, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(words, words));
  }
};

}  // namespace
}  // namespace picaxo::resample_detail

#include "imaging/resample_simd.h"

namespace picaxo::resample_detail {

void HorizontalPassAvx2(const TRasterImage& Source, TRasterImage& Work,
                        const std::vector<TWeightList>& lists, int runSpan) {
  HorizontalPassT<VAvx2>(Source, Work, lists, runSpan);
}

void VerticalPassAvx2(const TRasterImage& Work, TRasterImage& Dest,
                      const std::vector<TWeightList>& lists) {
  VerticalPassT<VAvx2>(Work, Dest, lists);
}

std::unique_ptr<THorizontalRows> MakeHorizontalRowsAvx2(std::vector<TWeightList> lists,
                                                        int destWidth, int runSpan) {
  return std::make_unique<HorizontalRowsT<VAvx2>>(std::move(lists), destWidth, runSpan);
}

void VerticalRowAvx2(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                     ptrdiff_t bytes) {
  VerticalRowT<VAvx2>(list, rows, out, bytes);
}

}  // namespace picaxo::resample_detail

#endif
