#include "imaging/color_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <list>
#include <mutex>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PICAXO_COLOR_X86
// GCC 12 reports the deliberately undefined pass-through operand inside its own 512-bit
// intrinsics as uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#endif

namespace picaxo {

namespace {

constexpr std::string_view kIccId{"ICC_PROFILE\0", 12};
constexpr size_t kIccChunkData = 65533 - 14;  // payload less identifier, number and count
constexpr size_t kIccHeaderSize = 128;

// Little CMS reports refused profiles through a process-wide handler; its messages are not ours
// to print.
void SilenceLittleCms() {
  static std::once_flag once;
  std::call_once(once, [] { cmsSetLogErrorHandler(nullptr); });
}

struct TProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

// The colour space a profile declares, as the number it is: the file may hold any value, which
// the library's enumeration type cannot carry.
uint32_t ColorSpaceOf(cmsHPROFILE profile) {
  return static_cast<uint32_t>(cmsGetColorSpace(profile));
}

class TLcmsTransform final : public TColorTransform {
 public:
  TLcmsTransform(cmsHTRANSFORM direct, cmsHTRANSFORM inverted, bool cmyk)
      : direct_(direct), inverted_(inverted), cmyk_(cmyk) {}
  ~TLcmsTransform() override {
    if (direct_) cmsDeleteTransform(direct_);
    if (inverted_) cmsDeleteTransform(inverted_);
  }
  TLcmsTransform(const TLcmsTransform&) = delete;
  TLcmsTransform& operator=(const TLcmsTransform&) = delete;

  void ConvertBgr(uint8_t* pixels, int count) const override {
    if (count > 0 && !cmyk_)
      cmsDoTransform(direct_, pixels, pixels, static_cast<cmsUInt32Number>(count));
  }
  void ConvertCmyk(const uint8_t* cmyk, uint8_t* bgr, int count, bool inverted) const override {
    if (count > 0 && cmyk_)
      cmsDoTransform(inverted ? inverted_ : direct_, cmyk, bgr,
                     static_cast<cmsUInt32Number>(count));
  }
  bool Cmyk() const override { return cmyk_; }

 private:
  cmsHTRANSFORM direct_;
  cmsHTRANSFORM inverted_;
  bool cmyk_;
};

// An RGB profile made of three tone curves and a matrix (what cameras, phones and editors embed),
// converted to sRGB in integers: stored values -> linear light (Q15) -> the matrix (Q13) to
// sRGB's primaries -> sRGB's encoding. Four to five times faster than a general 8-bit transform
// and exact to a level; the same arithmetic on every path, so the bytes are reproducible.
class TMatrixShaperTransform final : public TColorTransform {
 public:
  static constexpr int kOne = 1 << 15;

