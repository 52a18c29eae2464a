// Browsing with decoding ahead, in the main window (offscreen, designed size) on copies of the
// 20-megapixel reference photo. The photo's decode is the yardstick:
// - Page Down to the next photo painted when the user stayed on each photo at least one decode
//   time: target at most 0.2 times the decode.
// - Holding Page Down through 50 photos (the key's repeats queued at once, then released): the
//   last photo painted after the release, target within 1.3 times the decode.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTabBar>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/pipeline.h"
#include "jobs/prompt.h"
#include "ui/application.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"
#include "window_bench_main.h"
#include "window_on_photos.h"

namespace {

using namespace picaxo;
namespace fs = std::filesystem;

const std::string kPhoto = std::string(PICAXO_TESTDATA) + "/photos/Kleiber_by_Lukas_Baubkus.jpg";

// The median of five decodes after a first one, which pays for setting the codec up.
double DecodeMs() {
  static const double ms = [] {
    benchmark::DoNotOptimize(LoadSourceImage(kPhoto).Width());
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
      QElapsedTimer timer;
      timer.start();
      TRasterImage image = LoadSourceImage(kPhoto);
      benchmark::DoNotOptimize(image.Width());
      times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[2];
  }();
  return ms;
}

class TWindowOnPhotos : public bench::TWindowOnPhotos {
 public:
  explicit TWindowOnPhotos(int count)
      : bench::TWindowOnPhotos(kPhoto, count, "picaxo_bench_ahead_") {}
  // The user looks at the photo for ms, the window idle meanwhile.
  void Dwell(double ms) {
    QElapsedTimer timer;
    timer.start();
    while (double(timer.nsecsElapsed()) / 1e6 < ms) {
      QApplication::processEvents();
      QThread::msleep(2);
    }
  }
};

void BM_PageDownAfterDwellToPainted(benchmark::State& state) {
  TWindowOnPhotos window(8);
  const double decode = DecodeMs();
  bool forward = true;
  for (auto _ : state) {
    state.PauseTiming();
    window.Dwell(decode * 1.5);
    state.ResumeTiming();
    window.Key(forward ? Qt::Key_PageDown : Qt::Key_PageUp);
    window.WaitLoaded();
    window.Paint();
    const int32_t index = window.Form().State().CurrentIndex();
    if (index == 0 || index + 1 == window.Form().State().Count()) forward = !forward;
  }
  state.counters["decode_ms"] = decode;
}
BENCHMARK(BM_PageDownAfterDwellToPainted)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(6);

void BM_HoldPageDownThrough50(benchmark::State& state) {
  TWindowOnPhotos window(51);
  const double decode = DecodeMs();
  double afterRelease = 0;
  double moves = 0;  // of which the window took to go through the queued presses
  for (auto _ : state) {
    window.Form().State().GoFirst();
    window.Dwell(decode * 1.5);
    // The key's automatic repeats arrive faster than photos decode: queue them all, then release.
    for (int i = 0; i < 50; ++i)
      QApplication::postEvent(window.Target(), new QKeyEvent(QEvent::KeyPress, Qt::Key_PageDown,
                                                             Qt::NoModifier, QString(), i > 0));
    QApplication::postEvent(window.Target(),
                            new QKeyEvent(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier));
    QElapsedTimer sinceRelease;
    sinceRelease.start();
    while (window.Form().State().CurrentIndex() != 50)
      QApplication::processEvents();
    moves += double(sinceRelease.nsecsElapsed()) / 1e6;
    window.WaitLoaded();
    window.Paint();
    afterRelease += double(sinceRelease.nsecsElapsed()) / 1e6;
  }
  state.counters["decode_ms"] = decode;
  state.counters["after_release_ms"] =
      benchmark::Counter(afterRelease, benchmark::Counter::kAvgIterations);
  state.counters["moves_ms"] = benchmark::Counter(moves, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_HoldPageDownThrough50)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  return picaxo::bench::RunWindowBenchmarks(argc, argv);
}
