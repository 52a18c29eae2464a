#pragma once
// Window placement between Qt widgets and the core's placement arithmetic
// (settings/form_placement.h): what a top-level widget looks like as a TFormGeometry, the work
// area of its screen, and applying a restored placement before the window appears.
//
// Coordinates: a position is the outer frame's left-top corner (what QWidget::pos() and move()
// use for windows), a size is the client size (QWidget::size(), resize()). The frame belongs to the
// window manager and is unknown until the window is first shown, so storing the outer size would
// make a restored window grow by its frame at every start; the client size comes back exactly.
#include "settings/form_placement.h"

class QWidget;

namespace picaxo {

// The available geometry (the desktop without panels and docks) of the screen the widget is on;
// the primary screen's before it has one; the virtual desktop's when no screen reports one.
TRect WorkAreaOf(const QWidget& widget);

// The widget as the placement routines see it: bounds, normal (restored) bounds, state,
// visibility, whether it is the application's main window (it has no parent window), and the
// frame of its owner window when that is visible.
TFormGeometry FormGeometryOf(const QWidget& widget);

// Moves and resizes the window to form.Bounds in one step and, with State Maximized, maximizes it
// (before the first show, so the window appears maximized with these normal bounds and does not
// jump). Minimized is not applied: a window that starts minimized is easily lost. A window that
// is maximized already stays as it is.
void ApplyFormGeometry(QWidget& widget, const TFormGeometry& form);

// Centres the dialog (keeping its size) on its owner when the owner is visible, otherwise on the
// work area, keeping it reachable on the work area. A dialog that was never resized gets its
// preferred size first. Call it from the dialog's show handling, or before it is shown.
void CenterDialogOn(QWidget& dialog, const QWidget* owner);

}  // namespace picaxo
