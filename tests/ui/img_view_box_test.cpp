#include "ui/img_view_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cstring>
#include <memory>

namespace picaxo {
namespace {

// Pixel (x, y) of the test raster: blue = x, green = y, red = 0x55 (low bytes).
TRasterImage Pattern(int w, int h) {
  TRasterImage r(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = r.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = 0x55;
    }
  }
  return r;
}

TRasterImage Solid(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  TRasterImage img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      img.ScanLine(y)[3 * x] = b;
      img.ScanLine(y)[3 * x + 1] = g;
      img.ScanLine(y)[3 * x + 2] = r;
    }
  return img;
}

class ViewBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box = std::make_unique<TImgViewBox>();
    box->setObjectName(QStringLiteral("ImgViewBox1"));
    box->resize(800, 600);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
  }

  void Show(const TRasterImage& raster, TImgViewBoxZoom zoom) {
    box->SetZoom(zoom);
    box->SetBitmap(raster);
  }

  // Mouse events straight to the viewport, as the window system delivers them.
  void Mouse(QEvent::Type type, QPoint viewportPos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* vp = box->viewport();
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent ev(type, QPointF(viewportPos), QPointF(vp->mapToGlobal(viewportPos)), button, held,
                   mods);
    QApplication::sendEvent(vp, &ev);
  }
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, from, mods);
    Mouse(QEvent::MouseMove, (from + to) / 2, mods);
    Mouse(QEvent::MouseMove, to, mods);
    Mouse(QEvent::MouseButtonRelease, to, mods);
  }
  // Viewport point of a control point.
  QPoint At(int x, int y) const { return box->ImageRect().topLeft() + QPoint(x, y); }

  QImage Screen() {
    return box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  std::unique_ptr<TImgViewBox> box;
};

void ExpectSelection(const TSelection& s, int l, int t, int r, int b) {
  EXPECT_EQ(s.Left, l);
  EXPECT_EQ(s.Top, t);
  EXPECT_EQ(s.Right, r);
  EXPECT_EQ(s.Bottom, b);
}

TEST_F(ViewBoxTest, AutoLayoutFitsAndCentres) {
  ASSERT_EQ(box->viewport()->size(), QSize(800, 600));
  Show(Pattern(3000, 2000), ivzAuto);
  EXPECT_EQ(box->ZoomFactor(), 800.0f / 3000.0f);
  EXPECT_EQ(box->ImageRect(), QRect(0, 34, 800, 533));

  box->SetBitmap(Pattern(2000, 3000));
  EXPECT_EQ(box->ZoomFactor(), static_cast<float>(600.0 / 3000.0));
  EXPECT_EQ(box->ImageRect(), QRect(200, 0, 400, 600));

  box->SetBitmap(Pattern(400, 300));
  EXPECT_EQ(box->ZoomFactor(), 1.0f);
  EXPECT_EQ(box->ImageRect(), QRect(200, 150, 400, 300));
  box->SetAllowEnlargeInAutoSizeMode(true);
  EXPECT_EQ(box->ZoomFactor(), 2.0f);
  EXPECT_EQ(box->ImageRect(), QRect(0, 0, 800, 600));

  // Exactly as wide as the view: no enlarging, only the height may reduce it.
  box->SetBitmap(Pattern(800, 300));
  EXPECT_EQ(box->ZoomFactor(), 1.0f);
  EXPECT_EQ(box->ImageRect(), QRect(0, 150, 800, 300));
  box->SetBitmap(Pattern(800, 1200));
  EXPECT_EQ(box->ZoomFactor(), 0.5f);
  EXPECT_EQ(box->ImageRect(), QRect(200, 0, 400, 600));
  EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(box->verticalScrollBar()->isVisible());
}

