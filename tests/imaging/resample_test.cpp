#include "imaging/resample.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/resample_detail.h"

namespace picaxo {
namespace {

using resample_detail::BuildWeightLists;
using resample_detail::TResamplePath;
using resample_detail::TWeightList;

constexpr long double kPi = 3.141592653589793238462643383279502884L;

std::vector<int> Indices(const TWeightList& list) {
  std::vector<int> out;
  for (const auto& e : list)
    out.push_back(e.Index);
  return out;
}

float WeightSum(const TWeightList& list) {
  long double sum = 0;
  for (const auto& e : list)
    sum += e.Weight;
  return static_cast<float>(sum);
}

TRasterImage Noise(int width, int height, unsigned seed) {
  TRasterImage image(width, height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 3 * width; ++x) {
      // Mostly extremes, so that ringing pushes sums beyond 0..255 and the clamping is exercised.
      const unsigned v = rng() % 4;
      image.ScanLine(y)[x] = v == 0 ? 0 : v == 1 ? 255 : static_cast<uint8_t>(rng());
    }
  }
  return image;
}

TRasterImage Uniform(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
  TRasterImage image(width, height);
  image.FillRect(0, 0, width, height, (uint32_t{b} << 16) | (uint32_t{g} << 8) | r);
  return image;
}

// Pixel bytes only, without row padding.
std::vector<uint8_t> Pixels(const TRasterImage& image) {
  std::vector<uint8_t> out;
  for (int y = 0; y < image.Height(); ++y)
    out.insert(out.end(), image.ScanLine(y), image.ScanLine(y) + 3 * image.Width());
  return out;
}

TRasterImage Resampled(const TRasterImage& source, int width, int height, TResamplePath path,
                       TFilterKernel kernel = Lanczos3Kernel, float support = 3.0f) {
  TRasterImage src = source;
  TRasterImage dst(width, height);
  resample_detail::ResampleImageOnPath(src, dst, kernel, support, path);
  return dst;
}

std::vector<TResamplePath> VectorPaths() {
  std::vector<TResamplePath> paths;
  for (TResamplePath p : {TResamplePath::Avx2, TResamplePath::Avx512})
    if (resample_detail::ResamplePathAvailable(p)) paths.push_back(p);
  return paths;
}

TEST(ResampleKernels, ValuesAtTheirEdges) {
  EXPECT_EQ(BoxKernel(0.5f), 1.0f);
  EXPECT_EQ(BoxKernel(-0.5f), 0.0f);
  EXPECT_EQ(BoxKernel(0.0f), 1.0f);
  EXPECT_EQ(TriangleKernel(1.0f), 0.0f);
  EXPECT_EQ(TriangleKernel(-0.25f), 0.75f);
  EXPECT_EQ(HermiteKernel(0.0f), 1.0f);
  EXPECT_EQ(HermiteKernel(0.5f), 0.5f);
  EXPECT_EQ(HermiteKernel(1.0f), 0.0f);
  EXPECT_EQ(BellKernel(0.5f), 0.5f);
  EXPECT_EQ(BellKernel(0.0f), 0.75f);
  EXPECT_EQ(BellKernel(1.0f), 0.125f);
  EXPECT_EQ(BellKernel(1.5f), 0.0f);
  EXPECT_EQ(BSplineKernel(0.0f), static_cast<float>(2.0L / 3.0L));
  EXPECT_EQ(BSplineKernel(1.0f), static_cast<float>(1.0L / 6.0L));
  EXPECT_EQ(BSplineKernel(2.0f), 0.0f);
  EXPECT_EQ(Lanczos3Kernel(0.0f), 1.0f);
  EXPECT_EQ(Lanczos3Kernel(3.0f), 0.0f);
  EXPECT_EQ(Lanczos3Kernel(-3.0f), 0.0f);
  EXPECT_EQ(MitchellKernel(0.0f), static_cast<float>(static_cast<float>(16.0L / 3.0L) / 6.0L));
  EXPECT_NEAR(MitchellKernel(0.0f), 0.8889f, 1e-4f);
  // The numerator is rounded to float before the division by 6.
  EXPECT_EQ(MitchellKernel(1.0f), static_cast<float>(static_cast<float>(1.0L / 3.0L) / 6.0L));
  EXPECT_EQ(MitchellKernel(2.0f), 0.0f);
  EXPECT_EQ(SincKernel(0.0f), 1.0f);
}

TEST(ResampleKernels, SincRoundsPiXToFloatSoWholeNumbersAreTinyButNotZero) {
  const float pi = static_cast<float>(kPi);
  const float sinc1 = static_cast<float>(std::sin(static_cast<long double>(pi)) / pi);
  EXPECT_EQ(SincKernel(1.0f), sinc1);
  EXPECT_NE(sinc1, 0.0f);
  EXPECT_LT(std::fabs(sinc1), 1e-7f);
  const float third = static_cast<float>(1.0L / 3.0L);
  EXPECT_EQ(Lanczos3Kernel(1.0f),
            static_cast<float>(static_cast<long double>(sinc1) * SincKernel(third)));
  for (float x : {1.0f, 2.0f, -1.0f, -2.0f}) {
    EXPECT_NE(Lanczos3Kernel(x), 0.0f) << x;
    EXPECT_LT(std::fabs(Lanczos3Kernel(x)), 1e-7f) << x;
  }
}

TEST(ResampleKernels, SincIsTheLongDoubleQuotientRoundedOnce) {
  const auto reference = [](float x) {
    if (x == 0.0f) return 1.0f;
    const float y = static_cast<float>(kPi * x);
    return static_cast<float>(std::sin(static_cast<long double>(y)) / y);
  };
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> any(-3.5f, 3.5f);
  for (int i = 0; i < 100000; ++i) {
    const float x = any(rng);
    ASSERT_EQ(SincKernel(x), reference(x)) << x;
  }
  for (int i = -4096; i <= 4096; ++i) {
    const float x = static_cast<float>(i) / 1024.0f;
    ASSERT_EQ(SincKernel(x), reference(x)) << x;
    ASSERT_EQ(SincKernel(std::nextafter(x, 4.0f)), reference(std::nextafter(x, 4.0f))) << x;
  }
}

TEST(ResampleKernels, SymmetricAndZeroBeyondSupport) {
  for (const TResampleKernel& k : ResampleKernels) {
    for (float x = 0.0f; x < 4.0f; x += 0.0625f) {
      if (k.Kernel != BoxKernel) {
        EXPECT_EQ(k.Kernel(x), k.Kernel(-x)) << k.Name << " " << x;
      }
      if (x >= k.Support && !(k.Kernel == BoxKernel && x == 0.5f)) {
        EXPECT_EQ(k.Kernel(x), 0.0f) << k.Name << " " << x;
      }
    }
  }
}

TEST(ResampleKernels, TableOrderNamesAndSupports) {
  const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
  const TFilterKernel kernels[] = {BoxKernel,     TriangleKernel, HermiteKernel, BellKernel,
                                   BSplineKernel, Lanczos3Kernel, MitchellKernel};
  const float supports[] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  ASSERT_EQ(ResampleKernels.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_STREQ(ResampleKernels[i].Name, names[i]);
    EXPECT_EQ(ResampleKernels[i].Kernel, kernels[i]);
    EXPECT_EQ(ResampleKernels[i].Support, supports[i]);
  }
}

TEST(WeightLists, ShrinkingHundredToFiftyScansTheWorkedWindows) {
  const auto lists = BuildWeightLists(100, 50, Lanczos3Kernel, 3.0f);
  ASSERT_EQ(lists.size(), 50u);
  // Column 0 scans j = -7 .. 7; the outermost weights are 0 and dropped, negative j reflect.
  EXPECT_EQ(Indices(lists[0]), (std::vector<int>{6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6}));
  // Column 49 scans j = 92 .. 106; j = 100 .. 105 reflect to 99 .. 94.
  EXPECT_EQ(Indices(lists[49]),
            (std::vector<int>{93, 94, 95, 96, 97, 98, 99, 99, 98, 97, 96, 95, 94}));
  // Shrinking divides each kernel value by 1 / xscale.
  const float xscale = static_cast<float>(49.0L / 99.0L);
  const float fscale = static_cast<float>(1.0L / xscale);
  EXPECT_EQ(lists[0][6].Weight,
            static_cast<float>(static_cast<long double>(Lanczos3Kernel(0.0f)) / fscale));
  for (const auto& list : lists)
    EXPECT_NEAR(WeightSum(list), 0.997f, 0.003f);
}

TEST(WeightLists, EnlargingHundredToTwoHundredCentresBetweenPixels) {
  const auto lists = BuildWeightLists(100, 200, Lanczos3Kernel, 3.0f);
  ASSERT_EQ(lists.size(), 200u);
  const float centre = static_cast<float>(1.0L / static_cast<float>(199.0L / 99.0L));
  EXPECT_NEAR(centre, 0.4975f, 1e-4f);
  // j = -3 and j = 4 lie beyond the support; j = -2 .. 3 remain.
  EXPECT_EQ(Indices(lists[1]), (std::vector<int>{2, 1, 0, 1, 2, 3}));
  EXPECT_EQ(lists[1][2].Weight, Lanczos3Kernel(centre));
  for (const auto& list : lists) {
    EXPECT_GE(WeightSum(list), 0.993f);
    EXPECT_LE(WeightSum(list), 1.0001f);
  }
}

TEST(WeightLists, TinyLanczosWeightsAtWholeNumbersAreKept) {
  const auto lists = BuildWeightLists(10, 10, Lanczos3Kernel, 3.0f);
  // Same size: offsets are whole numbers, so only the offsets +-3 give exactly 0.
  EXPECT_EQ(Indices(lists[0]), (std::vector<int>{2, 1, 0, 1, 2}));
  EXPECT_EQ(lists[5].size(), 5u);
  EXPECT_EQ(lists[5][2].Weight, 1.0f);
  EXPECT_NE(lists[5][1].Weight, 0.0f);
}

TEST(WeightLists, ReflectionAtBothEdges) {
  // 10 -> 19: xscale = 2, so the last column centres on source column 9 and reaches j = 11.
  const auto lists = BuildWeightLists(10, 19, Lanczos3Kernel, 3.0f);
  EXPECT_EQ(Indices(lists[0]), (std::vector<int>{2, 1, 0, 1, 2}));   // j = -2 reads 2
  EXPECT_EQ(Indices(lists[18]), (std::vector<int>{7, 8, 9, 9, 8}));  // j = 10, 11 read 9, 8
}

TEST(WeightLists, PositionsBeyondOneReflectionTakeTheNearestEdge) {
  // Two source pixels enlarged: j = -2 reflects to 2 (clamped to 1), j = 2 reflects to 1.
  EXPECT_EQ(Indices(BuildWeightLists(2, 5, Lanczos3Kernel, 3.0f)[0]),
            (std::vector<int>{1, 1, 0, 1, 1}));
  for (int src = 1; src <= 17; ++src) {
    for (int dst = 1; dst <= 17; ++dst) {
      for (const TResampleKernel& k : ResampleKernels) {
        for (const auto& list : BuildWeightLists(src, dst, k.Kernel, k.Support)) {
          for (const auto& e : list) {
            ASSERT_GE(e.Index, 0);
            ASSERT_LT(e.Index, src) << k.Name << " " << src << " -> " << dst;
          }
        }
      }
    }
  }
}

TEST(WeightLists, SizeOneUsesTheRatioOfSizes) {
  // 1 -> 4: xscale = 4, centres at i / 4 of the single source pixel.
  const auto up = BuildWeightLists(1, 4, TriangleKernel, 1.0f);
  ASSERT_EQ(up.size(), 4u);
  float sum = 0.0f;
  for (const auto& e : up[1])
    sum += e.Weight;
  EXPECT_EQ(sum, 1.0f);  // 0.75 at j = 0 and 0.25 at j = 1, both reading pixel 0
  // 8 -> 1: xscale = 1/8, one wide window centred on the first pixel.
  const auto down = BuildWeightLists(8, 1, TriangleKernel, 1.0f);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].size(), 15u);  // j = -7 .. 7 with weights (8 - |j|) / 64
  EXPECT_EQ(WeightSum(down[0]), 1.0f);
}