  // Null when the profile is not a matrix-shaper RGB profile.
  static std::shared_ptr<TMatrixShaperTransform> Make(cmsHPROFILE source) {
    if (ColorSpaceOf(source) != cmsSigRgbData || !cmsIsMatrixShaper(source)) return nullptr;
    TProfile srgb(cmsCreate_sRGBProfile());
    double a[3][3], s[3][3];
    if (!Colorants(source, a) || !Colorants(srgb.get(), s)) return nullptr;
    double inverse[3][3];
    if (!Invert(s, inverse)) return nullptr;
    auto t = std::make_shared<TMatrixShaperTransform>();
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        double m = 0;
        for (int k = 0; k < 3; ++k)
          m += inverse[i][k] * a[k][j];
        if (!(std::abs(m) <= 8)) return nullptr;
        t->m_[i][j] = static_cast<int32_t>(std::lround(m * (1 << 13)));
      }
    // Each output sum must fit 32 bits; profiles with extreme colorants go the general way.
    for (const auto& row : t->m_) {
      int64_t largest = 1 << 12;
      for (int32_t m : row)
        largest += int64_t{std::abs(m)} * kOne;
      if (largest > std::numeric_limits<int32_t>::max()) return nullptr;
    }
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
      const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(source, curves[c]));
      if (!curve) return nullptr;
      for (int v = 0; v < 256; ++v) {
        const float x = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
        const float linear = x >= 0.0f ? std::min(x, 1.0f) : 0.0f;  // NaN counts as 0
        t->lin_[c][v] = static_cast<int32_t>(std::lround(linear * kOne));
      }
    }
    for (int i = 0; i <= kOne; ++i) {
      const double x = static_cast<double>(i) / kOne;
      const double y = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
      t->encode_[static_cast<size_t>(i)] =
          static_cast<uint8_t>(std::lround(std::clamp(y, 0.0, 1.0) * 255));
    }
    t->MakeTerms();
#ifdef PICAXO_COLOR_X86
    t->MakeWide();
#endif
    return t;
  }

  void ConvertBgr(uint8_t* p, int count) const override {
#ifdef PICAXO_COLOR_X86
    if (wide_ && count >= kWidePixels) {
      const int done = count - count % kWidePixels;
      ConvertBgrAvx512(p, done);
      p += 3 * static_cast<ptrdiff_t>(done);
      count -= done;
    }
    if (vector_ && count >= kVectorPixels) {
      const int done = count - count % kVectorPixels;
      ConvertBgrAvx2(p, done);
      p += 3 * static_cast<ptrdiff_t>(done);
      count -= done;
    }
#endif
    const uint8_t* encode = encode_.data();
    const TTerms* t = terms_;
    for (int i = 0; i < count; ++i, p += 3) {
      // One table per input channel holds its three output terms (and, in red's, the rounding).
      const TTerms& r = t[p[2]];
      const TTerms& g = t[256 + p[1]];
      const TTerms& b = t[512 + p[0]];
      p[2] = encode[Clamp((r.R + g.R + b.R) >> 13)];
      p[1] = encode[Clamp((r.G + g.G + b.G) >> 13)];
      p[0] = encode[Clamp((r.B + g.B + b.B) >> 13)];
    }
  }
  void ConvertCmyk(const uint8_t*, uint8_t*, int, bool) const override {}
  bool Cmyk() const override {
    return false;
  }

 private:
  struct alignas(16) TTerms {
    int32_t R, G, B, Unused;
  };

  static int32_t Clamp(int32_t v) {
    return v < 0 ? 0 : v > kOne ? kOne : v;
  }

  // The same sums on 256-bit vectors, two pixels a vector (each a lane group of the three terms):
  // the integer arithmetic is exact, so the bytes are the plain loop's.
  static constexpr int kVectorPixels = 8;
#ifdef PICAXO_COLOR_X86
  __attribute__((target("avx2"))) void ConvertBgrAvx2(uint8_t* p, int count) const {
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(kOne);
    const uint8_t* encode = encode_.data();
    const auto terms = [this](int table, int value) {
      return _mm_load_si128(reinterpret_cast<const __m128i*>(&terms_[256 * table + value]));
    };
    for (int i = 0; i < count; i += kVectorPixels, p += 3 * kVectorPixels) {
      alignas(32) int32_t sums[4 * kVectorPixels];
      for (int k = 0; k < kVectorPixels; k += 2) {
        const uint8_t* q = p + 3 * k;
        const __m256i r = _mm256_setr_m128i(terms(0, q[2]), terms(0, q[5]));
        const __m256i g = _mm256_setr_m128i(terms(1, q[1]), terms(1, q[4]));
        const __m256i b = _mm256_setr_m128i(terms(2, q[0]), terms(2, q[3]));
        const __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(r, g), b), 13);
        _mm256_store_si256(reinterpret_cast<__m256i*>(sums + 4 * k),
                           _mm256_min_epi32(_mm256_max_epi32(sum, zero), one));
      }
      uint8_t out[3 * kVectorPixels];
      for (int k = 0; k < kVectorPixels; ++k) {
        out[3 * k] = encode[sums[4 * k + 2]];
        out[3 * k + 1] = encode[sums[4 * k + 1]];
        out[3 * k + 2] = encode[sums[4 * k]];
      }
      std::memcpy(p, out, sizeof out);
    }
  }
  const bool vector_ = __builtin_cpu_supports("avx2");

  // The same sums on 512-bit vectors, 32 pixels a group, with no table in memory: the channels
  // are separated and joined again by byte permutes, each curve is a 256-entry table of 16-bit
  // values held in eight registers (linear light less one half, so that it fits a signed word),
  // the matrix is two word multiply-adds per output channel (the halves taken out come back in
  // the constant; 32-bit sums wrap, and the true sum fits), and the encoding is a binary search
  // of its 255 thresholds, each step a permute of the thresholds it can reach. Exact integers
  // throughout, so the bytes are the plain loop's. The search's steps wait on each other, so
  // three groups (nine searches) go through it together.
  static constexpr int kWideGroups = 3;
  static constexpr int kWidePixels = 32 * kWideGroups;
