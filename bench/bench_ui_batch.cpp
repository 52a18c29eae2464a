// A batch run through the dialog (offscreen) against picaxo-cli batch --jobs 1 on the same 12
// large photos (three copies of each test photo), longer side 1024, quality 85. The dialog's
// repaints and the event processing between images should cost little: target ratio <= 1.1, in
// wall time on an idle machine, in CPU time on a shared one.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "jobs/app_state.h"
#include "ui/batch_form.h"

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

struct TPhotos {
  fs::path root =
      fs::temp_directory_path() / ("picaxo_bench_batch_" + std::to_string(std::random_device()()));
  fs::path src = root / "src";
  TPhotos() {
    fs::create_directories(src);
    for (int copy = 1; copy <= 3; ++copy)
      for (const auto& e : fs::directory_iterator(fs::path(PICAXO_TESTDATA) / "photos"))
        if (e.path().extension() == ".jpg")
          fs::copy_file(e.path(),
                        src / (e.path().stem().string() + "_" + std::to_string(copy) + ".jpg"));
  }
  ~TPhotos() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

// The window's part of a run: events between images, texts and progress to the dialog.
struct TWindow : IJobObserver {
  TBatchForm* form = nullptr;
  void ProcessEvents() override { QCoreApplication::processEvents(); }
  void BatchStatusTextChanged(const std::string& text) override {
    if (form) form->ShowStatusText(text);
  }
  void BatchProgressChanged(int position, int maximum) override {
    if (form) form->ShowProgress(position, maximum);
  }
};

TPhotos& Photos() {
  static TPhotos photos;
  return photos;
}

void BM_WindowBatch12Photos(benchmark::State& s) {
  TPhotos& p = Photos();
  const fs::path out = p.root / "window";
  int saved = 0;
  for (auto _ : s) {
    s.PauseTiming();
    fs::remove_all(out);
    TScriptedPrompt prompt;
    TWindow window;
    TAppState state(prompt, window);
    TResizeSettings settings;
    settings.ResizeEnabled = true;
    SelectRule(settings, ResizeRule::LongerSide);
    settings.LongerPixels = 1024;
    settings.JpegQuality = 85;
    state.SetSettings(settings);
    state.SetDestinationFolderField(out.string());
    s.ResumeTiming();
    // From the scan on, as the window does it: the first image is decoded by the scan.
    state.SetSourceFolderField(p.src.string());
    state.ScanSourceFolder();
    state.SaveAll([&](TBatchRun& run) {
      TBatchForm form(run, nullptr);
      window.form = &form;
      form.Prepare("");
      form.show();
      form.findChild<QAbstractButton*>("CBPromptForCreateDir")->click();
      form.findChild<QAbstractButton*>("BStart")->click();
      saved = run.SavedCount;
      window.form = nullptr;
    });
  }
  s.counters["saved"] = saved;
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
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
