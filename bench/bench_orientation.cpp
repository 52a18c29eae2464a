// Photos tagged with an EXIF orientation against the same photos untagged:
// - listing a folder of 5,000 small JPEGs the way the window and picaxo-cli batch list it (the
//   scan and the first image opened), and the scan plus reading every file's orientation;
// - converting the 20-megapixel photo (longer side 1024, quality 85) streamed, as picaxo-cli
//   converts it, and decoded whole, as the window does, for orientations 1 (untagged), 3 and 6.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/orient.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "jobs/app_state.h"
#include "jobs/folder_scan.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

// jpeg with an EXIF APP1 marker after its start of image: IFD0 with the orientation and the
// camera make, the usual first tags of a phone photo.
std::string Tagged(const std::string& jpeg, int orientation) {
  if (orientation == 1) return jpeg;
  std::string tiff("II*\0\x08\0\0\0", 8);
  const auto put16 = [&](int v) {
    tiff += static_cast<char>(v & 0xFF);
    tiff += static_cast<char>(v >> 8 & 0xFF);
  };
  put16(2);
  tiff += std::string("\x0F\x01\x02\0\x08\0\0\0\x26\0\0\0", 12);  // Make, ASCII, 8 bytes at 38
  tiff += std::string("\x12\x01\x03\0\x01\0\0\0", 8);             // Orientation, SHORT, 1
  put16(orientation);
  put16(0);
  tiff += std::string(4, '\0');
  tiff += std::string("Camera!\0", 8);
  const std::string data = std::string("Exif\0\0", 6) + tiff;
  const size_t length = data.size() + 2;
  return jpeg.substr(0, 2) + "\xFF\xE1" + static_cast<char>(length >> 8) +
         static_cast<char>(length & 0xFF) + data + jpeg.substr(2);
}

fs::path BenchRoot() {
  return fs::temp_directory_path() / ("picaxo_bench_orient_" + std::to_string(::getpid()));
}

const std::string& BenchFolder() {
  static const std::string folder = [] {
    fs::create_directories(BenchRoot());
    return BenchRoot().string();
  }();
  return folder;
}

// A folder of 5,000 small JPEGs, tagged 6 or untagged.
const std::string& ListFolder(bool tagged) {
  static std::string folders[2];
  std::string& folder = folders[tagged];
  if (!folder.empty()) return folder;
  folder = BenchFolder() + (tagged ? "/tagged" : "/plain");
  fs::create_directories(folder);
  TRasterImage small(160, 120);
  small.FillRect(0, 0, 160, 120, 0x00406080);
  TJPEGImage jpeg;
  jpeg.Assign(small);
  jpeg.Compress();
  const std::string bytes = Tagged(jpeg.CompressedData(), tagged ? 6 : 1);
  for (int i = 0; i < 5000; ++i)
    WriteFileAtomically(folder + "/img" + std::to_string(10000 + i) + ".jpg", bytes);
  return folder;
}

const std::string& PhotoFile(int orientation) {
  static std::string files[9];
  std::string& file = files[orientation];
  if (file.empty()) {
    file = BenchFolder() + "/photo" + std::to_string(orientation) + ".jpg";
    WriteFileAtomically(file, Tagged(bench::PhotoBytes(), orientation));
  }
  return file;
}

void BM_ListFolder(benchmark::State& state) {
  const std::string& folder = ListFolder(state.range(0) != 0);
  TScriptedPrompt prompt;
  for (auto _ : state) {
    TAppState app(prompt);
    app.SetSourceAccess(TSourceAccess::Stream);
    app.SetSourceFolderField(folder);
    app.ScanSourceFolder();
    benchmark::DoNotOptimize(app.Count());
  }
}
BENCHMARK(BM_ListFolder)->ArgName("tagged")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The scan, then the orientation of every file read from its markers: what upright sizes for the
// whole list (rather than the images opened) would cost.
void BM_ListFolderReadingOrientations(benchmark::State& state) {
  const std::string& folder = ListFolder(state.range(0) != 0);
  for (auto _ : state) {
    std::vector<TScannedFile> files;
    std::vector<std::string> unreadable;
    ScanFolder(folder, false, files, unreadable);
    int turned = 0;
    for (const TScannedFile& f : files)
      turned += ReadExifOrientationFile(f.FileName).Orientation != 1;
    benchmark::DoNotOptimize(turned);
  }
}
BENCHMARK(BM_ListFolderReadingOrientations)
    ->ArgName("tagged")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_ScanOnly(benchmark::State& state) {
  const std::string& folder = ListFolder(state.range(0) != 0);
  for (auto _ : state) {
    std::vector<TScannedFile> files;
    std::vector<std::string> unreadable;
    ScanFolder(folder, false, files, unreadable);
    benchmark::DoNotOptimize(files.data());
  }
}
BENCHMARK(BM_ScanOnly)->ArgName("tagged")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