#define PICAXO_WIDE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
  PICAXO_WIDE_TARGET static __m512i Load(const void* p) {
    return _mm512_loadu_si512(p);
  }

  // The 16-bit entries of a 256-entry table for 32 indices (0 ... 255) in words.
  PICAXO_WIDE_TARGET static __m512i Lookup256(const int16_t* table, __m512i index) {
    const __m512i a = _mm512_permutex2var_epi16(Load(table), index, Load(table + 32));
    const __m512i b = _mm512_permutex2var_epi16(Load(table + 64), index, Load(table + 96));
    const __m512i c = _mm512_permutex2var_epi16(Load(table + 128), index, Load(table + 160));
    const __m512i d = _mm512_permutex2var_epi16(Load(table + 192), index, Load(table + 224));
    const __mmask32 bit6 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(128));
    return _mm512_mask_blend_epi16(bit7, _mm512_mask_blend_epi16(bit6, a, b),
                                   _mm512_mask_blend_epi16(bit6, c, d));
  }

  // One step of the search: found doubled, plus one where v reaches threshold.
  PICAXO_WIDE_TARGET static __m512i Step(__m512i v, __m512i found, __m512i threshold) {
    const __mmask32 reached = _mm512_cmp_epu16_mask(v, threshold, _MM_CMPINT_NLT);
    found = _mm512_add_epi16(found, found);
    return _mm512_mask_add_epi16(found, reached, found, _mm512_set1_epi16(1));
  }

  // The encoded values of N vectors of 32 linear values (0 ... 32768) in place: how many
  // thresholds each reaches. found holds the bits decided so far, which is also where the next
  // step's threshold sits in its table. The N searches go step by step together.
  template <int N>
  PICAXO_WIDE_TARGET void Encode(__m512i* v) const {
    __m512i found[N];
    const __m512i middle = _mm512_set1_epi16(static_cast<int16_t>(threshold_[128]));
    for (int c = 0; c < N; ++c)
      found[c] = _mm512_maskz_mov_epi16(_mm512_cmp_epu16_mask(v[c], middle, _MM_CMPINT_NLT),
                                        _mm512_set1_epi16(1));
    for (int b = 6; b >= 2; --b) {
      const __m512i table = Load(search_[b]);
      for (int c = 0; c < N; ++c)
        found[c] = Step(v[c], found[c], _mm512_permutexvar_epi16(found[c], table));
    }
    for (int c = 0; c < N; ++c)
      found[c] = Step(v[c], found[c],
                      _mm512_permutex2var_epi16(Load(search_[1]), found[c], Load(search_[1] + 32)));
    for (int c = 0; c < N; ++c) {
      const __m512i low =
          _mm512_permutex2var_epi16(Load(search_[0]), found[c], Load(search_[0] + 32));
      const __m512i high =
          _mm512_permutex2var_epi16(Load(search_[0] + 64), found[c], Load(search_[0] + 96));
      const __mmask32 upper = _mm512_test_epi16_mask(found[c], _mm512_set1_epi16(64));
      v[c] = Step(v[c], found[c], _mm512_mask_blend_epi16(upper, low, high));
    }
  }

  // Linear output channel values (0 ... 32768) of 32 pixels from the pairs (red, green) and (blue,
  // 0) of their linear values less one half, low and high halves as unpacked.
  PICAXO_WIDE_TARGET __m512i OutputChannel(int row, __m512i rgLow, __m512i rgHigh, __m512i bLow,
                                           __m512i bHigh) const {
    const __m512i rg = _mm512_set1_epi32(static_cast<int32_t>(pairRg_[row]));
    const __m512i bl = _mm512_set1_epi32(static_cast<int32_t>(pairB_[row]));
    const __m512i k = _mm512_set1_epi32(static_cast<int32_t>(constant_[row]));
    const __m512i zero = _mm512_setzero_si512(), top = _mm512_set1_epi32(kOne);
    __m512i s[2];
    for (int h = 0; h < 2; ++h) {
      const __m512i sum =
          _mm512_add_epi32(_mm512_add_epi32(_mm512_madd_epi16(h ? rgHigh : rgLow, rg),
                                            _mm512_madd_epi16(h ? bHigh : bLow, bl)),
                           k);
      s[h] = _mm512_min_epi32(_mm512_max_epi32(_mm512_srai_epi32(sum, 13), zero), top);
    }
    return _mm512_packus_epi32(s[0], s[1]);
  }

  PICAXO_WIDE_TARGET void ConvertBgrAvx512(uint8_t* p, int count) const {
    // Word i of channel c is byte 3i + c (byte 127, beyond the 96 loaded, is zero).
    alignas(64) uint8_t split[3][64];
    // Byte j of the 96 written is word j / 3 of channel j % 3, the channels' bytes lying at 0
    // (blue), 32 (green) and 64 (red) of two registers.
    alignas(64) uint8_t join[128];
    for (int i = 0; i < 32; ++i)
      for (int c = 0; c < 3; ++c) {
        split[c][2 * i] = static_cast<uint8_t>(3 * i + c);
        split[c][2 * i + 1] = 127;
        join[3 * i + c] = static_cast<uint8_t>(32 * c + i);
      }
    const __m512i zero = _mm512_setzero_si512();
    for (int i = 0; i < count; i += kWidePixels, p += 3 * kWidePixels) {
      __m512i linear[3 * kWideGroups];
      for (int g = 0; g < kWideGroups; ++g) {
        const uint8_t* q = p + 96 * g;
        const __m512i a = Load(q);
        const __m512i b =
            _mm512_zextsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + 64)));
        __m512i lin[3];
        for (int c = 0; c < 3; ++c)
          lin[c] = Lookup256(half_[2 - c], _mm512_permutex2var_epi8(a, Load(split[c]), b));
        const __m512i rgLow = _mm512_unpacklo_epi16(lin[2], lin[1]);
        const __m512i rgHigh = _mm512_unpackhi_epi16(lin[2], lin[1]);
        const __m512i bLow = _mm512_unpacklo_epi16(lin[0], zero);
        const __m512i bHigh = _mm512_unpackhi_epi16(lin[0], zero);
        for (int c = 0; c < 3; ++c)
          linear[3 * g + c] = OutputChannel(2 - c, rgLow, rgHigh, bLow, bHigh);
      }
      Encode<3 * kWideGroups>(linear);
      for (int g = 0; g < kWideGroups; ++g) {
        uint8_t* q = p + 96 * g;
        __m256i out[3];
        for (int c = 0; c < 3; ++c)
          out[c] = _mm512_cvtepi16_epi8(linear[3 * g + c]);
        const __m512i bg = _mm512_inserti64x4(_mm512_zextsi256_si512(out[0]), out[1], 1);
        const __m512i r = _mm512_zextsi256_si512(out[2]);
        _mm512_storeu_si512(q, _mm512_permutex2var_epi8(bg, Load(join), r));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(q + 64),
            _mm512_castsi512_si256(_mm512_permutex2var_epi8(bg, Load(join + 64), r)));
      }
    }
  }
