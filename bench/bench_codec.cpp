// Full decode and full encode of the 20-megapixel reference photo with the codec's fixed
// configuration (float IDCT and block smoothing; float DCT at the default output quality).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_photo.h"
#include "imaging/jpeg.h"

namespace {

using namespace picaxo;

using bench::PhotoBytes;
using bench::PhotoRaster;

void BM_DecodeKleiber20MP(benchmark::State& state) {
  const std::string& bytes = PhotoBytes();
  for (auto _ : state) {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(bytes);
    TRasterImage raster = jpeg.TakeRaster();
    benchmark::DoNotOptimize(raster.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * 6028 * 3391);
}
BENCHMARK(BM_DecodeKleiber20MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeKleiber20MP(benchmark::State& state) {
  const TRasterImage& raster = PhotoRaster();
  size_t bytes = 0;
  for (auto _ : state) {
    TJPEGImage jpeg;
    jpeg.Assign(raster);
    jpeg.SetCompressionQuality(static_cast<int>(state.range(0)));
    jpeg.Compress();
    bytes = jpeg.CompressedData().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * raster.Width() * raster.Height());
}
BENCHMARK(BM_EncodeKleiber20MP)->Arg(85)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
