// The resampling passes on 512-bit vectors, chosen at run time on processors that have them.
#include "imaging/resample_detail.h"

#ifdef PICAXO_RESAMPLE_X86
#include <immintrin.h>

// GCC 12 reports the deliberately undefined pass-through operand inside its own 512-bit
// conversion intrinsics as maybe uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define PICAXO_SIMD_TARGET __attribute__((target("avx512f,avx2,fma")))

namespace picaxo::resample_detail {
namespace {

struct VAvx512 {
  using F = __m512;
  static constexpr int kLanes = 16;

  PICAXO_SIMD_TARGET static F Zero() { return _mm512_setzero_ps(); }
  PICAXO_SIMD_TARGET static F Set1(float w) { return _mm512_set1_ps(w); }
  PICAXO_SIMD_TARGET static F Load(const float* p) { return _mm512_loadu_ps(p); }
  PICAXO_SIMD_TARGET static F Fma(F a, F b, F c) { return _mm512_fmadd_ps(a, b, c); }
  PICAXO_SIMD_TARGET static F LoadBytes(const uint8_t* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(bytes));
  }
  // Clamped first, so the conversion (round to nearest, ties to even) never sees a value out of
  // range.
  PICAXO_SIMD_TARGET static __m512i ToInts(F sum) {
    const F clamped =
        _mm512_min_ps(_mm512_max_ps(sum, _mm512_setzero_ps()), _mm512_set1_ps(255.0f));
    return _mm512_cvtps_epi32(clamped);
  }
  PICAXO_SIMD_TARGET static void StoreInts(int32_t* p, F sum) {
    _mm512_storeu_si512(p, ToInts(sum));
  }
  PICAXO_SIMD_TARGET static void StoreBytes(uint8_t* p, F sum) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm512_cvtepi32_epi8(ToInts(sum)));
  }
};

}  // namespace
}  // namespace picaxo::resample_detail

#include "imaging/resample_simd.h"

namespace picaxo::resample_detail {

void HorizontalPassAvx512(const TRasterImage& Source, TRasterImage& Work,
                          const std::vector<TWeightList>& lists, int runSpan) {
  HorizontalPassT<VAvx512>(Source, Work, lists, runSpan);
}

void VerticalPassAvx512(const TRasterImage& Work, TRasterImage& Dest,
                        const std::vector<TWeightList>& lists) {
  VerticalPassT<VAvx512>(Work, Dest, lists);
}

std::unique_ptr<THorizontalRows> MakeHorizontalRowsAvx512(std::vector<TWeightList> lists,
                                                          int destWidth, int runSpan) {
  return std::make_unique<HorizontalRowsT<VAvx512>>(std::move(lists), destWidth, runSpan);
}

void VerticalRowAvx512(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                       ptrdiff_t bytes) {
  VerticalRowT<VAvx512>(list, rows, out, bytes);
}

}  // namespace picaxo::resample_detail

#endif
