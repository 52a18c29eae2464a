// Speed of ResampleImage, and the figure it is held to: shrinking the 20-megapixel Kleiber photo
// to 1024 pixels on the longer side must cost at most half of decoding that photo in full with
// libjpeg's float IDCT. Both are measured in the same run; the ratio is printed at the end.
//
//   bench_resample [--benchmark_repetitions=5] [--benchmark_filter=Kleiber]
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/resample.h"
#include "imaging/resample_detail.h"

namespace {

using picaxo::TRasterImage;
using picaxo::resample_detail::TResamplePath;

const char* const kKleiber = PICAXO_TESTDATA "/photos/Kleiber_by_Lukas_Baubkus.jpg";

std::vector<unsigned char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Full-size decode as the program does it: float IDCT, 24-bit blue-green-red rows written
// straight into the raster.
void DecodeInto(const std::vector<unsigned char>& jpeg, TRasterImage& image) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_FLOAT;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  image.SetSize(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.ScanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

const TRasterImage& KleiberPixels() {
  static const TRasterImage image = [] {
    TRasterImage decoded;
    DecodeInto(ReadFile(kKleiber), decoded);
    return decoded;
  }();
  return image;
}

// Smooth shapes with edges and fine noise, so the sums look like a photograph's, not a constant.
TRasterImage PhotoLike(int width, int height) {
  TRasterImage image(width, height);
  std::mt19937 rng(42);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = image.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const double s = std::sin(x * 0.013) * std::cos(y * 0.021);
      const int edge = ((x / 97 + y / 61) & 1) ? 40 : 0;
      for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>(110 + 80 * s + edge + c * 15) + static_cast<int>(rng() % 9);
        row[3 * x + c] = static_cast<uint8_t>(std::clamp(v, 0, 255));
      }
    }
  }
  return image;
}

const char* PathName(TResamplePath path) {
  switch (path) {
    case TResamplePath::Auto:
      return "auto";
    case TResamplePath::Scalar:
      return "scalar";
    case TResamplePath::Avx2:
      return "avx2";
    case TResamplePath::Avx512:
      return "avx512";
  }
  return "?";
}

void RunResample(benchmark::State& state, TRasterImage& source, int dw, int dh) {
  const auto path = static_cast<TResamplePath>(state.range(0));
  state.SetLabel(PathName(path));
  if (!picaxo::resample_detail::ResamplePathAvailable(path)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  TRasterImage dest(dw, dh);
  for (auto _ : state) {
    picaxo::resample_detail::ResampleImageOnPath(source, dest, picaxo::Lanczos3Kernel, 3.0f, path);
    benchmark::DoNotOptimize(dest.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.Width()) *
                          source.Height());
}

void BM_Resample6000x4000To1024x683(benchmark::State& state) {
  static TRasterImage source = PhotoLike(6000, 4000);
  RunResample(state, source, 1024, 683);
}

void BM_Resample1024x683To2048x1366(benchmark::State& state) {
  static TRasterImage source = PhotoLike(1024, 683);
  RunResample(state, source, 2048, 1366);
}

void BM_KleiberDecode(benchmark::State& state) {
  const std::vector<unsigned char> jpeg = ReadFile(kKleiber);
  TRasterImage image;
  for (auto _ : state) {
    DecodeInto(jpeg, image);
    benchmark::DoNotOptimize(image.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(image.Width()) *
                          image.Height());
}

void BM_KleiberResampleTo1024x576(benchmark::State& state) {
  static TRasterImage source = KleiberPixels();
  RunResample(state, source, 1024, 576);
}

void AllPaths(benchmark::internal::Benchmark* b) {
  for (TResamplePath p : {TResamplePath::Auto, TResamplePath::Avx2, TResamplePath::Avx512})
    b->Arg(static_cast<int>(p));
}

BENCHMARK(BM_Resample6000x4000To1024x683)->Apply(AllPaths)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample1024x683To2048x1366)->Apply(AllPaths)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KleiberDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KleiberResampleTo1024x576)
    ->Apply(AllPaths)
    ->Arg(static_cast<int>(TResamplePath::Scalar))
    ->Unit(benchmark::kMillisecond);

// Prints what the console reporter prints, remembering the Kleiber times (the median when
// repetitions are asked for) to state the ratio at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string key = run.run_name.str();
      if (median || !medians_.count(key))
        times_[key] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      if (median) medians_[key] = true;
    }
  }

  void PrintRatio() const {
    const auto decode = times_.find("BM_KleiberDecode");
    if (decode == times_.end()) return;
    // The CPU-time ratio is the steadier one on a machine shared with other work.
    for (const auto& [name, time] : times_) {
      if (name.rfind("BM_KleiberResampleTo1024x576", 0) != 0) continue;
      std::printf(
          "%s: %.1f ms, decode %.1f ms, ratio %.3f (CPU time %.1f / %.1f ms, ratio %.3f); "
          "target at most 0.5\n",
          name.c_str(), time.first, decode->second.first, time.first / decode->second.first,
          time.second, decode->second.second, time.second / decode->second.second);
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> times_;  // real and CPU time
  std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio();
  benchmark::Shutdown();
  return 0;
}
