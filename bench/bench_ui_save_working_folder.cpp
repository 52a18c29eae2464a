// The main window's Save All of many small photos into the working folder (the destination a
// first start proposes) against picaxo-cli batch --jobs 1 on the same photos into the same kind
// of folder. Saving into a folder that something in the window watches makes every saved file
// cost a new reading of that folder, so the time grows with the square of the count; the target
// is at most 1.3 times the command line. PICAXO_BENCH_FILES sets the count (default 5000).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "base/file_util.h"
#include "batch_dialog.h"
#include "imaging/jpeg.h"
#include "jobs/app_state.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "window_bench_main.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

double ChildCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int FileCount() {
  const char* text = std::getenv("PICAXO_BENCH_FILES");
  const int count = text ? std::atoi(text) : 0;
  return count > 0 ? count : 5000;
}

// The small photos (64 x 48, about a kilobyte each) and an empty working folder per contender.
struct TSmallPhotos {
  fs::path root = fs::temp_directory_path() /
                  ("picaxo_bench_working_" + std::to_string(std::random_device()()));
  fs::path src = root / "src";
  TSmallPhotos() {
    fs::create_directories(src);
    TRasterImage raster(64, 48);
    raster.FillRect(0, 0, 32, 48, 0x00336699);
    raster.FillRect(32, 0, 64, 48, 0x00996633);
    TJPEGImage jpeg;
    jpeg.Assign(raster);
    jpeg.SetCompressionQuality(90);
    jpeg.Compress();
    for (int i = 0; i < FileCount(); ++i)
      WriteFileAtomically((src / ("p" + std::to_string(100000 + i) + ".jpg")).string(),
                          jpeg.CompressedData());
  }
  ~TSmallPhotos() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  // A fresh, empty working folder.
  fs::path Working(const char* name) const {
    const fs::path folder = root / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
  }
};

TSmallPhotos& Photos() {
  static TSmallPhotos photos;
  return photos;
}

size_t JpegCount(const fs::path& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    n += e.path().extension() == ".jpg";
  return n;
}

// The window is made with the working folder current, as a first start would be, so whatever it
// creates at start-up sees that folder; its destination is that folder.
void BM_WindowSaveAllIntoWorkingFolder(benchmark::State& s) {
  TSmallPhotos& p = Photos();
  const fs::path back = fs::current_path();
  for (auto _ : s) {
    s.PauseTiming();
    const fs::path working = p.Working("window");
    fs::current_path(working);
    {
      TScriptedPrompt prompt;
      const auto form =
          bench::OpenSaveAllWindow(prompt, p.src.string(), working.string(), TResizeSettings{});
      if (const char* w = std::getenv("PICAXO_BENCH_WORKERS"))
        form->SetBatchWorkers(static_cast<unsigned>(std::atoi(w)));
      s.ResumeTiming();
      form->State().RescanSourceFolder();
      bench::RunDialogWhenItShows();
      form->findChild<QAbstractButton*>("TBSaveAll")->click();
      s.PauseTiming();
    }
    fs::current_path(back);
    if (JpegCount(working) != static_cast<size_t>(FileCount())) {
      s.SkipWithError("the window did not save every image");
      break;
    }
    s.ResumeTiming();
  }
  s.counters["files"] = FileCount();
}
BENCHMARK(BM_WindowSaveAllIntoWorkingFolder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_CliBatchJobs1IntoWorkingFolder(benchmark::State& s) {
  TSmallPhotos& p = Photos();
  double cpu = 0;
  for (auto _ : s) {
    s.PauseTiming();
    const fs::path working = p.Working("cli");
    const std::string command = "cd '" + working.string() + "' && " + PICAXO_CLI +
                                " batch --jobs 1 '" + p.src.string() + "' . > /dev/null";
    s.ResumeTiming();
    const double before = ChildCpuSeconds();
    if (std::system(command.c_str()) != 0) s.SkipWithError("picaxo-cli batch failed");
    cpu += ChildCpuSeconds() - before;
  }
  s.counters["cli_cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
  s.counters["files"] = FileCount();
}
BENCHMARK(BM_CliBatchJobs1IntoWorkingFolder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return picaxo::bench::RunWindowBenchmarks(argc, argv);
}
