#include "ui/img_view_box.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace picaxo {

namespace {

const QString kScrollHint = QStringLiteral("Use the mouse to scroll the image.");
const QString kSelectHint = QStringLiteral("Use the mouse to choose a selection.");
const QString kAltScrollHint = QStringLiteral("Mouse+Alt:scroll image.");
const QString kWheelHint = QStringLiteral(
    "MouseWheel:scroll up/down. Ctrl+MouseWheel:scroll left/right. Shift+MouseWheel:fine "
    "scrolling");

// Dash pattern of the selection outline, in logical pixels along the perimeter.
constexpr int kDashOn = 4;
constexpr int kDashPeriod = 6;

// Nearest integer, ties to even (the default rounding mode).
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

// Image pixel under a control coordinate: trunc(v / factor).
int ToImage(int v, float factor) {
  return static_cast<int>(static_cast<double>(v) / static_cast<double>(factor));
}

// Screen coordinate of an image coordinate: trunc(v * factor), kept within a range a QRect can
// hold, since a selection set by the program is stored unchecked.
int ToScreen(int v, float factor) {
  const double screen = static_cast<double>(v) * static_cast<double>(factor);
  return static_cast<int>(std::clamp(screen, -1.0e8, 1.0e8));
}

// The pixels of one edge of the outline that the dash pattern turns on, as 1-pixel wide rects,
// limited to clip. phase counts perimeter pixels walked so far, so the pattern runs on around the
// corners; only the part of the edge inside clip is walked.
void DashEdge(QPoint start, QPoint step, int length, const QRect& clip, int& phase,
              std::vector<QRect>& out) {
  // Index range of the edge inside clip (the edge runs along one axis).
  int first = 0;
  int last = length - 1;
  const auto limit = [&](int from, int dir, int lo, int hi) {
    // Positions from + dir * i must lie within lo .. hi.
    if (dir > 0) {
      first = std::max(first, lo - from);
      last = std::min(last, hi - from);
    } else if (dir < 0) {
      first = std::max(first, from - hi);
      last = std::min(last, from - lo);
    } else if (from < lo || from > hi) {
      last = -1;
    }
  };
  limit(start.x(), step.x(), clip.left(), clip.right());
  limit(start.y(), step.y(), clip.top(), clip.bottom());
  int runStart = -1;
  for (int i = first; i <= last + 1; ++i) {
    const bool on = i <= last && (phase + i) % kDashPeriod < kDashOn;
    if (on && runStart < 0) runStart = i;
    if (!on && runStart >= 0) {
      const QPoint p = start + step * runStart;
      const QPoint q = start + step * (i - 1);
      out.push_back(QRect(QPoint(std::min(p.x(), q.x()), std::min(p.y(), q.y())),
                          QPoint(std::max(p.x(), q.x()), std::max(p.y(), q.y()))));
      runStart = -1;
    }
  }
  phase = (phase + length) % kDashPeriod;
}

// The dash rectangles of the outline of r (inclusive pixel rows and columns r.left() ..
// r.right()) inside clip, each perimeter pixel once, so an inverting fill never cancels itself at
// a corner.
std::vector<QRect> DashRects(const QRect& r, const QRect& clip) {
  std::vector<QRect> out;
  int phase = 0;
  const int w = r.width();
  const int h = r.height();
  DashEdge(r.topLeft(), QPoint(1, 0), w, clip, phase, out);
  if (h > 1) {
    DashEdge(QPoint(r.right(), r.top() + 1), QPoint(0, 1), h - 1, clip, phase, out);
    if (w > 1) {
      DashEdge(QPoint(r.right() - 1, r.bottom()), QPoint(-1, 0), w - 1, clip, phase, out);
      if (h > 2) DashEdge(QPoint(r.left(), r.bottom() - 1), QPoint(0, -1), h - 2, clip, phase, out);
    }
  }
  return out;
}

}  // namespace

float ZoomFactorOf(TImgViewBoxZoom zoom) {
  switch (zoom) {
    case ivz11:
      return 1.0f;
    case ivz21:
      return 2.0f;
    case ivz31:
      return 3.0f;
    case ivz41:
      return 4.0f;
    case ivz12:
      return 0.5f;
    case ivz13:
      return 1.0f / 3.0f;
    case ivz14:
      return 0.25f;
    case ivz15:
      return 0.2f;
    case ivz16:
      return 1.0f / 6.0f;
    case ivzAuto:
      return 1.0f;
  }
  return 1.0f;
}

