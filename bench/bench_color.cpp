// The cost of a colour profile: the 20 MP photo stored as Adobe RGB with its profile, converted
// as picaxo-cli convert does (streaming, longer side 1024, quality 85), against the same pixels
// without a profile. The two run in turn within each iteration, so the ratio holds on a loaded
// machine; times are the process's CPU time. Target: ratio at most 1.3.
#include <benchmark/benchmark.h>
#include <lcms2.h>
#include <time.h>

#include <string>

#include "bench/bench_photo.h"
#include "imaging/color_profile.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/pipeline_stream.h"
#include "support/adobe_rgb.h"

namespace {

using namespace picaxo;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// The photo's pixels made Adobe RGB and encoded at quality 90: without and with the profile.
struct TFiles {
  std::string Untagged;
  std::string Tagged;
};

const TFiles& Files() {
  static const TFiles files = [] {
    const std::string profile = testing::AdobeRgbProfileBytes();
    TRasterImage pixels = bench::PhotoRaster();
    cmsHPROFILE adobe =
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(srgb, TYPE_BGR_8, adobe, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    for (int y = 0; y < pixels.Height(); ++y)
      cmsDoTransform(t, pixels.ScanLine(y), pixels.ScanLine(y),
                     static_cast<cmsUInt32Number>(pixels.Width()));
    cmsDeleteTransform(t);
    cmsCloseProfile(adobe);
    cmsCloseProfile(srgb);
    TJPEGImage jpeg;
    jpeg.Assign(pixels);
    jpeg.Compress();
    TFiles f;
    f.Untagged = jpeg.CompressedData();
    f.Tagged = InsertSegmentsAfterApp0(f.Untagged, IccProfileSegments(profile));
    return f;
  }();
  return files;
}

double ConvertSeconds(const std::string& file) {
  TConvertRequest request;
  request.SourcePath = "photo.jpg";
  request.Settings.LongerPixels = 1024;
  SelectRule(request.Settings, ResizeRule::LongerSide);
  const double start = CpuSeconds();
  auto rows = RowSourceFromBytes(file, true, kMaxRasterPixels);
  const TConversion c = ConvertRows(*rows, request);
  benchmark::DoNotOptimize(c.Bytes.data());
  return CpuSeconds() - start;
}

void BM_ConvertAdobeRgbAgainstUntagged20MP(benchmark::State& state) {
  const TFiles& files = Files();
  double untagged = 0, tagged = 0;
  for (auto _ : state) {
    untagged += ConvertSeconds(files.Untagged);
    tagged += ConvertSeconds(files.Tagged);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["untagged_ms"] = 1000 * untagged / n;
  state.counters["adobe_rgb_ms"] = 1000 * tagged / n;
  state.counters["ratio"] = tagged / untagged;
}
BENCHMARK(BM_ConvertAdobeRgbAgainstUntagged20MP)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3);

}  // namespace

namespace {

// The conversion of the decoded pixels alone.
void BM_AdobeRgbToSrgbPixels20MP(benchmark::State& state) {
  TIccProfile profile;
  profile.State = TIccProfile::TState::Present;
  profile.Data = testing::AdobeRgbProfileBytes();
  const auto transform = ColorTransformFor(profile, TDecodedColors::Rgb, nullptr);
  TRasterImage pixels = bench::PhotoRaster();
  for (auto _ : state)
    for (int y = 0; y < pixels.Height(); ++y)
      transform->ConvertBgr(pixels.ScanLine(y), pixels.Width());
  state.SetItemsProcessed(state.iterations() * pixels.Width() * pixels.Height());
}
BENCHMARK(BM_AdobeRgbToSrgbPixels20MP)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