TEST(ResampleImage, SumsBecomeBytesWithClampAndTiesToEven) {
  EXPECT_EQ(resample_detail::SumToByte(255.4f), 255);
  EXPECT_EQ(resample_detail::SumToByte(254.5f), 254);
  EXPECT_EQ(resample_detail::SumToByte(253.5f), 254);
  EXPECT_EQ(resample_detail::SumToByte(0.5f), 0);
  EXPECT_EQ(resample_detail::SumToByte(-3.0f), 0);
  EXPECT_EQ(resample_detail::SumToByte(1000.0f), 255);
  // Through every path: Triangle 2 -> 3 gives the middle column 0.5 * a + 0.5 * b.
  for (TResamplePath path : {TResamplePath::Scalar, TResamplePath::Avx2, TResamplePath::Avx512}) {
    if (!resample_detail::ResamplePathAvailable(path)) continue;
    TRasterImage src(2, 1);
    const uint8_t px[6] = {254, 253, 0, 255, 254, 1};
    std::memcpy(src.ScanLine(0), px, 6);
    const TRasterImage dst = Resampled(src, 3, 1, path, TriangleKernel, 1.0f);
    EXPECT_EQ(dst.ScanLine(0)[3], 254);  // 254.5
    EXPECT_EQ(dst.ScanLine(0)[4], 254);  // 253.5
    EXPECT_EQ(dst.ScanLine(0)[5], 0);    // 0.5
  }
}

