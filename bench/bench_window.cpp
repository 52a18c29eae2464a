// The main window on two copies of the 20-megapixel reference photo, offscreen, at its designed
// size: Page Down to the next photo painted (decode, controls, view), and a settings change in
// preview mode to the new preview painted (conversion, encode, decode, view). The photo's decode
// time is the yardstick: the move should cost at most 1.3 times that.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSpinBox>
#include <QTabBar>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "imaging/pipeline.h"
#include "jobs/prompt.h"
#include "ui/application.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"
#include "window_on_photos.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Kleiber_by_Lukas_Baubkus.jpg";

// A folder with two copies of the photo, and the window on it.
// Two copies of the photo.
class TWindowOnPhotos : public bench::TWindowOnPhotos {
 public:
  TWindowOnPhotos() : bench::TWindowOnPhotos(kPhoto, 2, "picaxo_bench_window_") {}
};

void BM_DecodePhoto(benchmark::State& state) {
  for (auto _ : state) {
    TRasterImage image = LoadSourceImage(kPhoto);
    benchmark::DoNotOptimize(image.Width());
  }
}
BENCHMARK(BM_DecodePhoto)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_PageDownToPainted(benchmark::State& state) {
  TWindowOnPhotos window;
  bool forward = true;
  for (auto _ : state) {
    window.Key(forward ? Qt::Key_PageDown : Qt::Key_PageUp);
    window.WaitLoaded();
    window.Paint();
    forward = !forward;
  }
  if (window.Form().State().Count() != 2) state.SkipWithError("the photos were not listed");
}
BENCHMARK(BM_PageDownToPainted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

void BM_SettingChangeToPreviewPainted(benchmark::State& state) {
  TWindowOnPhotos window;
  window.Form().State().SetPreviewMode(true);
  QSpinBox* percent = window.Form().findChild<QSpinBox*>("UDPercent");
  percent->setFocus();
  int value = 20;
  for (auto _ : state) {
    value = value == 20 ? 21 : 20;
    percent->setValue(value);  // as Enter or an arrow: the preview is rendered again
    window.Paint();
  }
  if (!window.Form().State().PreviewMode()) state.SkipWithError("preview mode is off");
  // The preview shown is the last setting's: its width is that percentage of the photo's.
  state.counters["preview_width"] = window.View().Bitmap().Width();
}
BENCHMARK(BM_SettingChangeToPreviewPainted)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(6);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  picaxo::KeepFreedPhotoMemory();  // as the program does at start-up
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
