// The job list over a folder of 10,000 small JPEGs (offscreen): scanning the folder and showing
// the list, selecting every row, and Apply All over the selected rows, each with the repaint it
// causes. Target: selecting all and Apply All under 100 ms each.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "imaging/jpeg.h"
#include "imaging/raster.h"
#include "jobs/app_state.h"
#include "ui/job_list.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

constexpr int kFiles = 10000;

std::string SmallJpeg() {
  TRasterImage raster(32, 24);
  raster.FillRect(0, 0, 32, 24, 0x00336699);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  return jpeg.CompressedData();
}

// One folder of kFiles photos for the whole run, with the list and the state over it.
struct TBench : IJobObserver {
  fs::path folder =
      fs::temp_directory_path() / ("picaxo_bench_jobs_" + std::to_string(std::random_device()()));
  TScriptedPrompt prompt;
  TJobListView view{[this](int row, TJobColumn column) { return Cell(row, column); }};
  TAppState state{prompt, *this};

  TBench() {
    fs::create_directories(folder);
    const std::string bytes = SmallJpeg();
    for (int i = 0; i < kFiles; ++i)
      std::ofstream(folder / ("photo_" + std::to_string(100000 + i) + ".jpg"), std::ios::binary)
          << bytes;
    state.SetSourceFolderField(folder.string());
    state.SetDestinationFolderField((folder / "out").string());
    view.resize(368, 700);
    view.show();
  }
  ~TBench() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  void ProcessEvents() override { QCoreApplication::processEvents(); }
  void FileListChanged() override { view.SyncJobCount(state.Count()); }
  void JobRowsChanged(TJobRows) override { view.RefreshJobList(TJobRefresh::AllRows, -1); }
  int SelectedRowCount() const override { return view.SelectedRowCount(); }
  bool IsRowSelected(int row) const override { return view.IsRowSelected(row); }

  std::string Cell(int row, TJobColumn column) {
    const TFileEntry* entry = row < state.Count() ? &state.List().At(row) : nullptr;
    switch (column) {
      case TJobColumn::FileName:
        return JobFileNameText(entry, state.SourceFolder());
      case TJobColumn::Actions:
        return entry ? JobActionsText(*entry, state.Settings()) : std::string();
      case TJobColumn::Flags:
        return entry ? JobFlagsText(*entry) : std::string();
    }
    return {};
  }
};

TBench& Bench() {
  static TBench bench;
  return bench;
}

void Paint() {
  QCoreApplication::processEvents();
}

void BM_ScanAndShowTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  for (auto _ : s) {
    b.state.RescanSourceFolder();
    b.view.SelectOnlyRow(b.state.CurrentIndex());
    Paint();
  }
  s.counters["rows"] = b.view.RowCount();
}
BENCHMARK(BM_ScanAndShowTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SelectAllTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  if (b.state.Count() != kFiles) b.state.RescanSourceFolder();
  for (auto _ : s) {
    s.PauseTiming();
    b.view.SelectOnlyRow(0);
    Paint();
    s.ResumeTiming();
    b.view.SelectAllRows();
    Paint();
  }
  s.counters["selected"] = b.view.SelectedRowCount();
}
BENCHMARK(BM_SelectAllTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

// Apply All with every row selected: a pass restricted to the selection, every entry stored,
// one redraw.
void BM_ApplyAllTenThousand(benchmark::State& s) {
  TBench& b = Bench();
  if (b.state.Count() != kFiles) b.state.RescanSourceFolder();
  b.view.SelectAllRows();
  Paint();
  int percent = 10;
  for (auto _ : s) {
    TResizeSettings settings = b.state.Settings();
    settings.Percent = static_cast<int16_t>(percent++ % 400 + 1);
    b.state.SetSettings(settings);
    b.state.ApplySettingsToJobs();
    Paint();
  }
  s.counters["rows"] = b.view.SelectedRowCount();
}
BENCHMARK(BM_ApplyAllTenThousand)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
