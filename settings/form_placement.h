#pragma once
// Window placement kept in a settings store: position relative to the work area, outer size and
// state, restored so that the window stays reachable on the screen. The routines work on a small
// description of a window (TFormGeometry) that the user interface fills from its widget and
// applies back; the work area comes from the screen the window is on.
#include <cstdint>
#include <optional>
#include <string_view>

#include "settings/settings_store.h"

namespace picaxo {

// A rectangle of screen pixels; Right and Bottom are exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  int64_t Width() const { return int64_t{Right} - Left; }
  int64_t Height() const { return int64_t{Bottom} - Top; }
  bool operator==(const TRect&) const = default;
};

// A rectangle from its left-top corner and size, saturated to the 32-bit range.
TRect RectFromSize(int64_t left, int64_t top, int64_t width, int64_t height);

// The keys a placement saves and restores, each the caller's prefix followed by the word.
enum class TFormPlacementOption : uint8_t {
  fpSize = 1,       // "Height", "Width": the outer size
  fpPosition = 2,   // "Top", "Left": relative to the work area's left-top corner
  fpMaximized = 4,  // "State" 2
  fpMinimized = 8,  // "State" 1
  fpVisible = 16,   // "Visible"
  fpStyle = 32,     // "Style": 0 normal, 1 document child, 2 document frame, 3 always on top
};

// A set of TFormPlacementOption, stored as one byte.
class TFormPlacementOptions {
 public:
  constexpr TFormPlacementOptions() = default;
  constexpr TFormPlacementOptions(TFormPlacementOption option)  // NOLINT: a set of one
      : bits_(static_cast<uint8_t>(option)) {}
  constexpr explicit TFormPlacementOptions(uint8_t bits) : bits_(bits) {}

  constexpr bool Has(TFormPlacementOption option) const {
    return (bits_ & static_cast<uint8_t>(option)) != 0;
  }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr TFormPlacementOptions operator|(TFormPlacementOptions other) const {
    return TFormPlacementOptions(static_cast<uint8_t>(bits_ | other.bits_));
  }

 private:
  uint8_t bits_ = 0;
};

constexpr TFormPlacementOptions operator|(TFormPlacementOption a, TFormPlacementOption b) {
  return TFormPlacementOptions(a) | b;
}

// What the main window keeps: size, position and the maximized state (7).
inline constexpr TFormPlacementOptions kMainFormPlacement = TFormPlacementOption::fpSize |
                                                            TFormPlacementOption::fpPosition |
                                                            TFormPlacementOption::fpMaximized;

// The "State" values.
enum class TWindowState : int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

// What placement needs to know of a window, in screen coordinates.
struct TFormGeometry {
  TRect Bounds;                       // where the window is now (outer frame)
  std::optional<TRect> NormalBounds;  // its restored bounds, when the platform tells them
  TWindowState State = TWindowState::Normal;
  bool Visible = true;
  int32_t Style = 0;
  bool IsMainForm = true;             // the application's main window (or none exists yet)
  bool ApplicationMinimized = false;  // the application as a whole is minimized
  std::optional<TRect> OwnerFrame;    // the owner window's frame, when it has a visible one

  bool operator==(const TFormGeometry&) const = default;
};

// The 686 x 544 main window as designed, before any placement is restored.
inline constexpr int32_t kMainFormWidth = 686;
inline constexpr int32_t kMainFormHeight = 544;

// The main window's size at the first start (nothing stored yet), as a rectangle at 0, 0: the
// designed 686 x 544 leaves a modern screen mostly empty and shows the job list's columns and the
// photo side by side only cramped, so the window takes three quarters of the work area's width and
// four fifths of its height, at least 960 x 640, never more than the work area.
TRect FirstStartMainWindowSize(const TRect& workArea);

enum class TClampSize { Keep, ShrinkToWorkArea };

// Keeps a window reachable: with ShrinkToWorkArea its size is first limited to the work area's;
// a window starting right of the work area moves to 30 pixels left of its right edge; at least
// 30 pixels stay on the work area horizontally; a window below the work area moves to 30 pixels
// above its bottom edge; the top never lies above the work area's top (the title bar stays
// reachable). Arithmetic is 64-bit, results saturate to 32 bits.
void ClampToWorkArea(int64_t& left, int64_t& top, int64_t& width, TClampSize size, int64_t& height,
                     const TRect& workArea);

struct TPoint {
  int32_t Left = 0;
  int32_t Top = 0;
  bool operator==(const TPoint&) const = default;
};

// The left-top corner that centres a width x height window on parent (when given) or on the work
// area, halves rounded toward zero, then kept reachable without shrinking. Screen coordinates.
TPoint CenteredPosition(int32_t width, int32_t height, const std::optional<TRect>& parent,
                        const TRect& workArea);

// Moves the window, keeping its size, to the centre of parent or of the work area.
void CenterFormOn(TFormGeometry& form, const std::optional<TRect>& parent, const TRect& workArea);

// Writes the chosen keys of form into section of store. Any error ends it silently; the keys
// written before it stay.
void SaveFormState(const TFormGeometry& form, TSettingsStore& store, std::string_view section,
                   std::string_view prefix, TFormPlacementOptions options, const TRect& workArea);

// Reads the chosen keys, each with what form holds now as the default, and applies them to form:
// a missing position (-10000) centres the window on its owner or the work area; a stored one is
// relative to the work area; the result is kept reachable, shrunk to the work area with fpSize;
// a stored size below 1 pixel keeps the current size. "State" 1 (with fpMinimized) and 2 (with
// fpMaximized) become the window's state; other values leave it. Any error ends it silently;
// what was applied before it stays.
void RestoreFormState(TFormGeometry& form, const TSettingsStore& store, std::string_view section,
                      std::string_view prefix, TFormPlacementOptions options,
                      const TRect& workArea);

}  // namespace picaxo