TImgViewBox::TImgViewBox(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  // Clicking the picture takes the focus from an edit, so the edit commits its value and the
  // picture keys (Delete, Home, End) work at once.
  setFocusPolicy(Qt::ClickFocus);
  // The view paints every pixel itself: the image from its cache, the margins in the window
  // colour, so nothing is erased under the image.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setBackgroundRole(QPalette::Window);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalScrollBar()->setTracking(true);
  verticalScrollBar()->setTracking(true);
  horizontalScrollBar()->setSingleStep(20);
  verticalScrollBar()->setSingleStep(20);
  UpdateCursorAndHint();
}

TImgViewBox::~TImgViewBox() = default;

const TRasterImage& TImgViewBox::Bitmap() const {
  static const TRasterImage kNone;
  return bitmap_ ? *bitmap_ : kNone;
}

void TImgViewBox::SetBitmap(std::shared_ptr<const TRasterImage> raster) {
  if (raster && !raster->Empty() && raster->PixelFormat() != TPixelFormat::pf24bit) {
    // The display is computed from 24-bit rows; the owner's raster stays as it is.
    TRasterImage widened(raster->Width(), raster->Height());
    for (int y = 0; y < raster->Height(); ++y)
      raster->WidenRow(y, widened.ScanLine(y));
    raster = std::make_shared<const TRasterImage>(std::move(widened));
  }
  bitmap_ = std::move(raster);
  ++bitmapGeneration_;
  PictureChanged();
}

void TImgViewBox::SetBitmap(const TRasterImage& raster) {
  SetBitmap(std::make_shared<const TRasterImage>(raster));
}

void TImgViewBox::SetBitmap(TRasterImage&& raster) {
  SetBitmap(std::make_shared<const TRasterImage>(std::move(raster)));
}

void TImgViewBox::ClearImage() {
  bitmap_.reset();
  ++bitmapGeneration_;
  PictureChanged();
}

void TImgViewBox::PictureChanged() {
  if (mouseMode_ != mmIdle) {
    // Handled when the drag ends, so the layout never stays that of the previous picture.
    pictureChangePending_ = true;
    return;
  }
  pictureChangePending_ = false;
  frameShown_ = false;
  UpdateLayout();
  if (selectionSet_) DrawSelectionFrame();
  viewport()->update();
}

void TImgViewBox::SetZoom(TImgViewBoxZoom zoom) {
  if (zoom == zoom_) return;
  zoom_ = zoom;
  zoomFactor_ = ZoomFactorOf(zoom);
  UpdateLayout();
}

void TImgViewBox::SetImageAutoSize(bool autoSize) {
  SetZoom(autoSize ? ivzAuto : ivz11);
}

void TImgViewBox::SetAllowEnlargeInAutoSizeMode(bool allow) {
  if (allow == allowEnlarge_) return;
  allowEnlarge_ = allow;
  UpdateLayout();
}

void TImgViewBox::SetSelectable(bool selectable) {
  if (selectable == selectable_) return;
  selectable_ = selectable;
  UpdateCursorAndHint();
  viewport()->update();
}

bool TImgViewBox::HasSelection() const {
  return selectionSet_ &&
         (selection_.Left != selection_.Right || selection_.Top != selection_.Bottom);
}

void TImgViewBox::SetSelection(const TSelection& selection) {
  RemoveFrame();
  selection_ = selection;
  selectionSet_ = true;
  if (selectable_) DrawSelectionFrame();
}

void TImgViewBox::ClearSelection() {
  RemoveFrame();
  selectionSet_ = false;
}

// ---- layout ---------------------------------------------------------------------------------

