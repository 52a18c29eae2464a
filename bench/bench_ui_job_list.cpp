// The main window's job list over a folder of 10,000 small JPEGs (offscreen): scanning the folder
// with the list showing, Select All, and Apply over every row, each with the repaint it causes.
// Target: Select All and Apply under 100 ms each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QTabBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "bench_photo.h"
#include "imaging/jpeg.h"
#include "imaging/raster.h"
#include "jobs/app_state.h"
#include "ui/job_list.h"
#include "ui/main_window.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

constexpr int kFiles = 10000;

using picaxo::bench::SmallJpeg;

// One folder of kFiles photos for the whole run, and the main window over it in the Batch
// Resize view.
struct TBench {
  fs::path folder =
      fs::temp_directory_path() / ("picaxo_bench_jobs_" + std::to_string(std::random_device()()));
  TScriptedPrompt prompt;
  std::unique_ptr<TForm1> form;

  TBench() {
    fs::create_directories(folder);
    const std::string bytes = SmallJpeg();
    for (int i = 0; i < kFiles; ++i)
      std::ofstream(folder / ("photo_" + std::to_string(100000 + i) + ".jpg"), std::ios::binary)
          << bytes;
    TForm1Options options;
    options.Prompt = &prompt;
    options.CommandLineArgument = folder.string();
    form = std::make_unique<TForm1>(options);
    form->resize(1000, 700);
    form->show();
    while (form->State().SourceFolder().empty())
      QCoreApplication::processEvents();
    form->findChild<QTabBar*>("TabControl")->setCurrentIndex(1);
  }
  ~TBench() {
    form.reset();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  TJobListView* List() const { return form->findChild<TJobListView*>("LVJobs"); }
  QAction* Action(const char* name) const { return form->findChild<QAction*>(name); }
};

// Made on first use, gone before the application object (main).
std::unique_ptr<TBench> theBench;

TBench& Bench() {
  if (!theBench) theBench = std::make_unique<TBench>();
  return *theBench;
}

void Paint() {
  QCoreApplication::processEvents();
}

// The folder scanned again (Enter in the source folder field) with the list showing.
void BM_ScanAndShowTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  for (auto _ : s) {
    b.form->State().RescanSourceFolder();
    Paint();
  }
  s.counters["rows"] = b.List()->RowCount();
}
BENCHMARK(BM_ScanAndShowTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SelectAllTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  for (auto _ : s) {
    s.PauseTiming();
    b.List()->SelectOnlyRow(0);
    Paint();
    s.ResumeTiming();
    b.Action("AJobSelectAll")->trigger();
    Paint();
  }
  s.counters["selected"] = b.List()->SelectedRowCount();
}
BENCHMARK(BM_SelectAllTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Apply Selected" with every row selected: a pass restricted to the selection, every entry
// stored, one redraw.
void BM_ApplyAllTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  b.Action("AJobSelectAll")->trigger();
  Paint();
  for (auto _ : s) {
    b.Action("AJobApply")->trigger();
    Paint();
  }
  s.counters["rows"] = b.List()->SelectedRowCount();
}
BENCHMARK(BM_ApplyAllTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The window keeps its settings per user: not the user's own while measuring.
  const fs::path config =
      fs::temp_directory_path() / ("picaxo_bench_config_" + std::to_string(::getpid()));
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theBench.reset();
  std::error_code ec;
  fs::remove_all(config, ec);
  return 0;
}