#undef PICAXO_WIDE_TARGET

  // Prepares the 512-bit form when the processor has it and the profile's numbers fit it.
  void MakeWide() {
    if (!__builtin_cpu_supports("avx512bw") || !__builtin_cpu_supports("avx512vbmi")) return;
    for (int k = 1; k <= 255; ++k) {
      const auto* at = std::lower_bound(encode_.begin(), encode_.end(), k);
      if (at == encode_.end()) return;
      threshold_[k] = static_cast<uint16_t>(at - encode_.begin());
    }
    if (!std::is_sorted(encode_.begin(), encode_.end())) return;
    for (int b = 0; b <= 6; ++b)
      for (int j = 0; j < 1 << (7 - b); ++j)
        search_[b][j] = threshold_[j * (2 << b) + (1 << b)];
    for (int row = 0; row < 3; ++row) {
      int64_t total = 0;
      for (int32_t m : m_[row]) {
        if (m < -32767 || m > 32767) return;
        total += m;
      }
      pairRg_[row] = static_cast<uint16_t>(m_[row][0]) |
                     static_cast<uint32_t>(static_cast<uint16_t>(m_[row][1])) << 16;
      pairB_[row] = static_cast<uint16_t>(m_[row][2]);
      constant_[row] = static_cast<uint32_t>(total * (kOne / 2) + (1 << 12));
    }
    for (int c = 0; c < 3; ++c)
      for (int v = 0; v < 256; ++v)
        half_[c][v] = static_cast<int16_t>(lin_[c][v] - kOne / 2);
    wide_ = true;
  }

  bool wide_ = false;
  alignas(64) int16_t half_[3][256] = {};     // lin_ less one half
  alignas(64) uint16_t search_[7][128] = {};  // thresholds reachable at each step of the search
  uint16_t threshold_[256] = {};              // the least linear value encoded as k or more
  uint32_t pairRg_[3] = {}, pairB_[3] = {}, constant_[3] = {};