TEST(ResampleImage, RingingIsClampedNotWrapped) {
  // A hard step enlarged with Lanczos3 overshoots on both sides of the edge. One row, so the
  // vertical pass leaves the bytes alone and each byte is its horizontal sum made a byte.
  TRasterImage src(8, 1);
  for (int x = 0; x < 8; ++x)
    std::memset(src.ScanLine(0) + 3 * x, x < 4 ? 0 : 255, 3);
  const auto lists = BuildWeightLists(8, 29, Lanczos3Kernel, 3.0f);
  for (TResamplePath path : {TResamplePath::Scalar, TResamplePath::Avx2, TResamplePath::Avx512}) {
    if (!resample_detail::ResamplePathAvailable(path)) continue;
    const TRasterImage dst = Resampled(src, 29, 1, path);
    int below = 0, above = 0;
    for (int x = 0; x < 29; ++x) {
      long double sum = 0;
      for (const auto& e : lists[x])
        sum += (e.Index < 4 ? 0 : 255) * static_cast<long double>(e.Weight);
      const int v = dst.ScanLine(0)[3 * x];
      if (sum < -0.5L) {
        ++below;
        EXPECT_EQ(v, 0) << x;
      } else if (sum > 255.5L) {
        ++above;
        EXPECT_EQ(v, 255) << x;
      } else {
        EXPECT_NEAR(v, static_cast<double>(sum), 0.5001) << x;
      }
    }
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
  }
}

