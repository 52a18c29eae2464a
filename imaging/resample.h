#pragma once
// The resampler: scales one raster into another of any preset size with a separable two-pass
// filter (rows first into an intermediate raster, then columns), and the kernels it can use.
//
// The output is fully deterministic: every kernel value, weight and running sum is a 32-bit float
// with a fixed rounding at each step, so whichever code path computes it (plain loop or vector
// instructions) the destination bytes are the same.
#include <array>

#include "imaging/raster.h"

namespace picaxo {

// A filter kernel: weight at a distance x (in kernel units). Evaluated with extended-precision
// intermediates, the result rounded to float.
using TFilterKernel = float (*)(float);

float BoxKernel(float x);
float TriangleKernel(float x);
float HermiteKernel(float x);
float BellKernel(float x);
float BSplineKernel(float x);
// sin(pi x)/(pi x), with pi x rounded to float first: at whole numbers the result is tiny, not 0.
float SincKernel(float x);
float Lanczos3Kernel(float x);
// Mitchell-Netravali cubic with B = C = 1/3.
float MitchellKernel(float x);

struct TResampleKernel {
  const char* Name;
  TFilterKernel Kernel;
  float Support;  // distance beyond which the kernel is 0; what ResampleImage takes as Support
};

inline constexpr std::array<TResampleKernel, 7> ResampleKernels = {{
    {"Box", BoxKernel, 0.5f},
    {"Triangle", TriangleKernel, 1.0f},
    {"Hermite", HermiteKernel, 1.0f},
    {"Bell", BellKernel, 1.5f},
    {"B-Spline", BSplineKernel, 2.0f},
    {"Lanczos3", Lanczos3Kernel, 3.0f},
    {"Mitchell", MitchellKernel, 2.0f},
}};

// Scales Source into Dest, whose Width and Height the caller has set and which are never changed.
// Source is converted to 24-bit in place; Dest becomes 24-bit and every pixel of it is written.
// Destination column i samples the source at i * (SW - 1) / (DW - 1), so the first and last pixel
// centres line up (with a width of 1 on either side the scale is DW / SW instead). Edge pixels are
// reflected; weights are used as computed (not normalised) and sums are clamped to 0..255.
// Throws EPicaxoError "Source bitmap too small" for a source without columns or rows, and an
// EPicaxoError with its own message for a negative or non-finite Support or weight lists too large
// for memory, all before anything is changed.
void ResampleImage(TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel, float Support);
// The same bytes from a source that is only read: one that is not 24-bit is widened into a copy.
void ResampleImage(const TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel,
                   float Support);

}  // namespace picaxo
