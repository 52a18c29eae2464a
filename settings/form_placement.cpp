#include "settings/form_placement.h"

#include <algorithm>
#include <limits>
#include <string>

namespace picaxo {

namespace {

// How much of a window stays on the work area when it is pushed back.
constexpr int64_t kReachable = 30;
// The stored position that means "none": centre the window.
constexpr int32_t kNoPosition = -10000;

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

std::string Key(std::string_view prefix, std::string_view word) {
  return std::string(prefix) + std::string(word);
}

}  // namespace

TRect RectFromSize(int64_t left, int64_t top, int64_t width, int64_t height) {
  return {Saturate(left), Saturate(top), Saturate(left + width), Saturate(top + height)};
}

TRect FirstStartMainWindowSize(const TRect& workArea) {
  const int64_t areaWidth = std::max<int64_t>(workArea.Width(), 1);
  const int64_t areaHeight = std::max<int64_t>(workArea.Height(), 1);
  const int64_t width = std::min(std::max<int64_t>(areaWidth * 3 / 4, 960), areaWidth);
  const int64_t height = std::min(std::max<int64_t>(areaHeight * 4 / 5, 640), areaHeight);
  return RectFromSize(0, 0, width, height);
}

void ClampToWorkArea(int64_t& left, int64_t& top, int64_t& width, TClampSize size, int64_t& height,
                     const TRect& workArea) {
  if (size == TClampSize::ShrinkToWorkArea) {
    width = std::min(width, workArea.Width());
    height = std::min(height, workArea.Height());
  }
  if (left > workArea.Right) left = workArea.Right - kReachable;
  if (left + width - kReachable < workArea.Left) left = workArea.Left - width + kReachable;
  if (top > workArea.Bottom) top = workArea.Bottom - kReachable;
  if (top < workArea.Top) top = workArea.Top;
  left = Saturate(left);
  top = Saturate(top);
  width = Saturate(width);
  height = Saturate(height);
}

TPoint CenteredPosition(int32_t width, int32_t height, const std::optional<TRect>& parent,
                        const TRect& workArea) {
  const TRect& frame = parent ? *parent : workArea;
  int64_t left = frame.Left + (frame.Width() / 2 - width / 2);
  int64_t top = frame.Top + (frame.Height() / 2 - height / 2);
  int64_t w = width;
  int64_t h = height;
  ClampToWorkArea(left, top, w, TClampSize::Keep, h, workArea);
  return {Saturate(left), Saturate(top)};
}

void CenterFormOn(TFormGeometry& form, const std::optional<TRect>& parent, const TRect& workArea) {
  const int32_t width = Saturate(form.Bounds.Width());
  const int32_t height = Saturate(form.Bounds.Height());
  const TPoint corner = CenteredPosition(width, height, parent, workArea);
  form.Bounds = RectFromSize(corner.Left, corner.Top, width, height);
}

void SaveFormState(const TFormGeometry& form, TSettingsStore& store, std::string_view section,
                   std::string_view prefix, TFormPlacementOptions options, const TRect& workArea) {
  using enum TFormPlacementOption;
  try {
    // The restored bounds, so that a maximized window comes back where it was before.
    const TRect& bounds = form.NormalBounds ? *form.NormalBounds : form.Bounds;
    if (options.Has(fpPosition)) {
      store.WriteInteger(section, Key(prefix, "Top"), Saturate(int64_t{bounds.Top} - workArea.Top));
      store.WriteInteger(section, Key(prefix, "Left"),
                         Saturate(int64_t{bounds.Left} - workArea.Left));
    }
    if (options.Has(fpSize)) {
      store.WriteInteger(section, Key(prefix, "Height"), Saturate(bounds.Height()));
      store.WriteInteger(section, Key(prefix, "Width"), Saturate(bounds.Width()));
    }
    if (options.Has(fpMaximized) || options.Has(fpMinimized)) {
      TWindowState state = TWindowState::Normal;
      if (form.IsMainForm && form.ApplicationMinimized) {
        if (options.Has(fpMinimized)) state = TWindowState::Minimized;
      } else if (form.State == TWindowState::Minimized && options.Has(fpMinimized)) {
        state = TWindowState::Minimized;
      } else if (form.State == TWindowState::Maximized && options.Has(fpMaximized)) {
        state = TWindowState::Maximized;
      }
      store.WriteInteger(section, Key(prefix, "State"), static_cast<int32_t>(state));
    }
    if (options.Has(fpVisible)) store.WriteBool(section, Key(prefix, "Visible"), form.Visible);
    if (options.Has(fpStyle)) store.WriteInteger(section, Key(prefix, "Style"), form.Style);
  } catch (const std::exception&) {
    // Placement is a convenience: a store that fails must not stop the program from closing.
  }
}

void RestoreFormState(TFormGeometry& form, const TSettingsStore& store, std::string_view section,
                      std::string_view prefix, TFormPlacementOptions options,
                      const TRect& workArea) {
  using enum TFormPlacementOption;
  try {
    int64_t width = form.Bounds.Width();
    int64_t height = form.Bounds.Height();
    if (options.Has(fpSize)) {
      const int32_t storedHeight =
          store.ReadInteger(section, Key(prefix, "Height"), Saturate(height));
      const int32_t storedWidth = store.ReadInteger(section, Key(prefix, "Width"), Saturate(width));
      // A window of no size could not be found again; keep the current size instead.
      if (storedHeight > 0) height = storedHeight;
      if (storedWidth > 0) width = storedWidth;
    }
    int64_t left = form.Bounds.Left;
    int64_t top = form.Bounds.Top;
    if (options.Has(fpPosition)) {
      const int32_t storedTop = store.ReadInteger(section, Key(prefix, "Top"), kNoPosition);
      const int32_t storedLeft = store.ReadInteger(section, Key(prefix, "Left"), kNoPosition);
      if (storedTop == kNoPosition || storedLeft == kNoPosition) {
        const TPoint centre =
            CenteredPosition(Saturate(width), Saturate(height), form.OwnerFrame, workArea);
        left = centre.Left;
        top = centre.Top;
      } else {
        left = int64_t{storedLeft} + workArea.Left;
        top = int64_t{storedTop} + workArea.Top;
      }
    }
    const TClampSize size = options.Has(fpSize) ? TClampSize::ShrinkToWorkArea : TClampSize::Keep;
    ClampToWorkArea(left, top, width, size, height, workArea);
    form.Bounds = RectFromSize(left, top, width, height);

    if (options.Has(fpMaximized) || options.Has(fpMinimized)) {
      const int32_t state =
          store.ReadInteger(section, Key(prefix, "State"), static_cast<int32_t>(form.State));
      if (state == static_cast<int32_t>(TWindowState::Minimized) && options.Has(fpMinimized)) {
        form.State = TWindowState::Minimized;
      } else if (state == static_cast<int32_t>(TWindowState::Maximized) &&
                 options.Has(fpMaximized)) {
        form.State = TWindowState::Maximized;
      }
    }
    if (options.Has(fpStyle))
      form.Style = store.ReadInteger(section, Key(prefix, "Style"), form.Style);
    if (options.Has(fpVisible))
      form.Visible = store.ReadBool(section, Key(prefix, "Visible"), form.IsMainForm);
  } catch (const std::exception&) {
    // What was applied stays; the rest keeps the window's current values.
  }
}

}  // namespace picaxo
