// Listing a folder of 5,000 mixed source files (500 of each recognised extension) against a
// folder of 5,000 JPEGs, side by side in one run: the folder scan alone, and the scan with every
// picture's size read from its header. Target: the mixed folder within 1.2 times the JPEG one.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_photo.h"
#include "imaging/image_format.h"
#include "imaging/jpeg.h"
#include "imaging/source_decoders.h"
#include "jobs/folder_scan.h"
#include "support/picture_files.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

constexpr int kFiles = 5000;

using picaxo::bench::SmallJpeg;

// One small file of each extension, made once with the formats' tools.
std::vector<std::pair<std::string, std::string>> SmallFiles(const fs::path& work) {
  const std::string pam = (work / "x.pam").string(), png = (work / "x.png").string();
  picaxo::testing::WritePam(pam, 32, 24, 3, 255);
  const auto run = [](const std::string& c) { (void)std::system((c + " 2>/dev/null").c_str()); };
  run("pamtopng " + pam + " > " + png);
  run("cwebp -quiet " + png + " -o " + (work / "x.webp").string());
  run("heif-enc -q 50 " + png + " -o " + (work / "x.heic").string() + " >/dev/null");
  run("heif-enc -A -q 50 " + png + " -o " + (work / "x.avif").string() + " >/dev/null");
  run("pamtotiff " + pam + " > " + (work / "x.tif").string());
  const auto read = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string bmp(54 + 32 * 24 * 3, '\0');
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int n = 0; n < 4; ++n)
      bmp[at + n] = static_cast<char>(v >> (8 * n));
  };
  bmp[0] = 'B', bmp[1] = 'M', bmp[26] = 1, bmp[28] = 24;
  put32(2, static_cast<uint32_t>(bmp.size())), put32(10, 54), put32(14, 40), put32(18, 32);
  put32(22, 24);
  const std::string jpeg = SmallJpeg();
  return {{".jpg", jpeg},
          {".jpeg", jpeg},
          {".bmp", bmp},
          {".png", read(work / "x.png")},
          {".webp", read(work / "x.webp")},
          {".heic", read(work / "x.heic")},
          {".heif", read(work / "x.heic")},
          {".avif", read(work / "x.avif")},
          {".tif", read(work / "x.tif")},
          {".tiff", read(work / "x.tif")}};
}

struct TFolders {
  fs::path root = fs::temp_directory_path() /
                  ("picaxo_bench_listing_" + std::to_string(std::random_device()()));
  fs::path jpegs = root / "jpegs";
  fs::path mixed = root / "mixed";
  TFolders() {
    fs::create_directories(jpegs);
    fs::create_directories(mixed);
    const auto files = SmallFiles(root);
    for (int i = 0; i < kFiles; ++i) {
      const std::string stem = "photo_" + std::to_string(100000 + i);
      std::ofstream(jpegs / (stem + ".jpg"), std::ios::binary) << files[0].second;
      const auto& [extension, bytes] = files[static_cast<size_t>(i) % files.size()];
      std::ofstream(mixed / (stem + extension), std::ios::binary) << bytes;
    }
  }
  ~TFolders() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

TFolders& Folders() {
  static TFolders folders;
  return folders;
}

void Scan(benchmark::State& s, const fs::path& folder, bool sizes) {
  int64_t pixels = 0;
  for (auto _ : s) {
    std::vector<TScannedFile> files;
    std::vector<std::string> unreadable;
    ScanFolder(folder.string(), false, files, unreadable);
    if (sizes)
      for (const TScannedFile& f : files) {
        const TPictureSize size = ReadPictureSize(f.FileName, *SourceFormatFromName(f.FileName));
        pixels += int64_t{size.Width} * size.Height;
      }
    benchmark::DoNotOptimize(files.data());
    if (files.size() != kFiles) s.SkipWithError("a file was not listed");
  }
  benchmark::DoNotOptimize(pixels);
}

void BM_ListJpegs(benchmark::State& s) {
  Scan(s, Folders().jpegs, false);
}
void BM_ListMixed(benchmark::State& s) {
  Scan(s, Folders().mixed, false);
}
void BM_ListJpegsWithSizes(benchmark::State& s) {
  Scan(s, Folders().jpegs, true);
}
void BM_ListMixedWithSizes(benchmark::State& s) {
  Scan(s, Folders().mixed, true);
}
BENCHMARK(BM_ListJpegs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ListMixed)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ListJpegsWithSizes)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ListMixedWithSizes)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