TEST(ResampleImage, UniformWhiteComesOutAtMostTwoLevelsDarker) {
  const TRasterImage white = Uniform(37, 23, 255, 255, 255);
  for (auto [w, h] : {std::pair{100, 61}, std::pair{11, 7}, std::pair{37, 23}, std::pair{5, 90}}) {
    const TRasterImage out = Resampled(white, w, h, TResamplePath::Auto);
    for (uint8_t v : Pixels(out)) {
      ASSERT_GE(v, 253) << w << "x" << h;
    }
  }
}

TEST(ResampleImage, EverySizeOfOnePixelWorksOnEveryPath) {
  const int sizes[][2] = {{1, 1}, {1, 6}, {6, 1}, {5, 4}, {2, 3}};
  const std::vector<TResamplePath> paths = VectorPaths();
  for (const auto& s : sizes) {
    for (const auto& d : sizes) {
      const std::string what = std::to_string(s[0]) + "x" + std::to_string(s[1]) + " -> " +
                               std::to_string(d[0]) + "x" + std::to_string(d[1]);
      // With Lanczos3 the weights of every list sum to nearly 1, also when the window reaches
      // far beyond a source of one or two pixels, so a flat colour stays flat.
      const TRasterImage out =
          Resampled(Uniform(s[0], s[1], 10, 128, 250), d[0], d[1], TResamplePath::Scalar);
      ASSERT_EQ(out.Width(), d[0]);
      ASSERT_EQ(out.Height(), d[1]);
      const std::vector<uint8_t> bytes = Pixels(out);
      for (size_t i = 0; i < bytes.size(); i += 3) {
        ASSERT_NEAR(bytes[i], 10, 1) << what;
        ASSERT_NEAR(bytes[i + 1], 128, 2) << what;
        ASSERT_NEAR(bytes[i + 2], 250, 3) << what;
      }
      // Every kernel runs, and every path agrees with the plain loop.
      const TRasterImage noise = Noise(s[0], s[1], 7);
      for (const auto& k : ResampleKernels) {
        const TRasterImage expected =
            Resampled(noise, d[0], d[1], TResamplePath::Scalar, k.Kernel, k.Support);
        for (TResamplePath p : paths)
          ASSERT_EQ(Pixels(Resampled(noise, d[0], d[1], p, k.Kernel, k.Support)), Pixels(expected))
              << k.Name << " " << what;
      }
    }
  }
}