TEST_F(ViewBoxTest, FixedZoomScrollsAndReturnsToFit) {
  Show(Pattern(400, 300), ivz21);
  EXPECT_EQ(box->ZoomFactor(), 2.0f);
  EXPECT_EQ(box->ImageRect(), QRect(0, 0, 800, 600));
  EXPECT_EQ(box->verticalScrollBar()->maximum(), 0);

  box->SetZoom(ivz41);
  EXPECT_EQ(box->ImageRect().size(), QSize(1600, 1200));
  const int cw = box->viewport()->width();
  const int ch = box->viewport()->height();
  EXPECT_LT(cw, 800);  // both scroll bars are shown
  EXPECT_EQ(box->horizontalScrollBar()->maximum(), 1600 - cw);
  EXPECT_EQ(box->verticalScrollBar()->maximum(), 1200 - ch);
  box->horizontalScrollBar()->setValue(100);
  EXPECT_EQ(box->ImageRect().topLeft(), QPoint(-100, 0));

  box->SetImageAutoSize(true);
  EXPECT_TRUE(box->ImageAutoSize());
  EXPECT_EQ(box->ImageRect(), QRect(200, 150, 400, 300));
  EXPECT_EQ(box->viewport()->size(), QSize(800, 600));
  box->SetImageAutoSize(false);
  EXPECT_EQ(box->Zoom(), ivz11);

  box->ClearImage();
  EXPECT_TRUE(box->Bitmap().Empty());
  EXPECT_EQ(box->ImageRect(), QRect(0, 0, 0, 0));
}

TEST_F(ViewBoxTest, DisplayIsNearestPixel) {
  Show(Pattern(300, 200), ivz21);
  QImage s = Screen();
  const QPoint o = box->ImageRect().topLeft();
  for (QPoint p : {QPoint(0, 0), QPoint(3, 4), QPoint(150, 99), QPoint(299, 199)}) {
    for (QPoint d : {QPoint(0, 0), QPoint(1, 1)}) {
      const QRgb c = s.pixel(o + 2 * p + d);
      EXPECT_EQ(qBlue(c), p.x() & 0xFF);
      EXPECT_EQ(qGreen(c), p.y());
      EXPECT_EQ(qRed(c), 0x55);
    }
  }
  box->SetZoom(ivz12);
  s = Screen();
  const QPoint o2 = box->ImageRect().topLeft();
  const QRgb c = s.pixel(o2 + QPoint(7, 9));
  EXPECT_EQ(qBlue(c), 14);
  EXPECT_EQ(qGreen(c), 18);
}