void TImgViewBox::UpdateLayout() {
  if (inLayout_) {
    layoutAgain_ = true;
    return;
  }
  inLayout_ = true;
  const int w = Bitmap().Width();
  const int h = Bitmap().Height();
  if (Bitmap().Empty() || w < 1 || h < 1) {
    displayW_ = displayH_ = 0;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
  } else if (zoom_ == ivzAuto) {
    autoScroll_ = false;
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    if (w > cw || (allowEnlarge_ && w != cw))
      zoomFactor_ = static_cast<float>(static_cast<double>(cw) / w);
    else
      zoomFactor_ = 1.0f;
    if (RoundEven(h * static_cast<double>(zoomFactor_)) > ch)
      zoomFactor_ = static_cast<float>(static_cast<double>(ch) / h);
    displayW_ = RoundEven(w * static_cast<double>(zoomFactor_));
    displayH_ = RoundEven(h * static_cast<double>(zoomFactor_));
  } else {
    if (!autoScroll_) {
      autoScroll_ = true;
      horizontalScrollBar()->setValue(0);
      verticalScrollBar()->setValue(0);
    }
    displayW_ = RoundEven(w * static_cast<double>(zoomFactor_));
    displayH_ = RoundEven(h * static_cast<double>(zoomFactor_));
    // The scroll bars the displayed size needs: one that appears narrows the client area, which
    // may call for the other one.
    const QSize full = maximumViewportSize();
    const int barW = verticalScrollBar()->sizeHint().width();
    const int barH = horizontalScrollBar()->sizeHint().height();
    bool needH = displayW_ > full.width();
    bool needV = displayH_ > full.height();
    needH = displayW_ > full.width() - (needV ? barW : 0);
    needV = displayH_ > full.height() - (needH ? barH : 0);
    setHorizontalScrollBarPolicy(needH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(needV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    horizontalScrollBar()->setPageStep(std::max(1, cw));
    verticalScrollBar()->setPageStep(std::max(1, ch));
    horizontalScrollBar()->setRange(0, std::max(0, displayW_ - cw));
    verticalScrollBar()->setRange(0, std::max(0, displayH_ - ch));
  }
  inLayout_ = false;
  ApplyLayout();
  UpdateCursorAndHint();
  if (layoutAgain_) {
    layoutAgain_ = false;
    UpdateLayout();
  }
}

void TImgViewBox::ApplyLayout() {
  const QRect old = imageRect_;
  if (displayW_ <= 0 || displayH_ <= 0) {
    imageRect_ = QRect(0, 0, 0, 0);
  } else {
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    const int left = std::max(0, cw / 2 - displayW_ / 2) - horizontalScrollBar()->value();
    const int top = std::max(0, ch / 2 - displayH_ / 2) - verticalScrollBar()->value();
    imageRect_ = QRect(left, top, displayW_, displayH_);
  }
  if (imageRect_ != old) viewport()->update();
}

void TImgViewBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateLayout();
}

void TImgViewBox::scrollContentsBy(int /*dx*/, int /*dy*/) {
  ApplyLayout();
}

bool TImgViewBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Enter) {
    QStatusTipEvent tip(hint_);
    QApplication::sendEvent(this, &tip);
  } else if (event->type() == QEvent::Leave) {
    QStatusTipEvent tip{QString()};
    QApplication::sendEvent(this, &tip);
  }
  return QAbstractScrollArea::viewportEvent(event);
}

// ---- cursor and hint ------------------------------------------------------------------------

void TImgViewBox::UpdateCursorAndHint() {
  const bool scrollable =
      viewport()->width() < imageRect_.width() || viewport()->height() < imageRect_.height();
  QString hint;
  Qt::CursorShape cursor = Qt::ArrowCursor;
  if (!selectable_ || mouseMode_ == mmPanning) {
    if (!Bitmap().Empty() && !ImageAutoSize() && scrollable) {
      cursor = mouseMode_ == mmPanning ? Qt::ClosedHandCursor : Qt::OpenHandCursor;
      hint = kScrollHint;
    }
  } else {
    cursor = Qt::CrossCursor;
    hint = kSelectHint;
    if (scrollable) hint += QLatin1Char(' ') + kAltScrollHint;
  }
  if (scrollable) hint = hint.isEmpty() ? kWheelHint : hint + QLatin1Char(' ') + kWheelHint;
  viewport()->setCursor(cursor);
  setStatusTip(hint);
  viewport()->setStatusTip(hint);
  if (hint != hint_) {
    hint_ = hint;
    emit HintChanged(hint_);
    if (viewport()->underMouse()) {
      QStatusTipEvent tip(hint_);
      QApplication::sendEvent(this, &tip);
    }
  }
}

// ---- selection ------------------------------------------------------------------------------

QRect TImgViewBox::FrameRect() const {
  const float f = zoomFactor_;
  const int x1 = ToScreen(selection_.Left, f);
  const int y1 = ToScreen(selection_.Top, f);
  const int x2 = ToScreen(selection_.Right, f) + 1;  // outside the outline
  const int y2 = ToScreen(selection_.Bottom, f) + 1;
  // A rectangle set by the program may be the wrong way round; it is drawn normalised.
  return QRect(QPoint(std::min(x1, x2 - 1), std::min(y1, y2 - 1)),
               QPoint(std::max(x1, x2 - 1), std::max(y1, y2 - 1)))
      .translated(imageRect_.topLeft());
}

void TImgViewBox::UpdateFrameArea(const QRect& frame) {
  // Only the outline's rows and columns: a drag step never repaints the inside of the frame.
  QRegion region;
  region += QRect(frame.left(), frame.top(), frame.width(), 1);
  region += QRect(frame.left(), frame.bottom(), frame.width(), 1);
  region += QRect(frame.left(), frame.top(), 1, frame.height());
  region += QRect(frame.right(), frame.top(), 1, frame.height());
  viewport()->update(region);
}

