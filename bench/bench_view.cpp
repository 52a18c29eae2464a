// The image view on the 20-megapixel reference photo, offscreen, in an 800 x 600 view fitted to
// the photo: a new picture set and painted, one step of a selection drag painted, and a repaint
// with nothing changed. "rescales" counts how often the view computed its display image from the
// photo per iteration; a drag step and a plain repaint must show 0.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/bench_photo.h"
#include "imaging/jpeg.h"
#include "ui/img_view_box.h"

namespace {

using namespace picaxo;

using bench::PhotoBytes;
using bench::PhotoRaster;

std::unique_ptr<TImgViewBox> MakeView() {
  auto box = std::make_unique<TImgViewBox>();
  box->setObjectName(QStringLiteral("ImgViewBox1"));
  box->resize(800, 600);
  box->SetZoom(ivzAuto);
  box->SetSelectable(true);
  box->show();
  QApplication::processEvents();
  return box;
}

void SendMouse(TImgViewBox& box, QEvent::Type type, QPoint pos) {
  QWidget* vp = box.viewport();
  QMouseEvent ev(type, QPointF(pos), QPointF(vp->mapToGlobal(pos)),
                 type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                 type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                 Qt::NoModifier);
  QApplication::sendEvent(vp, &ev);
}

// Decode time of the photo, the yardstick for showing it.
void BM_DecodePhoto(benchmark::State& state) {
  for (auto _ : state) {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(PhotoBytes());
    TRasterImage raster = jpeg.TakeRaster();
    benchmark::DoNotOptimize(raster.ScanLine(0));
  }
}
BENCHMARK(BM_DecodePhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// A decoded photo handed to the view (moved in, as a freshly decoded raster is) and painted.
void BM_ShowNewPicture(benchmark::State& state) {
  auto box = MakeView();
  const TRasterImage& photo = PhotoRaster();
  const int64_t before = box->DisplayRebuildCount();
  for (auto _ : state) {
    state.PauseTiming();
    TRasterImage raster(photo);
    state.ResumeTiming();
    box->SetBitmap(std::move(raster));
    box->viewport()->repaint();
  }
  state.counters["rescales"] = benchmark::Counter(
      static_cast<double>(box->DisplayRebuildCount() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ShowNewPicture)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the raster copied in (SetBitmap of a raster the caller keeps).
void BM_ShowNewPictureCopied(benchmark::State& state) {
  auto box = MakeView();
  const TRasterImage& photo = PhotoRaster();
  for (auto _ : state) {
    box->SetBitmap(photo);
    box->viewport()->repaint();
  }
}
BENCHMARK(BM_ShowNewPictureCopied)->Unit(benchmark::kMillisecond)->UseRealTime();

// One mouse move of a selection drag, painted (the frame's old and new outline).
void BM_SelectionDragStep(benchmark::State& state) {
  auto box = MakeView();
  box->SetBitmap(PhotoRaster());
  QApplication::processEvents();
  const QPoint origin = box->ImageRect().topLeft();
  SendMouse(*box, QEvent::MouseButtonPress, origin + QPoint(100, 80));
  QApplication::processEvents();
  const int64_t before = box->DisplayRebuildCount();
  int step = 0;
  for (auto _ : state) {
    const int d = (step++ % 40) * 5;
    SendMouse(*box, QEvent::MouseMove, origin + QPoint(500 + d, 350 + d / 2));
    QApplication::processEvents();
  }
  state.counters["rescales"] = benchmark::Counter(
      static_cast<double>(box->DisplayRebuildCount() - before), benchmark::Counter::kAvgIterations);
  SendMouse(*box, QEvent::MouseButtonRelease, origin + QPoint(500, 350));
}
BENCHMARK(BM_SelectionDragStep)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A full repaint with picture, zoom and size unchanged.
void BM_RepaintUnchanged(benchmark::State& state) {
  auto box = MakeView();
  box->SetBitmap(PhotoRaster());
  box->SetSelection(TSelection{500, 400, 3000, 2500});
  box->viewport()->repaint();
  const int64_t before = box->DisplayRebuildCount();
  for (auto _ : state)
    box->viewport()->repaint();
  state.counters["rescales"] = benchmark::Counter(
      static_cast<double>(box->DisplayRebuildCount() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RepaintUnchanged)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