#endif

  void MakeTerms() {
    for (int c = 0; c < 3; ++c)
      for (int v = 0; v < 256; ++v) {
        const int32_t lin = lin_[c][v];
        const int32_t round = c == 0 ? 1 << 12 : 0;
        terms_[256 * c + v] = {m_[0][c] * lin + round, m_[1][c] * lin + round,
                               m_[2][c] * lin + round, 0};
      }
  }

  // The D50 colorants as the columns of a matrix (rows X, Y, Z).
  static bool Colorants(cmsHPROFILE profile, double m[3][3]) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
      const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
      if (!xyz) return false;
      m[0][c] = xyz->X;
      m[1][c] = xyz->Y;
      m[2][c] = xyz->Z;
    }
    return true;
  }

  static bool Invert(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::abs(det) < 1e-9) return false;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
        out[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
      }
    return true;
  }

  int32_t lin_[3][256] = {};
  int32_t m_[3][3] = {};
  TTerms terms_[3 * 256] = {};
  std::array<uint8_t, kOne + 1> encode_{};
};

// Whether converting through transform leaves every colour of the 16 x 16 x 16 grid within one
// level.
bool NearIdentity(const TColorTransform& transform) {
  std::vector<uint8_t> in, out(16 * 16 * 16 * 3);
  in.reserve(out.size());
  for (int r = 0; r < 16; ++r)
    for (int g = 0; g < 16; ++g)
      for (int b = 0; b < 16; ++b) {
        in.push_back(static_cast<uint8_t>(b * 17));
        in.push_back(static_cast<uint8_t>(g * 17));
        in.push_back(static_cast<uint8_t>(r * 17));
      }
  out = in;
  transform.ConvertBgr(out.data(), 16 * 16 * 16);
  for (size_t i = 0; i < in.size(); ++i)
    if (std::abs(int{in[i]} - int{out[i]}) > 1) return false;
  return true;
}

// One made transform per profile (and pixel kind); null stands for "sRGB, nothing to do".
struct TCacheEntry {
  std::string Key;
  std::shared_ptr<const TColorTransform> Transform;
  std::string Problem;  // set when the profile cannot be used
};

TCacheEntry MakeEntry(const std::string& data, TDecodedColors colors) {
  SilenceLittleCms();
  TCacheEntry entry;
  TProfile source(cmsOpenProfileFromMem(data.data(), static_cast<cmsUInt32Number>(data.size())));
  if (!source) {
    entry.Problem = "the colour profile cannot be read";
    return entry;
  }
  const uint32_t space = ColorSpaceOf(source.get());
  const bool cmyk = colors == TDecodedColors::Cmyk;
  if (colors == TDecodedColors::Gray) return entry;  // one-channel pictures stay as they are
  if ((cmyk && space != cmsSigCmykData) || (!cmyk && space != cmsSigRgbData)) {
    entry.Problem = "the colour profile does not fit the picture's colours";
    return entry;
  }
  if (!cmyk) {
    if (std::shared_ptr<TColorTransform> fast = TMatrixShaperTransform::Make(source.get())) {
      if (!NearIdentity(*fast)) entry.Transform = std::move(fast);
      return entry;
    }
  }
  TProfile srgb(cmsCreate_sRGBProfile());
  const cmsUInt32Number flags = cmyk ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
  cmsHTRANSFORM direct = cmsCreateTransform(source.get(), cmyk ? TYPE_CMYK_8 : TYPE_BGR_8,
                                            srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL, flags);
  if (!direct) {
    entry.Problem = "the colour profile cannot be used";
    return entry;
  }
  cmsHTRANSFORM inverted = nullptr;
  if (cmyk) {
    inverted = cmsCreateTransform(source.get(), TYPE_CMYK_8_REV, srgb.get(), TYPE_BGR_8,
                                  INTENT_PERCEPTUAL, flags);
    if (!inverted) {
      cmsDeleteTransform(direct);
      entry.Problem = "the colour profile cannot be used";
      return entry;
    }
  }
  auto transform = std::make_shared<TLcmsTransform>(direct, inverted, cmyk);
  if (!cmyk && NearIdentity(*transform)) return entry;  // sRGB
  entry.Transform = std::move(transform);
  return entry;
}