void TImgViewBox::DrawSelectionFrame() {
  if (selection_.Left == selection_.Right && selection_.Top == selection_.Bottom) {
    frameShown_ = false;
    return;
  }
  frameShown_ = !frameShown_;
  UpdateFrameArea(FrameRect());
}

void TImgViewBox::RemoveFrame() {
  if (frameShown_) DrawSelectionFrame();
}

void TImgViewBox::SetSelectionCorner(int x, int y) {
  x = std::clamp(x, 0, std::max(0, Bitmap().Width() - 1));
  y = std::clamp(y, 0, std::max(0, Bitmap().Height() - 1));
  selection_.Left = std::min(selAnchor_.x(), x);
  selection_.Right = std::max(selAnchor_.x(), x);
  selection_.Top = std::min(selAnchor_.y(), y);
  selection_.Bottom = std::max(selAnchor_.y(), y);
}

void TImgViewBox::BeginSelection(int x, int y) {
  RemoveFrame();
  selectionSet_ = true;
  x = std::max(0, x);
  y = std::max(0, y);
  const int ix = std::min(ToImage(x, zoomFactor_), Bitmap().Width() - 1);
  const int iy = std::min(ToImage(y, zoomFactor_), Bitmap().Height() - 1);
  selAnchor_ = QPoint(ix, iy);
  SetSelectionCorner(ix, iy);
  DrawSelectionFrame();
  emit OnSelecting(this);
}

void TImgViewBox::DragSelection(int x, int y) {
  RemoveFrame();
  SetSelectionCorner(ToImage(x, zoomFactor_), ToImage(y, zoomFactor_));
  DrawSelectionFrame();
  emit OnSelecting(this);
}

void TImgViewBox::EndSelection(int x, int y) {
  RemoveFrame();
  SetSelectionCorner(ToImage(x, zoomFactor_), ToImage(y, zoomFactor_));
  DrawSelectionFrame();
  emit OnSelecting(this);
  emit OnSelectionChange(this);
}

// ---- mouse and wheel ------------------------------------------------------------------------

QPoint TImgViewBox::ToControl(QPoint viewportPoint) const {
  return viewportPoint - imageRect_.topLeft();
}

void TImgViewBox::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton || Bitmap().Empty()) return;
  const QPoint p = ToControl(event->position().toPoint());
  const bool alt = event->modifiers() & Qt::AltModifier;
  if (selectable_ && !alt) {
    mouseMode_ = mmSelecting;
    BeginSelection(p.x(), p.y());
  } else if (!ImageAutoSize()) {
    mouseMode_ = mmPanning;
    panStartMouse_ = event->globalPosition().toPoint();
    panStartScroll_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
  }
  UpdateCursorAndHint();
}

void TImgViewBox::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (mouseMode_ == mmIdle || Bitmap().Empty()) return;
  if (mouseMode_ == mmSelecting) {
    const QPoint p = ToControl(event->position().toPoint());
    DragSelection(p.x(), p.y());
  } else {
    const QPoint g = event->globalPosition().toPoint();
    horizontalScrollBar()->setValue(panStartScroll_.x() + (panStartMouse_.x() - g.x()));
    verticalScrollBar()->setValue(panStartScroll_.y() + (panStartMouse_.y() - g.y()));
  }
}

void TImgViewBox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (mouseMode_ == mmSelecting) {
    const QPoint p = ToControl(event->position().toPoint());
    EndSelection(p.x(), p.y());
  }
  mouseMode_ = mmIdle;
  UpdateCursorAndHint();
  if (pictureChangePending_) PictureChanged();
}

void TImgViewBox::WheelScroll(QObject* sender, TShiftState shift, int wheelDelta, QPoint mousePos,
                              bool& handled) {
  if (handled) return;
  if (sender != this && sender != viewport()) {
    const QPoint p = mapFromGlobal(mousePos);
    if (p.x() < 0 || p.y() < 0 || p.x() >= width() || p.y() >= height()) return;
  }
  const double notches = wheelDelta / 120.0;
  const int step = RoundEven(notches * ((shift & ssShift) ? 10 : 60));
  QScrollBar* bar = (shift & ssCtrl) ? horizontalScrollBar() : verticalScrollBar();
  bar->setValue(bar->value() - step);
  handled = true;
}