TEST_F(ViewBoxTest, PaletteRasterIsShownAsColour) {
  TRasterImage gray(4, 2, TPixelFormat::pf8bit);  // the grayscale preview's format
  gray.Palette().assign(256, TRGBQuad{});
  for (int i = 0; i < 256; ++i)
    gray.Palette()[static_cast<size_t>(i)] = TRGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      gray.ScanLine(y)[x] = static_cast<uint8_t>(40 * x + y);
  Show(gray, ivz11);
  EXPECT_EQ(box->Bitmap().PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(Screen().pixel(At(3, 1)), qRgb(121, 121, 121));
}

TEST_F(ViewBoxTest, SharedRasterIsShownWithoutACopyAndOnlyAWidenedOneIsCopied) {
  const auto photo = std::make_shared<const TRasterImage>(Pattern(300, 200));
  box->SetZoom(ivz11);
  box->SetBitmap(photo);
  EXPECT_EQ(&box->Bitmap(), photo.get());
  EXPECT_EQ(Screen().pixel(At(7, 9)), qRgb(0x55, 9, 7));
  // The owner's palette raster stays as it is; the view shows its 24-bit form.
  auto gray = std::make_shared<TRasterImage>(2, 1, TPixelFormat::pf8bit);
  gray->Palette().assign(256, TRGBQuad{10, 20, 30, 0});
  gray->ScanLine(0)[0] = gray->ScanLine(0)[1] = 3;
  box->SetBitmap(std::shared_ptr<const TRasterImage>(gray));
  EXPECT_EQ(gray->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_NE(&box->Bitmap(), gray.get());
  EXPECT_EQ(Screen().pixel(At(1, 0)), qRgb(30, 20, 10));
  box->ClearImage();
  EXPECT_EQ(photo.use_count(), 1);  // released once no longer shown
  EXPECT_EQ(gray.use_count(), 1);
}

TEST_F(ViewBoxTest, DragAtTwoToOneAndOneToTwo) {
  box->SetSelectable(true);
  Show(Pattern(300, 200), ivz21);
  Mouse(QEvent::MouseButtonPress, At(7, 9));
  EXPECT_EQ(box->MouseMode(), mmSelecting);
  ExpectSelection(box->GetSelection(), 3, 4, 3, 4);
  Mouse(QEvent::MouseMove, At(21, 31));
  Mouse(QEvent::MouseButtonRelease, At(21, 31));
  ExpectSelection(box->GetSelection(), 3, 4, 10, 15);
  EXPECT_TRUE(box->HasSelection());
  EXPECT_EQ(box->MouseMode(), mmIdle);

  Show(Pattern(1000, 800), ivz12);
  Mouse(QEvent::MouseButtonPress, At(7, 9));
  ExpectSelection(box->GetSelection(), 14, 18, 14, 18);
  Mouse(QEvent::MouseButtonRelease, At(100, 50));
  ExpectSelection(box->GetSelection(), 14, 18, 200, 100);
}

TEST_F(ViewBoxTest, ReverseDragEqualsForwardDrag) {
  box->SetSelectable(true);
  Show(Pattern(3000, 2000), ivzAuto);
  Drag(At(100, 80), At(400, 300));
  const TSelection forward = box->GetSelection();
  Drag(At(400, 300), At(100, 80));
  EXPECT_EQ(box->GetSelection(), forward);
  Drag(At(100, 300), At(400, 80));
  EXPECT_EQ(box->GetSelection(), forward);
  EXPECT_LT(forward.Left, forward.Right);
  EXPECT_LT(forward.Top, forward.Bottom);
}

TEST_F(ViewBoxTest, DragBeyondTheEdgeStopsAtTheLastPixel) {
  box->SetSelectable(true);
  Show(Pattern(300, 200), ivz21);  // 600 x 400 at (100, 100)
  Drag(At(20, 20), QPoint(795, 595));
  ExpectSelection(box->GetSelection(), 10, 10, 299, 199);
  Drag(At(20, 20), QPoint(-50, -70));
  ExpectSelection(box->GetSelection(), 0, 0, 10, 10);
}

TEST_F(ViewBoxTest, PressInTheMarginStartsAtTheNearestEdge) {
  box->SetSelectable(true);
  Show(Pattern(400, 300), ivz11);  // at (200, 150)
  Mouse(QEvent::MouseButtonPress, QPoint(50, 300));
  ExpectSelection(box->GetSelection(), 0, 150, 0, 150);
  Mouse(QEvent::MouseButtonRelease, QPoint(50, 300));
  Mouse(QEvent::MouseButtonPress, QPoint(700, 10));
  ExpectSelection(box->GetSelection(), 399, 0, 399, 0);
  Mouse(QEvent::MouseButtonRelease, QPoint(300, 200));
  ExpectSelection(box->GetSelection(), 100, 0, 399, 50);
}

TEST_F(ViewBoxTest, ClickWithoutDragIsNoSelection) {
  box->SetSelectable(true);
  Show(Solid(400, 300, 0x40, 0x80, 0xC0), ivz11);
  QSignalSpy selecting(box.get(), &TImgViewBox::OnSelecting);
  QSignalSpy changed(box.get(), &TImgViewBox::OnSelectionChange);
  Mouse(QEvent::MouseButtonPress, At(10, 10));
  Mouse(QEvent::MouseButtonRelease, At(10, 10));
  EXPECT_EQ(selecting.count(), 2);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(selecting.front().front().value<QObject*>(), box.get());
  EXPECT_FALSE(box->HasSelection());
  EXPECT_FALSE(box->FrameShown());
  const QImage s = Screen();
  EXPECT_EQ(s.pixel(At(10, 10)), qRgb(0xC0, 0x80, 0x40));

  selecting.clear();
  Drag(At(10, 10), At(50, 40));  // press, two moves, release
  EXPECT_EQ(selecting.count(), 4);
  EXPECT_EQ(changed.count(), 2);
}

TEST_F(ViewBoxTest, FrameIsInvertedOnScreenAndNeverInTheBitmap) {
  box->SetSelectable(true);
  const TRasterImage original = Solid(400, 300, 0x40, 0x80, 0xC0);
  Show(original, ivz11);
  Drag(At(10, 10), At(100, 50));
  ASSERT_TRUE(box->FrameShown());
  const QImage s = Screen();
  const QRgb plain = qRgb(0xC0, 0x80, 0x40);
  const QRgb inverted = qRgb(0x3F, 0x7F, 0xBF);
  EXPECT_EQ(s.pixel(At(10, 10)), inverted);  // the corner, where the dashes start
  EXPECT_EQ(s.pixel(At(13, 10)), inverted);
  EXPECT_EQ(s.pixel(At(14, 10)), plain);  // a gap
  EXPECT_EQ(s.pixel(At(16, 10)), inverted);
  EXPECT_EQ(s.pixel(At(50, 30)), plain);  // inside
  EXPECT_EQ(s.pixel(At(9, 10)), plain);   // outside
  int invertedCount = 0;
  for (int x = 10; x <= 100; ++x)
    invertedCount += s.pixel(At(x, 10)) == inverted;
  EXPECT_GT(invertedCount, 40);  // dashed, not solid
  EXPECT_LT(invertedCount, 91);
  ASSERT_EQ(box->Bitmap().ByteSize(), original.ByteSize());
  EXPECT_EQ(std::memcmp(box->Bitmap().ScanLine(0), original.ScanLine(0), original.ByteSize()), 0);

  box->ClearSelection();
  EXPECT_FALSE(box->FrameShown());
  EXPECT_EQ(Screen().pixel(At(10, 10)), plain);
  // A selection set by the program shows its frame only while the view is selectable.
  box->SetSelection(TSelection{5, 5, 20, 20});
  EXPECT_EQ(Screen().pixel(At(5, 5)), inverted);
  box->SetSelection(TSelection{20, 20, 5, 5});  // stored the wrong way round, drawn normalised
  EXPECT_EQ(Screen().pixel(At(5, 5)), inverted);
  // Far outside the picture: stored, and drawing it neither crashes nor takes long.
  box->SetSelection(TSelection{-2000000000, 3, 2000000000, 2000000000});
  const QImage far = Screen();
  int farInverted = 0;
  for (int x = 0; x < 400; ++x)
    farInverted += far.pixel(At(x, 3)) == inverted;
  EXPECT_GT(farInverted, 200);  // the top edge runs dashed across the whole picture
  EXPECT_EQ(far.pixel(At(5, 4)), plain);
  EXPECT_EQ(box->GetSelection().Right, 2000000000);
  box->SetSelectable(false);
  EXPECT_EQ(Screen().pixel(At(5, 5)), plain);
}

TEST_F(ViewBoxTest, SetAndClearSelection) {
  QSignalSpy selecting(box.get(), &TImgViewBox::OnSelecting);
  Show(Pattern(400, 300), ivz11);
  ExpectSelection(box->GetSelection(), 0, 0, 0, 0);
  EXPECT_FALSE(box->HasSelection());
  box->SetSelection(TSelection{500, 7, 3, 900});  // stored as given
  ExpectSelection(box->GetSelection(), 500, 7, 3, 900);
  EXPECT_TRUE(box->HasSelection());
  box->ClearSelection();
  EXPECT_FALSE(box->HasSelection());
  ExpectSelection(box->GetSelection(), 500, 7, 3, 900);
  EXPECT_EQ(selecting.count(), 0);
  // Not selectable: a press in a fixed zoom pans instead of selecting.
  Mouse(QEvent::MouseButtonPress, At(10, 10));
  EXPECT_EQ(box->MouseMode(), mmPanning);
  Mouse(QEvent::MouseButtonRelease, At(10, 10));
  EXPECT_EQ(selecting.count(), 0);
}

TEST_F(ViewBoxTest, MouseIsIgnoredWithoutAPicture) {
  box->SetSelectable(true);
  QSignalSpy selecting(box.get(), &TImgViewBox::OnSelecting);
  Mouse(QEvent::MouseButtonPress, QPoint(10, 10));
  EXPECT_EQ(box->MouseMode(), mmIdle);
  Mouse(QEvent::MouseButtonRelease, QPoint(10, 10));
  EXPECT_EQ(selecting.count(), 0);
}

TEST_F(ViewBoxTest, AltDragPans) {
  box->SetSelectable(true);
  Show(Pattern(2000, 1500), ivz11);
  QSignalSpy selecting(box.get(), &TImgViewBox::OnSelecting);
  Mouse(QEvent::MouseButtonPress, QPoint(400, 300), Qt::AltModifier);
  EXPECT_EQ(box->MouseMode(), mmPanning);
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::ClosedHandCursor);
  Mouse(QEvent::MouseMove, QPoint(300, 250), Qt::AltModifier);
  EXPECT_EQ(box->horizontalScrollBar()->value(), 100);
  EXPECT_EQ(box->verticalScrollBar()->value(), 50);
  EXPECT_EQ(box->ImageRect().topLeft(), QPoint(-100, -50));
  Mouse(QEvent::MouseMove, QPoint(700, 500), Qt::AltModifier);  // clamped at the origin
  EXPECT_EQ(box->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(box->verticalScrollBar()->value(), 0);
  Mouse(QEvent::MouseButtonRelease, QPoint(700, 500), Qt::AltModifier);
  EXPECT_EQ(box->MouseMode(), mmIdle);
  EXPECT_EQ(selecting.count(), 0);
  EXPECT_FALSE(box->HasSelection());

  // Fitted to the view there is nothing to pan.
  box->SetZoom(ivzAuto);
  Mouse(QEvent::MouseButtonPress, QPoint(400, 300), Qt::AltModifier);
  EXPECT_EQ(box->MouseMode(), mmIdle);
  Mouse(QEvent::MouseButtonRelease, QPoint(400, 300), Qt::AltModifier);
  EXPECT_EQ(selecting.count(), 0);
}

TEST_F(ViewBoxTest, WheelSteps) {
  Show(Pattern(3000, 3000), ivz11);
  QScrollBar* h = box->horizontalScrollBar();
  QScrollBar* v = box->verticalScrollBar();
  v->setValue(500);
  h->setValue(500);
  bool handled = false;
  box->WheelScroll(box.get(), ssShift, 360, QPoint(), handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(v->value(), 470);
  handled = false;
  box->WheelScroll(box->viewport(), ssCtrl, 360, QPoint(), handled);
  EXPECT_EQ(h->value(), 320);
  handled = false;
  box->WheelScroll(box.get(), 0, -120, QPoint(), handled);
  EXPECT_EQ(v->value(), 530);
  handled = false;
  box->WheelScroll(box.get(), 0, 60, QPoint(), handled);  // half a notch: 30 px
  EXPECT_EQ(v->value(), 500);

  // Already handled: nothing.
  box->WheelScroll(box.get(), 0, 120, QPoint(), handled);
  EXPECT_EQ(v->value(), 500);

  // From another widget: only when the pointer is over the box.
  QWidget other;
  handled = false;
  box->WheelScroll(&other, 0, 120, box->mapToGlobal(QPoint(-5, 10)), handled);
  EXPECT_FALSE(handled);
  EXPECT_EQ(v->value(), 500);
  box->WheelScroll(&other, 0, 120, box->mapToGlobal(QPoint(box->width(), 10)), handled);
  EXPECT_FALSE(handled);
  box->WheelScroll(&other, 0, 120, box->mapToGlobal(QPoint(10, 10)), handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(v->value(), 440);

  // A wheel event on the view itself goes the same way.
  const QPoint pos(100, 100);
  QWheelEvent ev(QPointF(pos), QPointF(box->viewport()->mapToGlobal(pos)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(box->viewport(), &ev);
  EXPECT_EQ(v->value(), 430);
}

TEST_F(ViewBoxTest, CursorsAndHints) {
  const QString wheel = QStringLiteral(
      "MouseWheel:scroll up/down. Ctrl+MouseWheel:scroll left/right. Shift+MouseWheel:fine "
      "scrolling");
  QSignalSpy hints(box.get(), &TImgViewBox::HintChanged);
  EXPECT_EQ(box->Hint(), QString());
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::ArrowCursor);

  Show(Pattern(2000, 1500), ivz11);
  EXPECT_EQ(box->Hint(), QStringLiteral("Use the mouse to scroll the image. ") + wheel);
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::OpenHandCursor);
  EXPECT_EQ(box->statusTip(), box->Hint());
  EXPECT_EQ(box->viewport()->statusTip(), box->Hint());
  EXPECT_TRUE(box->toolTip().isEmpty());
  ASSERT_FALSE(hints.isEmpty());
  EXPECT_EQ(hints.back().front().toString(), box->Hint());

  box->SetSelectable(true);
  EXPECT_EQ(
      box->Hint(),
      QStringLiteral("Use the mouse to choose a selection. Mouse+Alt:scroll image. ") + wheel);
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::CrossCursor);

  box->SetZoom(ivzAuto);
  EXPECT_EQ(box->Hint(), QStringLiteral("Use the mouse to choose a selection."));
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::CrossCursor);

  box->SetSelectable(false);
  EXPECT_EQ(box->Hint(), QString());
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::ArrowCursor);

  box->SetZoom(ivz11);
  box->SetBitmap(Pattern(400, 300));
  EXPECT_EQ(box->Hint(), QString());
  EXPECT_EQ(box->viewport()->cursor().shape(), Qt::ArrowCursor);
}

// Records the regions the viewport repaints.
class PaintRecorder : public QObject {
 public:
  QRegion painted;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

TEST_F(ViewBoxTest, DragStepRepaintsOnlyTheOutline) {
  box->SetSelectable(true);
  Show(Pattern(3000, 2000), ivzAuto);
  QApplication::processEvents();
  PaintRecorder recorder;
  box->viewport()->installEventFilter(&recorder);
  Mouse(QEvent::MouseButtonPress, At(100, 100));
  Mouse(QEvent::MouseMove, At(400, 300));
  QApplication::processEvents();
  const int64_t rebuilds = box->DisplayRebuildCount();
  const auto rightEdge = [&] {
    return static_cast<int>(box->GetSelection().Right * static_cast<double>(box->ZoomFactor()));
  };
  const int oldRight = rightEdge();
  recorder.painted = QRegion();
  Mouse(QEvent::MouseMove, At(420, 310));
  QApplication::processEvents();
  const int newRight = rightEdge();
  ASSERT_GT(newRight, oldRight);
  EXPECT_FALSE(recorder.painted.isEmpty());
  EXPECT_FALSE(recorder.painted.contains(At(250, 200)));      // the inside stays as it is
  EXPECT_TRUE(recorder.painted.contains(At(newRight, 250)));  // the new right edge
  EXPECT_TRUE(recorder.painted.contains(At(oldRight, 250)));  // the old right edge
  EXPECT_FALSE(recorder.painted.contains(At((oldRight + newRight) / 2, 250)));
  EXPECT_EQ(box->DisplayRebuildCount(), rebuilds);
  Mouse(QEvent::MouseButtonRelease, At(420, 310));
  box->viewport()->removeEventFilter(&recorder);

  // A repaint without a change of picture, zoom or size reuses the display image.
  box->viewport()->repaint();
  EXPECT_EQ(box->DisplayRebuildCount(), rebuilds);
  box->resize(700, 500);
  box->viewport()->repaint();
  EXPECT_EQ(box->DisplayRebuildCount(), rebuilds + 1);
}

TEST_F(ViewBoxTest, PictureChangeDuringADragIsAppliedWhenItEnds) {
  box->SetSelectable(true);
  Show(Pattern(400, 300), ivz11);
  Mouse(QEvent::MouseButtonPress, At(10, 10));
  box->SetBitmap(Pattern(3000, 2000));
  Mouse(QEvent::MouseButtonRelease, At(20, 20));
  EXPECT_EQ(box->ImageRect(), QRect(0, 0, 3000, 2000));  // laid out for the new picture
  EXPECT_EQ(box->Bitmap().Width(), 3000);
}

TEST_F(ViewBoxTest, HiDpiDrawsAtDeviceResolutionWithTheSameArithmetic) {
  if (box->viewport()->devicePixelRatioF() != 2.0) GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
  box->SetSelectable(true);
  Show(Pattern(3000, 2000), ivzAuto);
  EXPECT_EQ(box->ImageRect(), QRect(0, 34, 800, 533));  // logical pixels, as at ratio 1
  const QImage s = box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(s.width(), 1600);
  // Neighbouring device pixels show different photo columns: 1600 of them, not 800 doubled.
  const QRgb a = s.pixel(0, 68);
  const QRgb b = s.pixel(1, 68);
  EXPECT_EQ(qBlue(a), 0);
  EXPECT_EQ(qBlue(b), 1);  // column 1 * 3000 / 1600

  Show(Pattern(300, 200), ivz21);
  Drag(At(7, 9), At(21, 31));
  ExpectSelection(box->GetSelection(), 3, 4, 10, 15);
}

}  // namespace
}  // namespace picaxo
