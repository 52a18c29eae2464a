#pragma once
// TImgViewBox: the scrollable picture view of the main window. It shows one TRasterImage at a
// fixed zoom or fitted to the view, lets the user pull a crop selection with the mouse (held in
// image pixels), pans by dragging or with the wheel, and reports selection changes by signals.
//
// The view draws only to the screen: the selection frame is painted over the cached display image
// with an inverting dashed pen and never touches the raster. The display image (nearest pixel, at
// the device pixel ratio) is computed once per picture, zoom, size or scroll change; a repaint
// for any other reason, and every step of a selection drag, reuses it.
//
// Coordinates: "control" points are relative to the displayed image rectangle (the image
// control of the layout), in logical pixels; image pixel = trunc(control / ZoomFactor).
#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

#include "imaging/geometry.h"
#include "imaging/raster.h"
#include "ui/shift_state.h"

namespace picaxo {

enum TImgViewBoxZoom : uint8_t {
  ivz11 = 0,
  ivz21 = 1,
  ivz31 = 2,
  ivz41 = 3,
  ivz12 = 4,
  ivz13 = 5,
  ivz14 = 6,
  ivz15 = 7,
  ivz16 = 8,
  ivzAuto = 9,
};

// The factor a zoom stores in ZoomFactor, as a 32-bit float (1.0 for ivzAuto, whose fit factor
// UpdateLayout computes).
float ZoomFactorOf(TImgViewBoxZoom zoom);

enum TMouseMode : uint8_t { mmIdle = 0, mmPanning = 1, mmSelecting = 2 };

class TImgViewBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TImgViewBox(QWidget* parent = nullptr);
  ~TImgViewBox() override;

  // The raster shown; empty when nothing was shown yet. Setting it runs the picture-change
  // handling. A shared raster is kept, not copied, as long as it is shown (its owner must not
  // change it meanwhile); one that is not 24-bit is shown from a 24-bit copy. The other two
  // forms copy or take the raster.
  const TRasterImage& Bitmap() const;
  void SetBitmap(std::shared_ptr<const TRasterImage> raster);
  void SetBitmap(const TRasterImage& raster);
  void SetBitmap(TRasterImage&& raster);
  // Releases the shown raster and empties the picture.
  void ClearImage();

  TImgViewBoxZoom Zoom() const { return zoom_; }
  void SetZoom(TImgViewBoxZoom zoom);
  float ZoomFactor() const { return zoomFactor_; }
  bool ImageAutoSize() const { return zoom_ == ivzAuto; }
  void SetImageAutoSize(bool autoSize);
  bool AllowEnlargeInAutoSizeMode() const { return allowEnlarge_; }
  void SetAllowEnlargeInAutoSizeMode(bool allow);
  bool Selectable() const { return selectable_; }
  void SetSelectable(bool selectable);

  // True when a selection was made or set and it is more than one pixel.
  bool HasSelection() const;
  TSelection GetSelection() const { return selection_; }
  // Stores the rectangle as given (no clamping), marks it set and shows its frame when Selectable.
  // No signal is emitted.
  void SetSelection(const TSelection& selection);
  // Hides the frame and marks the selection unset; GetSelection keeps its values.
  void ClearSelection();

  // The wheel routine; the main window passes every wheel event to it. sender is the object that
  // received the event, mousePos the pointer in global (screen) coordinates, delta in eighths of a
  // degree (120 a notch). Does nothing when handled is already true.
  void WheelScroll(QObject* sender, TShiftState shift, int wheelDelta, QPoint mousePos,
                   bool& handled);

  // The displayed image rectangle in viewport coordinates (logical pixels).
  QRect ImageRect() const { return imageRect_; }
  TMouseMode MouseMode() const { return mouseMode_; }
  bool FrameShown() const { return frameShown_; }
  // The hint for the status bar (also the status tip of the box and its viewport).
  QString Hint() const { return hint_; }

  // Selection drag steps in control coordinates (what the mouse handlers call).
  void BeginSelection(int x, int y);
  void DragSelection(int x, int y);
  void EndSelection(int x, int y);
  // Sets the moving corner in image pixels, clamped to the raster, normalised against the anchor.
  void SetSelectionCorner(int x, int y);

  void UpdateLayout();
  void UpdateCursorAndHint();

  // How often the display image was computed from the raster (for tests and benchmarks).
  int64_t DisplayRebuildCount() const { return displayRebuilds_; }

 signals:
  // After every change during a selection drag, its start and end included.
  void OnSelecting(QObject* sender);
  // Once when a selection drag ends.
  void OnSelectionChange(QObject* sender);
  // The hint changed; the owner shows it in its status bar.
  void HintChanged(const QString& hint);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // What the cached display image was computed for.
  struct TDisplayKey {
    uint64_t generation = 0;
    int width = 0;
    int height = 0;
    qreal ratio = 0;
    bool operator==(const TDisplayKey&) const = default;
  };

  void PictureChanged();
  void DrawSelectionFrame();
  void RemoveFrame();
  QRect FrameRect() const;  // the selection's outline in viewport coordinates (inclusive)
  void UpdateFrameArea(const QRect& frame);
  void ApplyLayout();
  void EnsureDisplay(const QRect& visible);
  void RebuildDisplay(const QRect& area, qreal ratio);
  QPoint ToControl(QPoint viewportPoint) const;

  std::shared_ptr<const TRasterImage> bitmap_;  // null when empty
  uint64_t bitmapGeneration_ = 0;
  TImgViewBoxZoom zoom_ = ivz11;
  float zoomFactor_ = 1.0f;
  bool allowEnlarge_ = false;
  bool selectable_ = false;
  TSelection selection_{0, 0, 0, 0};
  QPoint selAnchor_;
  bool frameShown_ = false;
  bool selectionSet_ = false;
  TMouseMode mouseMode_ = mmIdle;
  QPoint panStartMouse_;
  QPoint panStartScroll_;
  bool pictureChangePending_ = false;
  bool autoScroll_ = true;  // scroll bars follow the displayed size (every zoom but ivzAuto)

  int displayW_ = 0;  // displayed image size (logical pixels)
  int displayH_ = 0;
  QRect imageRect_;  // the displayed image in viewport coordinates
  QString hint_;
  bool inLayout_ = false;
  bool layoutAgain_ = false;

  // The display image holds displayArea_ (control coordinates) of the displayed image.
  QImage display_;
  QRect displayArea_;
  TDisplayKey displayKey_;
  int64_t displayRebuilds_ = 0;
};

}  // namespace picaxo