void TImgViewBox::wheelEvent(QWheelEvent* event) {
  TShiftState shift = 0;
  if (event->modifiers() & Qt::ShiftModifier) shift |= ssShift;
  if (event->modifiers() & Qt::ControlModifier) shift |= ssCtrl;
  if (event->modifiers() & Qt::AltModifier) shift |= ssAlt;
  int delta = event->angleDelta().y();
  if (delta == 0 && event->angleDelta().x() != 0) {
    // A sideways wheel or touchpad swipe scrolls sideways.
    delta = event->angleDelta().x();
    shift |= ssCtrl;
  }
  bool handled = false;
  WheelScroll(this, shift, delta, event->globalPosition().toPoint(), handled);
  event->setAccepted(handled);
}

// ---- painting -------------------------------------------------------------------------------

void TImgViewBox::RebuildDisplay(const QRect& area, qreal ratio) {
  // Nearest pixel: device column d of the displayed image shows source column d * W / (dw * r),
  // as a stretched blit drops or repeats columns. Only the requested area is computed.
  const TRasterImage& bitmap = Bitmap();
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  const double devW = displayW_ * ratio;
  const double devH = displayH_ * ratio;
  const int x0 = static_cast<int>(std::floor(area.left() * ratio));
  const int y0 = static_cast<int>(std::floor(area.top() * ratio));
  const int outW = std::max(1, static_cast<int>(std::ceil(area.width() * ratio)));
  const int outH = std::max(1, static_cast<int>(std::ceil(area.height() * ratio)));
  display_ = QImage(outW, outH, QImage::Format_RGB32);
  display_.setDevicePixelRatio(ratio);
  std::vector<int> columns(static_cast<size_t>(outW));
  for (int i = 0; i < outW; ++i) {
    const int sx = static_cast<int>((x0 + i) * static_cast<double>(w) / devW);
    columns[static_cast<size_t>(i)] = 3 * std::clamp(sx, 0, w - 1);
  }
  int lastRow = -1;
  for (int j = 0; j < outH; ++j) {
    const int sy = std::clamp(static_cast<int>((y0 + j) * static_cast<double>(h) / devH), 0, h - 1);
    auto* out = reinterpret_cast<uint32_t*>(display_.scanLine(j));
    if (sy == lastRow) {
      std::copy_n(reinterpret_cast<const uint32_t*>(display_.constScanLine(j - 1)), outW, out);
      continue;
    }
    lastRow = sy;
    const uint8_t* row = bitmap.ScanLine(sy);
    for (int i = 0; i < outW; ++i) {
      const uint8_t* p = row + columns[static_cast<size_t>(i)];
      out[i] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
  }
  displayArea_ = area;
  displayKey_ = {bitmapGeneration_, displayW_, displayH_, ratio};
  ++displayRebuilds_;
}

void TImgViewBox::EnsureDisplay(const QRect& visible) {
  const qreal ratio = viewport()->devicePixelRatioF();
  const TDisplayKey key{bitmapGeneration_, displayW_, displayH_, ratio};
  if (!display_.isNull() && key == displayKey_ && displayArea_.contains(visible)) return;
  // A margin of half a view on each side lets small scrolls reuse the image.
  const QRect whole(0, 0, displayW_, displayH_);
  const int mx = viewport()->width() / 2;
  const int my = viewport()->height() / 2;
  RebuildDisplay(visible.adjusted(-mx, -my, mx, my) & whole, ratio);
}

void TImgViewBox::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRegion dirty = event->region();
  const QRect visibleImage = imageRect_ & viewport()->rect();
  QRegion margins = dirty;
  if (!Bitmap().Empty() && !visibleImage.isEmpty()) margins -= visibleImage;
  for (const QRect& r : margins)
    painter.fillRect(r, palette().color(QPalette::Window));
  if (Bitmap().Empty() || visibleImage.isEmpty()) {
    frameShown_ = false;
    return;
  }
  EnsureDisplay(visibleImage.translated(-imageRect_.topLeft()));
  const QPoint origin = imageRect_.topLeft() + displayArea_.topLeft();
  const qreal ratio = display_.devicePixelRatio();
  for (const QRect& r : dirty& visibleImage) {
    const QRect src = r.translated(-origin);
    const QRectF srcDevice(src.left() * ratio, src.top() * ratio, src.width() * ratio,
                           src.height() * ratio);
    painter.drawImage(QRectF(r), display_, srcDevice);
  }
  if (frameShown_ && selectable_ && HasSelection()) {
    painter.setClipRect(visibleImage);
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    for (const QRect& dash : DashRects(FrameRect(), visibleImage))
      painter.fillRect(dash, Qt::black);
  } else {
    frameShown_ = false;
  }
}

}  // namespace picaxo
