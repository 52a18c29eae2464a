#include "ui/keyboard_hook.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace picaxo {

namespace {

// Shifted symbols of a US layout and the key that carries them.
uint8_t VirtualKeyOfSymbol(int key) {
  switch (key) {
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return '8';
    case Qt::Key_ParenLeft:
      return '9';
    case Qt::Key_ParenRight:
      return '0';
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return 0xDD;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return 0xDE;
    default:
      return 0;
  }
}

uint8_t VirtualKeyOnKeypad(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint8_t>(0x60 + (key - Qt::Key_0));
  switch (key) {
    case Qt::Key_Asterisk:
      return 0x6A;
    case Qt::Key_Plus:
      return 0x6B;
    case Qt::Key_Minus:
      return 0x6D;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return 0x6E;
    case Qt::Key_Slash:
      return 0x6F;
    case Qt::Key_Enter:
    case Qt::Key_Return:
      return 0x0D;
    default:
      return 0;
  }
}

}  // namespace

uint8_t VirtualKeyFromQtKey(int key, bool keypad) {
  if (keypad) {
    if (const uint8_t vk = VirtualKeyOnKeypad(key)) return vk;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint8_t>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint8_t>('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    return static_cast<uint8_t>(0x70 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 0x09;
    case Qt::Key_Clear:
      return 0x0C;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return 0x12;
    case Qt::Key_Pause:
      return 0x13;
    case Qt::Key_CapsLock:
      return 0x14;
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Print:
      return 0x2C;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    case Qt::Key_Help:
      return 0x2F;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
      return 0x5B;
    case Qt::Key_Super_R:
      return 0x5C;
    case Qt::Key_Menu:
      return 0x5D;
    case Qt::Key_NumLock:
      return 0x90;
    case Qt::Key_ScrollLock:
      return 0x91;
    default:
      return VirtualKeyOfSymbol(key);
  }
}

uint8_t VirtualKeyFromScanCode(uint32_t nativeScanCode) {
  // X11 key codes are the evdev codes + 8; the rows below are the evdev order of a PC keyboard.
  if (nativeScanCode < 8) return 0;
  const uint32_t code = nativeScanCode - 8;
  static constexpr char kDigits[] = "1234567890";    // evdev 2 .. 11
  static constexpr char kTopRow[] = "QWERTYUIOP";    // 16 .. 25
  static constexpr char kMiddleRow[] = "ASDFGHJKL";  // 30 .. 38
  static constexpr char kBottomRow[] = "ZXCVBNM";    // 44 .. 50
  if (code >= 2 && code <= 11) return static_cast<uint8_t>(kDigits[code - 2]);
  if (code >= 16 && code <= 25) return static_cast<uint8_t>(kTopRow[code - 16]);
  if (code >= 30 && code <= 38) return static_cast<uint8_t>(kMiddleRow[code - 30]);
  if (code >= 44 && code <= 50) return static_cast<uint8_t>(kBottomRow[code - 44]);
  return 0;
}

bool IsExtendedKey(int key, bool keypad) {
  if (keypad) return key == Qt::Key_Enter || key == Qt::Key_Slash;
  switch (key) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_NumLock:
    case Qt::Key_Print:
      return true;
    default:
      return false;
  }
}

QString KeyCharOfVirtualKey(uint8_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return QString(QChar(vk));
  if (vk >= 0x60 && vk <= 0x69) return QString(QChar('0' + (vk - 0x60)));
  switch (vk) {
    case 0x08:
      return QStringLiteral("\b");
    case 0x09:
      return QStringLiteral("\t");
    case 0x0D:
      return QStringLiteral("\r");
    case 0x1B:
      return QStringLiteral("\x1b");
    case 0x20:
      return QStringLiteral(" ");
    case 0x6A:
      return QStringLiteral("*");
    case 0x6B:
      return QStringLiteral("+");
    case 0x6D:
      return QStringLiteral("-");
    case 0x6E:
      return QStringLiteral(".");
    case 0x6F:
      return QStringLiteral("/");
    case 0xBA:
      return QStringLiteral(";");
    case 0xBB:
      return QStringLiteral("=");
    case 0xBC:
      return QStringLiteral(",");
    case 0xBD:
      return QStringLiteral("-");
    case 0xBE:
      return QStringLiteral(".");
    case 0xBF:
      return QStringLiteral("/");
    case 0xC0:
      return QStringLiteral("`");
    case 0xDB:
      return QStringLiteral("[");
    case 0xDC:
      return QStringLiteral("\\");
    case 0xDD:
      return QStringLiteral("]");
    case 0xDE:
      return QStringLiteral("'");
    default:
      return QString();
  }
}

