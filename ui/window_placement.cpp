#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "settings/picaxo_settings.h"

namespace picaxo {

namespace {

TRect ToRect(const QRect& rect) {
  return RectFromSize(rect.x(), rect.y(), rect.width(), rect.height());
}

// Where the window manager put the client area relative to the frame's corner (0 before the
// window is first shown).
QPoint FrameOffset(const QWidget& widget) {
  return widget.geometry().topLeft() - widget.pos();
}

}  // namespace

TRect WorkAreaOf(const QWidget& widget) {
  QScreen* screen = widget.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return kFallbackWorkArea;
  QRect area = screen->availableGeometry();
  if (area.isEmpty()) area = screen->availableVirtualGeometry();
  if (area.isEmpty()) area = screen->virtualGeometry();
  return area.isEmpty() ? kFallbackWorkArea : ToRect(area);
}

TFormGeometry FormGeometryOf(const QWidget& widget) {
  TFormGeometry form;
  form.Bounds = ToRect(QRect(widget.pos(), widget.size()));
  const QRect normal = widget.normalGeometry();
  if (normal.isValid()) form.NormalBounds = ToRect(normal.translated(-FrameOffset(widget)));
  if (widget.isMinimized()) {
    form.State = TWindowState::Minimized;
  } else if (widget.isMaximized()) {
    form.State = TWindowState::Maximized;
  }
  form.Visible = widget.isVisible();
  const QWidget* owner = widget.parentWidget() ? widget.parentWidget()->window() : nullptr;
  form.IsMainForm = owner == nullptr;
  form.ApplicationMinimized = form.IsMainForm && widget.isMinimized();
  if (owner && owner->isVisible()) form.OwnerFrame = ToRect(owner->frameGeometry());
  return form;
}

void ApplyFormGeometry(QWidget& widget, const TFormGeometry& form) {
  // A maximized window keeps its screen; its normal bounds are the ones it had.
  if (widget.isMaximized()) return;
  widget.move(form.Bounds.Left, form.Bounds.Top);
  widget.resize(static_cast<int>(form.Bounds.Width()), static_cast<int>(form.Bounds.Height()));
  if (form.State == TWindowState::Maximized)
    widget.setWindowState(widget.windowState() | Qt::WindowMaximized);
}

void CenterDialogOn(QWidget& dialog, const QWidget* owner) {
  if (!dialog.testAttribute(Qt::WA_Resized)) dialog.adjustSize();
  // The outer size once the frame is known (from the first show on), the client size before.
  TFormGeometry form;
  form.Bounds = ToRect(QRect(dialog.pos(), dialog.frameGeometry().size()));
  std::optional<TRect> frame;
  if (owner && owner->window()->isVisible()) frame = ToRect(owner->window()->frameGeometry());
  CenterFormOn(form, frame, WorkAreaOf(owner ? *owner->window() : dialog));
  dialog.move(form.Bounds.Left, form.Bounds.Top);
}

}  // namespace picaxo
