// A batch run of the main window (offscreen) against picaxo-cli batch --jobs 1 on the same 12
// large photos (three copies of each test photo), longer side 1024, quality 85. Showing each image
// in the window, the dialog's repaints and the event processing between images should cost
// little: target ratio <= 1.1, in wall time on an idle machine, in CPU time on a shared one.
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

#include "batch_dialog.h"
#include "jobs/app_state.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "window_bench_main.h"

namespace {

using namespace picaxo;

// CPU seconds (user and system) of the finished child processes so far.
double ChildCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
namespace fs = std::filesystem;

using TPhotos = bench::TTwelvePhotos;

TPhotos& Photos() {
  static TPhotos photos("picaxo_bench_batch_");
  return photos;
}

// The main window's Save All, from the scan of the folder on (the command line's run starts
// with its scan too); the window shows every image as it is saved.
void BM_WindowBatch12Photos(benchmark::State& s) {
  TPhotos& p = Photos();
  const fs::path out = p.root / "window";
  for (auto _ : s) {
    s.PauseTiming();
    fs::remove_all(out);
    TScriptedPrompt prompt;
    const auto form =
        bench::OpenSaveAllWindow(prompt, p.src.string(), out.string(), bench::Longer1024());
    s.ResumeTiming();
    form->State().RescanSourceFolder();
    bench::RunDialogWhenItShows();
    form->findChild<QAbstractButton*>("TBSaveAll")->click();
    s.PauseTiming();
    if (!fs::exists(out) || std::distance(fs::directory_iterator(out), {}) != 12) {
      s.SkipWithError("the window batch did not save 12 images");
      break;
    }
    s.ResumeTiming();
  }
}
BENCHMARK(BM_WindowBatch12Photos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CliBatchJobs1_12Photos(benchmark::State& s) {
  TPhotos& p = Photos();
  const fs::path out = p.root / "cli";
  const std::string command = std::string(PICAXO_CLI) +
                              " batch --longer 1024 --quality 85 --jobs 1 '" + p.src.string() +
                              "' '" + out.string() + "' > /dev/null";
  double cpu = 0;
  for (auto _ : s) {
    s.PauseTiming();
    fs::remove_all(out);
    s.ResumeTiming();
    const double before = ChildCpuSeconds();
    if (std::system(command.c_str()) != 0) s.SkipWithError("picaxo-cli batch failed");
    cpu += ChildCpuSeconds() - before;
  }
  // The CPU column is this process's own; the command line's CPU time is this counter (compare
  // it with the window batch's CPU column when the machine is loaded).
  s.counters["cli_cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CliBatchJobs1_12Photos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  return picaxo::bench::RunWindowBenchmarks(argc, argv);
}