TKeyInfo KeyInfoFromEvent(const QKeyEvent& event) {
  TKeyInfo info;
  const bool keypad = event.modifiers() & Qt::KeypadModifier;
  info.VirtualKey = VirtualKeyFromQtKey(event.key(), keypad);
  info.ScanCode = static_cast<uint8_t>(event.nativeScanCode() & 0xFF);
  if (info.VirtualKey == 0) info.VirtualKey = VirtualKeyFromScanCode(event.nativeScanCode());
  info.RepeatCount = static_cast<uint16_t>(std::clamp(event.count(), 1, 0xFFFF));
  info.Extended = IsExtendedKey(event.key(), keypad);
  info.AltDown = event.modifiers() & Qt::AltModifier;
  info.KeyUp = event.type() == QEvent::KeyRelease;
  info.WasDown = info.KeyUp || event.isAutoRepeat();
  if (info.VirtualKey != 0) {
    info.KeyChar = KeyCharOfVirtualKey(info.VirtualKey);
  } else if (event.text().size() == 1 && event.text()[0].isPrint()) {
    info.KeyChar = event.text();
  }
  return info;
}

namespace {

// The one application-wide filter behind every registered hook.
class THookFilter : public QObject {
 public:
  std::vector<TKeyboardHook*> hooks;

  bool eventFilter(QObject* receiver, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
      return false;
    // Qt offers a key to the window object first and then to the focused widget and its parents
    // one after the other (the same event); the handlers see it once, at the first widget.
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const TSignature sig{type == QEvent::KeyRelease, key->key(), key->modifiers(),
                         key->isAutoRepeat()};
    if (key == last_.event && sig == last_.sig && last_.widget && last_.widget != widget &&
        widget->isAncestorOf(last_.widget)) {
      last_.widget = widget;
      return Answer(key, type, last_.handled);
    }
    if (type == QEvent::KeyPress && overridePending_ && sig == last_.sig) {
      // The press whose shortcut override the handlers have already answered.
      overridePending_ = false;
      last_.event = key;
      last_.widget = widget;
      return Answer(key, type, last_.handled);
    }
    // A handler may run a nested event loop (a question box) whose own key events come through
    // here: the state of this event is set only once its handlers are through, so the press that
    // follows the override is still recognised as answered.
    bool handled = Dispatch(*key);
    if (type == QEvent::KeyRelease) {
      // A key taken on its press is taken on its release too, whatever the handlers say now.
      const auto taken = std::find(takenKeys_.begin(), takenKeys_.end(), key->key());
      if (taken != takenKeys_.end()) {
        takenKeys_.erase(taken);
        handled = true;
      }
    } else {
      // A release that came while a handler's question box was open leaves no stale entry: the
      // next press of the key decides afresh.
      std::erase(takenKeys_, key->key());
      if (handled) takenKeys_.push_back(key->key());
    }
    overridePending_ = type == QEvent::ShortcutOverride;
    last_ = {key, QPointer<QWidget>(widget), sig, handled};
    return Answer(key, type, handled);
  }

 private:
  struct TSignature {
    bool release = false;
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat = false;
    bool operator==(const TSignature&) const = default;
  };
  struct TLast {
    const QKeyEvent* event = nullptr;
    QPointer<QWidget> widget;
    TSignature sig;
    bool handled = false;
  };

  static bool Answer(QKeyEvent* key, QEvent::Type type, bool handled) {
    if (!handled) return false;
    // An accepted override keeps the key from every shortcut; the press that follows is
    // swallowed here.
    if (type == QEvent::ShortcutOverride) key->accept();
    return true;
  }

  bool Dispatch(const QKeyEvent& event) {
    const TKeyInfo info = KeyInfoFromEvent(event);
    bool any = false;
    // A handler may register or unregister hooks: walk a copy and skip the ones gone since.
    const std::vector<TKeyboardHook*> current = hooks;
    for (TKeyboardHook* hook : current) {
      if (std::find(hooks.begin(), hooks.end(), hook) == hooks.end() || !hook->OnKey) continue;
      bool handled = false;
      hook->OnKey(hook, info, handled);
      any = any || handled;
    }
    return any;
  }

  TLast last_;
  bool overridePending_ = false;
  std::vector<int> takenKeys_;  // Qt keys whose press was taken and whose release is to come
};

THookFilter* filter = nullptr;

}  // namespace

TKeyboardHook::~TKeyboardHook() {
  Unregister();
}

void TKeyboardHook::Register() {
  if (Registered()) return;
  if (!filter) {
    filter = new THookFilter;
    if (qApp) qApp->installEventFilter(filter);
  }
  filter->hooks.push_back(this);
}

void TKeyboardHook::Unregister() {
  if (!filter) return;
  auto& hooks = filter->hooks;
  hooks.erase(std::remove(hooks.begin(), hooks.end(), this), hooks.end());
  if (hooks.empty()) {
    // The filter lives on until the current key event is through, as a handler may unregister.
    filter->deleteLater();
    if (qApp) qApp->removeEventFilter(filter);
    filter = nullptr;
  }
}

bool TKeyboardHook::Registered() const {
  return filter &&
         std::find(filter->hooks.begin(), filter->hooks.end(), this) != filter->hooks.end();
}

TShiftState TKeyboardHook::CurrentShiftState() {
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  TShiftState state = 0;
  if (mods & Qt::ShiftModifier) state |= ssShift;
  if (mods & Qt::AltModifier) state |= ssAlt;
  if (mods & Qt::ControlModifier) state |= ssCtrl;
  return state;
}

}  // namespace picaxo