// The few profiles of the last photos: a folder of one camera's photos makes its transform once.
TCacheEntry CachedEntry(const std::string& data, TDecodedColors colors) {
  static std::mutex mutex;
  static std::list<TCacheEntry> cache;
  constexpr size_t kCacheSize = 8;
  std::string key = data;
  key += static_cast<char>(colors);
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = cache.begin(); it != cache.end(); ++it)
      if (it->Key == key) {
        cache.splice(cache.begin(), cache, it);
        return cache.front();
      }
  }
  TCacheEntry entry = MakeEntry(data, colors);
  entry.Key = std::move(key);
  std::lock_guard<std::mutex> lock(mutex);
  cache.push_front(entry);
  if (cache.size() > kCacheSize) cache.pop_back();
  return entry;
}

}  // namespace

TIccProfile AssembleIccProfile(const std::vector<TJpegSegment>& segments) {
  TIccProfile profile;
  std::vector<std::string_view> chunks;
  int count = -1;
  bool consistent = true;
  for (const TJpegSegment& s : segments) {
    if (s.Marker != 0xE2 || !PayloadStartsWith(s.Payload, kIccId)) continue;
    if (s.Payload.size() < kIccId.size() + 2) {
      consistent = false;
      continue;
    }
    const int number = static_cast<uint8_t>(s.Payload[kIccId.size()]);
    const int total = static_cast<uint8_t>(s.Payload[kIccId.size() + 1]);
    if (count < 0) {
      count = total;
      chunks.assign(static_cast<size_t>(total), std::string_view());
    }
    if (total != count || number < 1 || number > count || chunks[number - 1].data()) {
      consistent = false;
      continue;
    }
    chunks[static_cast<size_t>(number - 1)] = s.Payload.substr(kIccId.size() + 2);
  }
  if (count < 0) return profile;
  profile.State = TIccProfile::TState::Broken;
  if (!consistent || count == 0 ||
      std::any_of(chunks.begin(), chunks.end(), [](std::string_view c) { return !c.data(); })) {
    profile.Problem = "its chunks are missing or inconsistent";
    return profile;
  }
  for (std::string_view chunk : chunks)
    profile.Data.append(chunk);
  size_t declared = 0;
  if (profile.Data.size() >= kIccHeaderSize)
    for (int i = 0; i < 4; ++i)
      declared = (declared << 8) | static_cast<uint8_t>(profile.Data[static_cast<size_t>(i)]);
  if (profile.Data.size() < kIccHeaderSize || declared < kIccHeaderSize ||
      declared > profile.Data.size()) {
    profile.Data.clear();
    profile.Problem = "it is truncated";
    return profile;
  }
  profile.Data.resize(declared);
  profile.State = TIccProfile::TState::Present;
  return profile;
}

std::shared_ptr<const TColorTransform> ColorTransformFor(const TIccProfile& profile,
                                                         TDecodedColors colors,
                                                         std::string* warning) {
  if (profile.State == TIccProfile::TState::Absent) return nullptr;
  if (profile.State == TIccProfile::TState::Broken) {
    if (warning) *warning = "the colour profile was ignored: " + profile.Problem;
    return nullptr;
  }
  TCacheEntry entry = CachedEntry(profile.Data, colors);
  if (!entry.Problem.empty() && warning) *warning = entry.Problem + "; it was ignored";
  return entry.Transform;
}

bool IsSrgbProfile(std::string_view profile) {
  TIccProfile p;
  p.State = TIccProfile::TState::Present;
  p.Data = std::string(profile);
  const TCacheEntry entry = CachedEntry(p.Data, TDecodedColors::Rgb);
  return entry.Problem.empty() && !entry.Transform;
}

std::string IccProfileSegments(std::string_view profile) {
  const size_t count = (profile.size() + kIccChunkData - 1) / kIccChunkData;
  if (count == 0 || count > 255) return {};
  std::string segments;
  for (size_t i = 0; i < count; ++i) {
    std::string payload(kIccId);
    payload += static_cast<char>(i + 1);
    payload += static_cast<char>(count);
    payload.append(profile.substr(i * kIccChunkData, kIccChunkData));
    segments += MakeSegment(0xE2, payload);
  }
  return segments;
}

std::shared_ptr<const TColorTransform> SourceColorTransform(std::string_view file,
                                                            TColorProfilePolicy policy,
                                                            std::string* warning) {
  if (policy != TColorProfilePolicy::Convert) return nullptr;
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  const int components = JpegComponentCount(segments);
  const TDecodedColors colors = components == 4   ? TDecodedColors::Cmyk
                                : components == 1 ? TDecodedColors::Gray
                                                  : TDecodedColors::Rgb;
  return ColorTransformFor(AssembleIccProfile(segments), colors, warning);
}

}  // namespace picaxo
