#pragma once
// TKeyboardHook: hands every key press and release of the application to its registered handlers
// before the focused widget sees it, and swallows the key when a handler takes it.
//
// One application-wide event filter (installed on qApp while at least one hook is registered)
// serves all hooks. It also answers the shortcut-override query of a key press, so a key a handler
// took never triggers a menu shortcut, and it offers each key event to the handlers once even
// though Qt passes it on from the focused widget to its parents.
#include <QString>
#include <Qt>
#include <cstdint>
#include <functional>

#include "ui/shift_state.h"

class QKeyEvent;

namespace picaxo {

// The key record delivered with every key event.
struct TKeyInfo {
  uint8_t VirtualKey = 0;    // the Windows virtual-key code of the key (0 when it has none)
  uint16_t RepeatCount = 1;  // key events this record stands for
  uint8_t ScanCode = 0;      // low byte of the platform's key code
  bool Extended = false;     // a key of the extended set (arrows and the navigation block, keypad
                             // Enter and /)
  bool AltDown = false;      // Alt is held
  bool WasDown = false;      // the key was already down (an automatic repeat, or any release)
  bool KeyUp = false;        // the key is being released
  QString KeyChar;           // the unshifted character of the key, empty when it has none
  bool DeadKey = false;      // KeyChar is a dead key
};

// The Windows virtual-key code of a Qt key; keypad selects the number-pad codes (digits 0x60 ..
// 0x69, * 0x6A, + 0x6B, - 0x6D, . 0x6E, / 0x6F). Shifted symbols of a US layout map to the key
// that carries them (Qt::Key_Exclam to '1'). 0 for keys without a code.
uint8_t VirtualKeyFromQtKey(int qtKey, bool keypad);
// The virtual key of the letter and digit rows from an X11/evdev key code (evdev code + 8), for
// keys whose symbol gives none (other keyboard layouts); 0 otherwise.
uint8_t VirtualKeyFromScanCode(uint32_t nativeScanCode);
// Whether the key counts as extended (arrows, Insert/Delete/Home/End/Page Up/Page Down outside the
// keypad, keypad Enter and /, right-hand modifiers are not told apart by Qt).
bool IsExtendedKey(int qtKey, bool keypad);
// The unshifted character a virtual key types: 'A' .. 'Z', '0' .. '9', keypad digits and
// operators, space, Enter "\r", Backspace "\b", Tab "\t", Escape "\x1b"; empty otherwise.
QString KeyCharOfVirtualKey(uint8_t virtualKey);
// The whole record of a key event (KeyPress, KeyRelease or ShortcutOverride, which stands for the
// press).
TKeyInfo KeyInfoFromEvent(const QKeyEvent& event);

class TKeyboardHook {
 public:
  using TKeyHandler =
      std::function<void(TKeyboardHook* sender, const TKeyInfo& key, bool& handled)>;

  TKeyboardHook() = default;
  explicit TKeyboardHook(TKeyHandler onKey) : OnKey(std::move(onKey)) {}
  ~TKeyboardHook();  // unregisters
  TKeyboardHook(const TKeyboardHook&) = delete;
  TKeyboardHook& operator=(const TKeyboardHook&) = delete;

  // Handlers run in registration order; registering twice keeps the first place.
  void Register();
  void Unregister();
  bool Registered() const;

  // The modifier keys held down now.
  static TShiftState CurrentShiftState();

  TKeyHandler OnKey;
};

}  // namespace picaxo
