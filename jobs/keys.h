#pragma once
// The window's own keys, taken before the focused control sees them, as a pure function from the
// key event to what the window does.
#include <cstdint>
#include <optional>

namespace picaxo {

// Virtual key codes (the values key events carry).
namespace vk {
inline constexpr uint16_t Back = 0x08;
inline constexpr uint16_t Escape = 0x1B;
inline constexpr uint16_t PageUp = 0x21;
inline constexpr uint16_t PageDown = 0x22;
inline constexpr uint16_t End = 0x23;
inline constexpr uint16_t Home = 0x24;
inline constexpr uint16_t Delete = 0x2E;
inline constexpr uint16_t Multiply = 0x6A;  // keypad *
inline constexpr uint16_t Add = 0x6B;       // keypad +
inline constexpr uint16_t Subtract = 0x6D;  // keypad -
inline constexpr uint16_t Divide = 0x6F;    // keypad /
}  // namespace vk

// The edit box that has the focus, for Escape.
enum class TFocusedField : uint8_t {
  None,
  EInputDir,
  EOutputDir,
  EInFilename,
  EOutFilename,
  Other
};

// Press or release.
enum class TKeyDirection : bool { Press, Release };

struct TKeyEvent {
  uint16_t VirtualKey = 0;
  TKeyDirection Direction = TKeyDirection::Press;
  bool Ctrl = false;
  // The main window (or the full-screen window) is the active window; otherwise no key is taken.
  bool WindowActive = true;
  // An edit box of the main window has the focus (any edit, spin fields included), and which.
  bool EditHasFocus = false;
  TFocusedField Field = TFocusedField::None;
};

// The view's zoom. The order is the zoom box's and the number the settings file keeps.
enum class TZoom : uint8_t { Auto, FourToOne, TwoToOne, OneToOne, OneToTwo, OneToFour };
inline constexpr int kZoomCount = 6;
// The zoom numbered n in that order; none out of range.
std::optional<TZoom> ZoomOfNumber(int n);
inline int NumberOfZoom(TZoom zoom) {
  return static_cast<int>(zoom);
}

// What the window knows when a key comes.
struct TKeyContext {
  int32_t CurrentIndex = 0;
  std::optional<int32_t> PreviousIndex;
  int32_t Count = 0;
  TZoom Zoom = TZoom::Auto;
};

enum class TKeyCommand : uint8_t {
  None,
  GoToImage,        // TAppState::GoToImage(Index)
  DeleteSource,     // click MInDelete (nothing while it is disabled)
  SelectZoom,       // TAppState::SelectZoom(Zoom)
  RestoreField,     // Escape in an edit: TAppState::EscapeRestoreText(Field)
  LeaveFullScreen,  // Escape elsewhere
};

struct TKeyAction {
  bool Taken = false;  // consumed: the focused control never sees the key
  TKeyCommand Command = TKeyCommand::None;
  int64_t Index = 0;         // GoToImage target (not clamped; GoToImage clamps)
  TZoom Zoom = TZoom::Auto;  // SelectZoom target
  TFocusedField Field = TFocusedField::None;
  bool operator==(const TKeyAction&) const = default;
};

// The key table: taken keys are consumed on press and release, their command runs on the press
// (and on each automatic repeat). Escape is never taken; its command runs on press and release.
TKeyAction HandleHookedKey(const TKeyEvent& event, const TKeyContext& context);

// Keypad + and -: the zoom after the one shown (Auto goes to 1:1); none when the key changes
// nothing (4:1 for zoom in, 1:4 for zoom out).
std::optional<TZoom> ZoomInTarget(TZoom zoom);
std::optional<TZoom> ZoomOutTarget(TZoom zoom);

}  // namespace picaxo
