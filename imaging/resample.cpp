#include "imaging/resample.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "imaging/resample_detail.h"

// Every rounding below is deliberate; a fused multiply-add the compiler invented would change
// output bytes.
#ifdef __clang__
#pragma clang fp contract(off)
#endif

namespace picaxo {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// 2^k for exponents well inside the range of normal doubles.
double PowerOfTwo(int k) {
  return std::bit_cast<double>(static_cast<uint64_t>(k + 1023) << 52);
}

}  // namespace

// The kernels take t = |x| as a float, evaluate in long double and round the result to float;
// where a formula names an intermediate as rounded to float, it is stored in a float variable.

float BoxKernel(float x) {
  return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float TriangleKernel(float x) {
  const float t = std::fabs(x);
  if (t < 1.0f) return static_cast<float>(1.0L - t);
  return 0.0f;
}

float HermiteKernel(float x) {
  const long double t = std::fabs(x);
  if (t < 1.0L) return static_cast<float>((2.0L * t - 3.0L) * (t * t) + 1.0L);
  return 0.0f;
}

float BellKernel(float x) {
  const float t = std::fabs(x);
  if (t < 0.5f) return static_cast<float>(0.75L - static_cast<long double>(t) * t);
  if (t < 1.5f) {
    const float u = static_cast<float>(t - 1.5L);
    return static_cast<float>(0.5L * (static_cast<long double>(u) * u));
  }
  return 0.0f;
}

float BSplineKernel(float x) {
  const float t = std::fabs(x);
  const float s = static_cast<float>(static_cast<long double>(t) * t);
  if (t < 1.0f) return static_cast<float>(0.5L * s * t - s + 2.0L / 3.0L);
  if (t < 2.0f) {
    const float u = static_cast<float>(2.0L - t);
    return static_cast<float>(static_cast<long double>(u) * u * (1.0L / 6.0L) * u);
  }
  return 0.0f;
}

float SincKernel(float x) {
  if (x == 0.0f) return 1.0f;
  const float y = static_cast<float>(kPi * x);
  // The long double sine is slow (its argument reduction dominated building the weight lists).
  // The double sine is within a few units of 2^-53 of the true value, so when its quotient lies
  // clearly inside the interval that rounds to one float, the long double quotient rounds to the
  // same float; only near a rounding boundary is the long double sine needed.
  const double quick = std::sin(static_cast<double>(y)) / y;
  const float rounded = static_cast<float>(quick);
  // Half the float spacing around |rounded| (a quarter below a power of two, where the spacing
  // halves); the result lies between 2^-27 and 1 in magnitude, far from subnormals.
  // The exponent and the power-of-two test are read from the float's bits: the library's frexp
  // and ldexp calls were a noticeable share of building the weight lists.
  const uint32_t bits = std::bit_cast<uint32_t>(rounded);
  const int biased = static_cast<int>((bits >> 23) & 0xFFu);
  if (biased == 0 || biased == 0xFF)
    return static_cast<float>(std::sin(static_cast<long double>(y)) / y);
  const int exponent = biased - 126;  // as frexp gives it: |rounded| = 0.5 .. 1 times 2^exponent
  const double half = PowerOfTwo(exponent - 25);
  const double magnitude = std::fabs(quick), nearest = std::fabs(static_cast<double>(rounded));
  const bool powerOfTwo = (bits & 0x7FFFFFu) == 0;
  const double below = nearest - (powerOfTwo ? half / 2 : half);
  const double above = nearest + half;
  const double margin = magnitude * 0x1p-40;
  if (magnitude - below > margin && above - magnitude > margin) return rounded;
  return static_cast<float>(std::sin(static_cast<long double>(y)) / y);
}

float Lanczos3Kernel(float x) {
  const float t = std::fabs(x);
  if (t < 3.0f) {
    const float third = static_cast<float>(t / 3.0L);
    return static_cast<float>(static_cast<long double>(SincKernel(t)) * SincKernel(third));
  }
  return 0.0f;
}

float MitchellKernel(float x) {
  const float t = std::fabs(x);
  const float s = static_cast<float>(static_cast<long double>(t) * t);
  if (t < 1.0f) {
    const float numerator = static_cast<float>(7.0L * t * s - 12.0L * s + 16.0L / 3.0L);
    return static_cast<float>(numerator / 6.0L);
  }
  if (t < 2.0f) {
    const float numerator =
        static_cast<float>(-7.0L / 3.0L * t * s + 12.0L * s - 20.0L * t + 32.0L / 3.0L);
    return static_cast<float>(numerator / 6.0L);
  }
  return 0.0f;
}

namespace resample_detail {

namespace {

// Lists of more entries than this (8 bytes each) are refused rather than allocated: only a
// degenerate request (a support of thousands, or a source millions of pixels wide but a few rows
// high shrunk to a handful of pixels) gets near it.
constexpr long double kMaxWeightEntries = 1 << 27;

// Source positions per destination position; sizes of 1 use DW / SW so that nothing divides by 0.
float Scale(int src, int dst) {
  if (src == 1 || dst == 1) return static_cast<float>(static_cast<long double>(dst) / src);
  return static_cast<float>(static_cast<long double>(dst - 1) / (src - 1));
}

// Half-width of the window of one destination position, in source positions.
float WindowHalfWidth(float scale, float support) {
  return scale < 1.0f ? static_cast<float>(static_cast<long double>(support) / scale) : support;
}

long double EstimatedEntries(int src, int dst, float support) {
  if (dst <= 0) return 0;
  const long double w = WindowHalfWidth(Scale(src, dst), support);
  return static_cast<long double>(dst) * (2.0L * w + 3.0L);
}

}  // namespace

void CheckResampleArguments(int SW, int SH, int DW, int DH, float Support) {
  if (SW < 1 || SH < 1) throw EPicaxoError("Source bitmap too small");
  if (!std::isfinite(Support) || Support < 0.0f)
    throw EPicaxoError("Invalid resampling filter support");
  if (EstimatedEntries(SW, DW, Support) > kMaxWeightEntries ||
      EstimatedEntries(SH, DH, Support) > kMaxWeightEntries)
    throw EPicaxoError("The image cannot be resampled to " + std::to_string(DW) + " x " +
                       std::to_string(DH) + " pixels with this filter");
}

std::vector<TWeightList> BuildWeightLists(int SrcSize, int DstSize, TFilterKernel Kernel,
                                          float Support) {
  std::vector<TWeightList> lists(DstSize > 0 ? DstSize : 0);
  const float scale = Scale(SrcSize, DstSize);
  const bool shrinking = scale < 1.0f;
  const float w = WindowHalfWidth(scale, Support);
  // Shrinking stretches the kernel over the wider window; its weights shrink by the same factor.
  const float fscale = shrinking ? static_cast<float>(1.0L / scale) : 1.0f;
  for (int i = 0; i < DstSize; ++i) {
    const float centre = static_cast<float>(static_cast<long double>(i) / scale);
    const auto left = static_cast<int64_t>(std::floor(static_cast<long double>(centre) - w));
    const auto right = static_cast<int64_t>(std::ceil(static_cast<long double>(centre) + w));
    TWeightList& list = lists[i];
    list.reserve(static_cast<size_t>(right - left + 1));
    for (int64_t j = left; j <= right; ++j) {
      const long double offset = static_cast<long double>(centre) - j;
      float weight;
      if (shrinking) {
        const float arg = static_cast<float>(offset / fscale);
        weight = static_cast<float>(static_cast<long double>(Kernel(arg)) / fscale);
      } else {
        weight = Kernel(static_cast<float>(offset));
      }
      if (weight == 0.0f) continue;
      // Reflect about the outermost pixel; a window wider than the whole source can reach past
      // the reflection, and such positions take the nearest edge pixel.
      int64_t n = j < 0 ? -j : (j >= SrcSize ? 2 * static_cast<int64_t>(SrcSize) - 1 - j : j);
      if (n < 0) n = 0;
      if (n >= SrcSize) n = SrcSize - 1;
      list.push_back({static_cast<int32_t>(n), weight});
    }
  }
  return lists;
}

uint8_t SumToByte(float sum) {
  if (sum > 255.0f) return 255;
  if (sum < 0.0f) return 0;
  return static_cast<uint8_t>(std::nearbyint(sum));
}

std::vector<TColumnRun> PlanColumnRuns(const std::vector<TWeightList>& lists, int runSpan,
                                       int wideSpan) {
  std::vector<TColumnRun> runs;
  const auto dstCount = static_cast<int32_t>(lists.size());
  int32_t i = 0;
  while (i < dstCount) {
    TColumnRun run{i, i, 0, 0, false};
    int32_t lo = std::numeric_limits<int32_t>::max();
    int32_t hi = std::numeric_limits<int32_t>::min();
    for (; i < dstCount; ++i) {
      int32_t listLo = lo, listHi = hi;
      for (const TWeightEntry& e : lists[i]) {
        if (e.Index < listLo) listLo = e.Index;
        if (e.Index > listHi) listHi = e.Index;
      }
      if (listLo > listHi) continue;  // an empty list fits any run
      const int64_t span = static_cast<int64_t>(listHi) - listLo + 1;
      if (span > runSpan) {
        // A list too wide to share a run gets one of its own, unless it is wider than wideSpan.
        if (lo > hi && i == run.FirstDest && span <= wideSpan) {
          lo = listLo;
          hi = listHi;
          ++i;
        }
        break;
      }
      lo = listLo;
      hi = listHi;
    }
    if (i == run.FirstDest) {
      run.Wide = true;
      ++i;
    } else if (lo <= hi) {
      run.FirstSource = lo;
      run.EndSource = hi + 1;
    }
    run.EndDest = i;
    runs.push_back(run);
  }
  return runs;
}

namespace {

// The plain horizontal loop for one row: three sums per destination column.
void HorizontalRowScalar(const uint8_t* src, uint8_t* dst, const std::vector<TWeightList>& lists) {
  const auto dw = static_cast<int>(lists.size());
  for (int i = 0; i < dw; ++i) {
    float blue = 0.0f, green = 0.0f, red = 0.0f;
    for (const TWeightEntry& e : lists[i]) {
      const uint8_t* p = src + 3 * static_cast<ptrdiff_t>(e.Index);
      blue = std::fma(static_cast<float>(p[0]), e.Weight, blue);
      green = std::fma(static_cast<float>(p[1]), e.Weight, green);
      red = std::fma(static_cast<float>(p[2]), e.Weight, red);
    }
    dst[3 * i] = SumToByte(blue);
    dst[3 * i + 1] = SumToByte(green);
    dst[3 * i + 2] = SumToByte(red);
  }
}

class THorizontalRowsScalar final : public THorizontalRows {
 public:
  explicit THorizontalRowsScalar(std::vector<TWeightList> lists) : lists_(std::move(lists)) {}
  int BlockRows() const override { return 1; }
  void Run(const uint8_t* const* src, uint8_t* const* dst, int count) override {
    for (int r = 0; r < count; ++r)
      HorizontalRowScalar(src[r], dst[r], lists_);
  }

 private:
  std::vector<TWeightList> lists_;
};

}  // namespace

std::unique_ptr<THorizontalRows> MakeHorizontalRowsScalar(std::vector<TWeightList> lists,
                                                          int destWidth) {
  lists.resize(static_cast<size_t>(destWidth > 0 ? destWidth : 0));
  return std::make_unique<THorizontalRowsScalar>(std::move(lists));
}

void VerticalRowScalar(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                       ptrdiff_t bytes) {
  for (ptrdiff_t x = 0; x < bytes; ++x) {
    float sum = 0.0f;
    for (size_t j = 0; j < list.size(); ++j)
      sum = std::fma(static_cast<float>(rows[j][x]), list[j].Weight, sum);
    out[x] = SumToByte(sum);
  }
}

void HorizontalPassScalar(const TRasterImage& Source, TRasterImage& Work,
                          const std::vector<TWeightList>& lists, int /*runSpan*/) {
  for (int k = 0; k < Source.Height(); ++k)
    HorizontalRowScalar(Source.ScanLine(k), Work.ScanLine(k), lists);
}

void VerticalPassScalar(const TRasterImage& Work, TRasterImage& Dest,
                        const std::vector<TWeightList>& lists) {
  // Rows are addressed through the raster's own stride, which exists even for a single row.
  const ptrdiff_t bytes = 3 * static_cast<ptrdiff_t>(Dest.Width());
  std::vector<const uint8_t*> rows;
  for (int i = 0; i < Dest.Height(); ++i) {
    const TWeightList& list = lists[i];
    rows.resize(list.size());
    for (size_t j = 0; j < list.size(); ++j)
      rows[j] = Work.ScanLine(list[j].Index);
    VerticalRowScalar(list, rows.data(), Dest.ScanLine(i), bytes);
  }
}

namespace {

struct TPasses {
  THorizontalPass Horizontal;
  TVerticalPass Vertical;
  TResamplePath Path;
};

bool CpuHasAvx2() {
#ifdef PICAXO_RESAMPLE_X86
  __builtin_cpu_init();  // harmless when done already; needed if called before static constructors
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

bool CpuHasAvx512() {
#ifdef PICAXO_RESAMPLE_X86
  return CpuHasAvx2() && __builtin_cpu_supports("avx512f");
#else
  return false;
#endif
}

TPasses SelectPasses(TResamplePath path) {
  if (path == TResamplePath::Auto) {
    // The 512-bit path is no faster where 512-bit operations are split in two halves, and can
    // lower the clock elsewhere; 256 bits are the default.
    path = CpuHasAvx2() ? TResamplePath::Avx2 : TResamplePath::Scalar;
  }
  if (!ResamplePathAvailable(path))
    throw EPicaxoError("This processor does not support the chosen resampling code path");
  switch (path) {
#ifdef PICAXO_RESAMPLE_X86
    case TResamplePath::Avx2:
      return {HorizontalPassAvx2, VerticalPassAvx2, path};
    case TResamplePath::Avx512:
      return {HorizontalPassAvx512, VerticalPassAvx512, path};
#endif
    default:
      return {HorizontalPassScalar, VerticalPassScalar, TResamplePath::Scalar};
  }
}

}  // namespace

bool ResamplePathAvailable(TResamplePath path) {
  switch (path) {
    case TResamplePath::Auto:
    case TResamplePath::Scalar:
      return true;
    case TResamplePath::Avx2:
      return CpuHasAvx2();
    case TResamplePath::Avx512:
      return CpuHasAvx512();
  }
  return false;
}

TRowPasses MakeRowPasses(TResamplePath path, std::vector<TWeightList> horizontalLists,
                         int destWidth, int runSpan) {
  if (path == TResamplePath::Auto) path = SelectPasses(path).Path;
  if (!ResamplePathAvailable(path))
    throw EPicaxoError("This processor does not support the chosen resampling code path");
  switch (path) {
#ifdef PICAXO_RESAMPLE_X86
    case TResamplePath::Avx2:
      return {MakeHorizontalRowsAvx2(std::move(horizontalLists), destWidth, runSpan),
              VerticalRowAvx2};
    case TResamplePath::Avx512:
      return {MakeHorizontalRowsAvx512(std::move(horizontalLists), destWidth, runSpan),
              VerticalRowAvx512};
#endif
    default:
      return {MakeHorizontalRowsScalar(std::move(horizontalLists), destWidth), VerticalRowScalar};
  }
}

namespace {

// The two passes over a source that is 24-bit, or is once widenInPlace (the source itself) has
// been converted, after every check that may throw.
void ResampleOnPath(const TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel,
                    float Support, TResamplePath path, TRasterImage* widenInPlace) {
  const int sw = Source.Width(), sh = Source.Height();
  const int dw = Dest.Width(), dh = Dest.Height();
  CheckResampleArguments(sw, sh, dw, dh, Support);
  const TPasses passes = SelectPasses(path);

  // Every row of the source, already at the destination width.
  TRasterImage work(dw, sh, TPixelFormat::pf24bit);
  if (widenInPlace) widenInPlace->SetPixelFormat(TPixelFormat::pf24bit);
  Dest.SetPixelFormat(TPixelFormat::pf24bit);
  passes.Horizontal(Source, work, BuildWeightLists(sw, dw, Kernel, Support), 0);
  passes.Vertical(work, Dest, BuildWeightLists(sh, dh, Kernel, Support));
}

}  // namespace

void ResampleImageOnPath(TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel,
                         float Support, TResamplePath path) {
  ResampleOnPath(Source, Dest, Kernel, Support, path, &Source);
}

}  // namespace resample_detail

void ResampleImage(TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel, float Support) {
  resample_detail::ResampleImageOnPath(Source, Dest, Kernel, Support,
                                       resample_detail::TResamplePath::Auto);
}

void ResampleImage(const TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel,
                   float Support) {
  if (Source.PixelFormat() != TPixelFormat::pf24bit) {
    // Row by row into the copy, never a copy in the stored format first.
    TRasterImage widened(Source.Width(), Source.Height());
    for (int y = 0; y < Source.Height(); ++y)
      Source.WidenRow(y, widened.ScanLine(y));
    resample_detail::ResampleOnPath(widened, Dest, Kernel, Support,
                                    resample_detail::TResamplePath::Auto, nullptr);
    return;
  }
  resample_detail::ResampleOnPath(Source, Dest, Kernel, Support,
                                  resample_detail::TResamplePath::Auto, nullptr);
}

}  // namespace picaxo
