// Save All of the main window (offscreen) on 12 large photos (three copies of each test photo,
// longer side 1024, quality 85) with 1, 2 and, where the machine has them, more workers, against
// picaxo-cli batch --jobs 2. Targets on 2 cores: the 2-worker run at most 0.6 times the one-worker
// run and at most 1.1 times the command line; its peak memory at most the one-worker peak plus one
// converting image per extra worker (the peak_mb counter: the process's peak resident size during
// the run, reset before each one).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "batch_dialog.h"
#include "jobs/app_state.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "window_bench_main.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

using TPhotos = bench::TTwelvePhotos;

TPhotos& Photos() {
  static TPhotos photos("picaxo_bench_parallel_");
  return photos;
}

// The peak resident size starts again from the present one (Linux: "5" to clear_refs).
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// A size line of /proc/self/status ("VmHWM:", "VmRSS:") in MB.
double StatusMb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
  return 0;
}

double PeakMemoryMb() {
  return StatusMb("VmHWM:");
}

void BM_WindowSaveAll12Photos(benchmark::State& s) {
  TPhotos& p = Photos();
  const fs::path out = p.root / "window";
  const unsigned workers = static_cast<unsigned>(s.range(0));
  double peak = 0;
  double start = 0;  // the resident size the run began with (the window, its picture, the heap)
  for (auto _ : s) {
    s.PauseTiming();
    fs::remove_all(out);
    TScriptedPrompt prompt;
    const auto form =
        bench::OpenSaveAllWindow(prompt, p.src.string(), out.string(), bench::Longer1024());
    form->SetBatchWorkers(workers);
    form->State().RescanSourceFolder();
    ResetPeakMemory();
    start = std::max(start, StatusMb("VmRSS:"));
    s.ResumeTiming();
    bench::RunDialogWhenItShows();
    form->findChild<QAbstractButton*>("TBSaveAll")->click();
    s.PauseTiming();
    peak = std::max(peak, PeakMemoryMb());
    if (!fs::exists(out) || std::distance(fs::directory_iterator(out), {}) != 12) {
      s.SkipWithError("the window did not save 12 images");
      break;
    }
    s.ResumeTiming();
  }
  s.counters["peak_mb"] = peak;
  s.counters["start_mb"] = start;
}
BENCHMARK(BM_WindowSaveAll12Photos)
    ->Arg(1)
    ->Arg(2)
    ->Arg(std::max(2u, std::thread::hardware_concurrency()))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_CliBatchJobs2_12Photos(benchmark::State& s) {
  TPhotos& p = Photos();
  const fs::path out = p.root / "cli";
  const std::string command = std::string(PICAXO_CLI) +
                              " batch --longer 1024 --quality 85 --jobs 2 '" + p.src.string() +
                              "' '" + out.string() + "' > /dev/null";
  for (auto _ : s) {
    s.PauseTiming();
    fs::remove_all(out);
    s.ResumeTiming();
    if (std::system(command.c_str()) != 0) s.SkipWithError("picaxo-cli batch failed");
  }
}
BENCHMARK(BM_CliBatchJobs2_12Photos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return picaxo::bench::RunWindowBenchmarks(argc, argv);
}