TConvertRequest Request(const std::string& path) {
  TConvertRequest r;
  r.SourcePath = path;
  SelectRule(r.Settings, ResizeRule::LongerSide);
  r.Settings.LongerPixels = 1024;
  r.Settings.JpegQuality = 85;
  return r;
}

void BM_ConvertStreamed20MP(benchmark::State& state) {
  const std::string& path = PhotoFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto rows = OpenRowSource(path);
    const TConversion c = ConvertRows(*rows, Request(path));
    benchmark::DoNotOptimize(c.Bytes.data());
  }
}
BENCHMARK(BM_ConvertStreamed20MP)
    ->ArgName("orientation")
    ->Arg(1)
    ->Arg(3)
    ->Arg(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ConvertWhole20MP(benchmark::State& state) {
  const std::string& path = PhotoFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TLoadedSource loaded = LoadSource(path, {});
    const TConversion c = ConvertImage(loaded.Picture, Request(path));
    benchmark::DoNotOptimize(c.Bytes.data());
  }
}
BENCHMARK(BM_ConvertWhole20MP)
    ->ArgName("orientation")
    ->Arg(1)
    ->Arg(3)
    ->Arg(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// CPU seconds of one conversion of the photo tagged with orientation, streamed or whole.
double ConvertSeconds(int orientation, bool streamed) {
  const std::string& path = PhotoFile(orientation);
  const double start = CpuSeconds();
  if (streamed) {
    auto rows = OpenRowSource(path);
    benchmark::DoNotOptimize(ConvertRows(*rows, Request(path)).Bytes.data());
  } else {
    TLoadedSource loaded = LoadSource(path, {});
    benchmark::DoNotOptimize(ConvertImage(loaded.Picture, Request(path)).Bytes.data());
  }
  return CpuSeconds() - start;
}

// The figure itself: the tagged and the untagged photo converted in turn within each iteration,
// so that the ratio holds on a loaded machine (CPU time). Target: ratio at most 1.15.
void BM_TaggedAgainstUntagged20MP(benchmark::State& state) {
  const int orientation = static_cast<int>(state.range(0));
  const bool streamed = state.range(1) != 0;
  double untagged = 0, tagged = 0;
  for (auto _ : state) {
    untagged += ConvertSeconds(1, streamed);
    tagged += ConvertSeconds(orientation, streamed);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["untagged_ms"] = 1000 * untagged / n;
  state.counters["tagged_ms"] = 1000 * tagged / n;
  state.counters["ratio"] = tagged / untagged;
}
BENCHMARK(BM_TaggedAgainstUntagged20MP)
    ->ArgNames({"orientation", "streamed"})
    ->ArgsProduct({{3, 6}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(8);

// The pixel move alone, on the decoded photo.
void BM_OrientRaster20MP(benchmark::State& state) {
  const TRasterImage& photo = bench::PhotoRaster();
  for (auto _ : state) {
    TRasterImage up = OrientRaster(photo, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(up.ScanLine(0));
  }
}
BENCHMARK(BM_OrientRaster20MP)
    ->ArgName("orientation")
    ->Arg(3)
    ->Arg(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Removes the files made above once the benchmarks are done.
struct TCleanUp {
  ~TCleanUp() {
    std::error_code ec;
    fs::remove_all(BenchRoot(), ec);
  }
} cleanUp;

}  // namespace

BENCHMARK_MAIN();