TEST(ResampleImage, EmptySourceFailsBeforeAnythingChanges) {
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
    TRasterImage src(w, h, TPixelFormat::pf8bit);
    TRasterImage dst(3, 2, TPixelFormat::pf8bit);
    std::memset(dst.ScanLine(0), 0x5A, dst.ByteSize());
    try {
      ResampleImage(src, dst, Lanczos3Kernel, 3.0f);
      FAIL() << "no error for " << w << "x" << h;
    } catch (const EPicaxoError& e) {
      EXPECT_STREQ(e.what(), "Source bitmap too small");
    }
    EXPECT_EQ(src.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(dst.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(dst.Width(), 3);
    EXPECT_EQ(dst.Height(), 2);
    for (size_t i = 0; i < dst.ByteSize(); ++i)
      ASSERT_EQ(dst.ScanLine(0)[i], 0x5A);
  }
}

TEST(ResampleImage, UnusableSupportFailsCleanly) {
  for (float support : {-1.0f, NAN, INFINITY, 1e30f}) {
    TRasterImage src = Uniform(4, 4, 1, 2, 3);
    TRasterImage dst(2, 2);
    EXPECT_THROW(ResampleImage(src, dst, Lanczos3Kernel, support), EPicaxoError) << support;
  }
}

TEST(ResampleImage, ConvertsSourceAndDestTo24BitAndKeepsDestSize) {
  TRasterImage src(4, 3, TPixelFormat::pf8bit);
  src.Palette() = {{0, 0, 0, 0}, {40, 50, 60, 0}};
  std::memset(src.ScanLine(0), 1, src.ByteSize());
  TRasterImage dst(7, 5, TPixelFormat::pf8bit);
  ResampleImage(src, dst, BoxKernel, 0.5f);
  EXPECT_EQ(src.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(dst.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(dst.Width(), 7);
  EXPECT_EQ(dst.Height(), 5);
  const std::vector<uint8_t> bytes = Pixels(dst);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    ASSERT_EQ(bytes[i], 40);
    ASSERT_EQ(bytes[i + 2], 60);
  }
}

TEST(ResampleImage, ZeroSizedDestinationIsAllowed) {
  TRasterImage src = Uniform(4, 4, 1, 2, 3);
  TRasterImage dst(0, 3);
  ResampleImage(src, dst, Lanczos3Kernel, 3.0f);
  EXPECT_EQ(dst.Width(), 0);
  TRasterImage dst2(3, 0);
  ResampleImage(src, dst2, Lanczos3Kernel, 3.0f);
  EXPECT_EQ(dst2.Height(), 0);
}

TEST(ResamplePaths, VectorPathsMatchThePlainLoopOnAwkwardSizes) {
  const std::vector<TResamplePath> paths = VectorPaths();
  if (paths.empty()) GTEST_SKIP() << "no vector path on this processor";
  for (int sw = 1; sw <= 17; ++sw) {
    for (int dw = 1; dw <= 17; ++dw) {
      const TRasterImage src = Noise(sw, 3 + (sw + dw) % 5, sw * 31 + dw);
      const int dh = 1 + (sw * dw) % 17;
      const TRasterImage expected = Resampled(src, dw, dh, TResamplePath::Scalar);
      for (TResamplePath p : paths)
        ASSERT_EQ(Pixels(Resampled(src, dw, dh, p)), Pixels(expected)) << sw << " -> " << dw;
    }
  }
  // Widths and heights around the vector widths, shrinking and enlarging, every kernel.
  for (auto [sw, sh, dw, dh] : {std::array{33, 47, 65, 17}, std::array{130, 71, 31, 129},
                                std::array{63, 35, 127, 97}, std::array{200, 40, 33, 40},
                                // windows wider than the run buffer, and wider than any buffer
                                std::array{3000, 5, 2, 3}, std::array{5000, 3, 1, 2}}) {
    const TRasterImage src = Noise(sw, sh, sw + sh);
    for (const auto& k : ResampleKernels) {
      const TRasterImage expected =
          Resampled(src, dw, dh, TResamplePath::Scalar, k.Kernel, k.Support);
      for (TResamplePath p : paths)
        ASSERT_EQ(Pixels(Resampled(src, dw, dh, p, k.Kernel, k.Support)), Pixels(expected))
            << k.Name << " " << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
  }
}

TEST(ResamplePaths, SplittingIntoRunsAndWideColumnsKeepsTheBytes) {
  using resample_detail::PlanColumnRuns;
  const auto lists = BuildWeightLists(60, 9, Lanczos3Kernel, 3.0f);
  // Each list spans 23 to 46 source columns: a span of 50 splits the columns into several runs,
  // 20 makes every column wide.
  for (int span : {1000, 50, 20}) {
    const auto runs = PlanColumnRuns(lists, span, span);
    int next = 0;
    for (const auto& run : runs) {
      EXPECT_EQ(run.FirstDest, next);
      EXPECT_GT(run.EndDest, run.FirstDest);
      if (run.Wide) {
        EXPECT_EQ(run.EndDest, run.FirstDest + 1);
      } else {
        EXPECT_LE(run.EndSource - run.FirstSource, span);
      }
      next = run.EndDest;
    }
    EXPECT_EQ(next, 9);
  }
  EXPECT_EQ(PlanColumnRuns(lists, 1000, 1000).size(), 1u);
  EXPECT_GT(PlanColumnRuns(lists, 50, 50).size(), 2u);
  EXPECT_TRUE(PlanColumnRuns(lists, 20, 20)[4].Wide);
  // Lists wider than a run but within wideSpan get runs of their own.
  const auto single = PlanColumnRuns(lists, 20, 60);
  ASSERT_EQ(single.size(), 9u);
  for (const auto& run : single)
    EXPECT_FALSE(run.Wide);

  const TRasterImage src = Noise(60, 37, 3);
  TRasterImage expected(9, 37);
  resample_detail::HorizontalPassScalar(src, expected, lists);
#ifdef PICAXO_RESAMPLE_X86
  for (int span : {1000, 50, 20}) {
    TRasterImage work(9, 37);
    if (resample_detail::ResamplePathAvailable(TResamplePath::Avx2)) {
      resample_detail::HorizontalPassAvx2(src, work, lists, span);
      EXPECT_EQ(Pixels(work), Pixels(expected)) << span;
    }
    if (resample_detail::ResamplePathAvailable(TResamplePath::Avx512)) {
      resample_detail::HorizontalPassAvx512(src, work, lists, span);
      EXPECT_EQ(Pixels(work), Pixels(expected)) << span;
    }
  }
#endif
}

// Decodes a JPEG file to 24-bit blue-green-red rows with libjpeg, at 1/denominator of its size.
TRasterImage DecodeJpeg(const std::string& path, unsigned denominator = 1) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot open " + path);
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.dct_method = JDCT_FLOAT;
  cinfo.scale_num = 1;
  cinfo.scale_denom = denominator;
  jpeg_start_decompress(&cinfo);
  TRasterImage image(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.ScanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return image;
}

TEST(ResamplePaths, VectorPathsMatchThePlainLoopOnAPhoto) {
  const std::vector<TResamplePath> paths = VectorPaths();
  if (paths.empty()) GTEST_SKIP() << "no vector path on this processor";
  const TRasterImage photo =
      DecodeJpeg(std::string(PICAXO_TESTDATA) + "/photos/Path_by_Risto_Saukonpaa.jpg");
  ASSERT_EQ(photo.Width(), 2560);
  TRasterImage crop(601, 397);
  crop.CopyRect(0, 0, photo, 1100, 700, 601, 397);
  for (auto [dw, dh] : {std::pair{102, 67}, std::pair{1000, 661}, std::pair{600, 397}}) {
    const TRasterImage expected = Resampled(crop, dw, dh, TResamplePath::Scalar);
    for (TResamplePath p : paths)
      ASSERT_EQ(Pixels(Resampled(crop, dw, dh, p)), Pixels(expected)) << dw << "x" << dh;
  }
  // A progressive photo, whole, at a quarter of its size (816 x 612).
  const TRasterImage small = DecodeJpeg(
      std::string(PICAXO_TESTDATA) + "/photos/picosdeeuropa_by_Aitzol_Berasategi.jpg", 4);
  const TRasterImage expected = Resampled(small, 139, 104, TResamplePath::Scalar);
  for (TResamplePath p : paths)
    ASSERT_EQ(Pixels(Resampled(small, 139, 104, p)), Pixels(expected));
}

}  // namespace
}  // namespace picaxo
