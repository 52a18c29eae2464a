#include "ui/keyboard_hook.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <string>
#include <vector>

namespace picaxo {
namespace {

// The number pad has codes of its own, the same symbols elsewhere do not; keypad navigation
// without Num Lock is the plain navigation key; shifted symbols are the key below them.
TEST(KeyMapping, VirtualKeys) {
  struct {
    int key;
    bool keypad;
    int vk;
  } const cases[] = {
      {Qt::Key_PageUp, false, 0x21},    {Qt::Key_PageDown, false, 0x22},
      {Qt::Key_End, false, 0x23},       {Qt::Key_Home, false, 0x24},
      {Qt::Key_Backspace, false, 0x08}, {Qt::Key_Delete, false, 0x2E},
      {Qt::Key_Escape, false, 0x1B},    {Qt::Key_Return, false, 0x0D},
      {Qt::Key_Enter, true, 0x0D},      {Qt::Key_A, false, 'A'},
      {Qt::Key_Z, false, 'Z'},          {Qt::Key_5, false, '5'},
      {Qt::Key_F1, false, 0x70},        {Qt::Key_F5, false, 0x74},
      {Qt::Key_F12, false, 0x7B},       {Qt::Key_Left, false, 0x25},
      {Qt::Key_Down, false, 0x28},      {Qt::Key_Control, false, 0x11},
      {Qt::Key_Asterisk, true, 0x6A},   {Qt::Key_Plus, true, 0x6B},
      {Qt::Key_Minus, true, 0x6D},      {Qt::Key_Slash, true, 0x6F},
      {Qt::Key_Period, true, 0x6E},     {Qt::Key_0, true, 0x60},
      {Qt::Key_9, true, 0x69},          {Qt::Key_Plus, false, 0xBB},
      {Qt::Key_Minus, false, 0xBD},     {Qt::Key_Asterisk, false, '8'},
      {Qt::Key_Slash, false, 0xBF},     {Qt::Key_Home, true, 0x24},
      {Qt::Key_PageDown, true, 0x22},   {Qt::Key_Exclam, false, '1'},
      {Qt::Key_unknown, false, 0},      {Qt::Key_Adiaeresis, false, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyFromQtKey(c.key, c.keypad), c.vk) << std::hex << c.key << " " << c.keypad;
}

TEST(KeyMapping, ScanCodesExtendedAndCharacters) {
  EXPECT_EQ(VirtualKeyFromScanCode(16 + 8), 'Q');
  EXPECT_EQ(VirtualKeyFromScanCode(30 + 8), 'A');
  EXPECT_EQ(VirtualKeyFromScanCode(50 + 8), 'M');
  EXPECT_EQ(VirtualKeyFromScanCode(11 + 8), '0');
  EXPECT_EQ(VirtualKeyFromScanCode(0), 0);
  EXPECT_EQ(VirtualKeyFromScanCode(1 + 8), 0);  // Escape has a key symbol of its own

  EXPECT_TRUE(IsExtendedKey(Qt::Key_Home, false));
  EXPECT_FALSE(IsExtendedKey(Qt::Key_Home, true));
  EXPECT_TRUE(IsExtendedKey(Qt::Key_Enter, true));
  EXPECT_FALSE(IsExtendedKey(Qt::Key_Return, false));

  EXPECT_EQ(KeyCharOfVirtualKey('A'), QStringLiteral("A"));
  EXPECT_EQ(KeyCharOfVirtualKey(0x63), QStringLiteral("3"));
  EXPECT_EQ(KeyCharOfVirtualKey(0x6A), QStringLiteral("*"));
  EXPECT_EQ(KeyCharOfVirtualKey(0x0D), QStringLiteral("\r"));
  EXPECT_EQ(KeyCharOfVirtualKey(0x22), QString());
  EXPECT_EQ(KeyCharOfVirtualKey(0x70), QString());
}

TEST(KeyMapping, RecordOfAnEvent) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Minus, Qt::KeypadModifier | Qt::AltModifier,
                  QStringLiteral("-"), true);
  TKeyInfo info = KeyInfoFromEvent(press);
  EXPECT_EQ(info.VirtualKey, 0x6D);
  EXPECT_EQ(info.KeyChar, QStringLiteral("-"));
  EXPECT_TRUE(info.AltDown);
  EXPECT_TRUE(info.WasDown);
  EXPECT_FALSE(info.KeyUp);
  EXPECT_EQ(info.RepeatCount, 1);

  QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
  info = KeyInfoFromEvent(release);
  EXPECT_EQ(info.VirtualKey, 0x22);
  EXPECT_TRUE(info.KeyUp);
  EXPECT_TRUE(info.WasDown);
  EXPECT_TRUE(info.Extended);
  EXPECT_TRUE(info.KeyChar.isEmpty());

  // A key whose symbol has no code gets it from the key's position.
  QKeyEvent cyrillic(QEvent::KeyPress, 0x0424, Qt::NoModifier, 30 + 8, 0, 0, QStringLiteral("ф"));
  info = KeyInfoFromEvent(cyrillic);
  EXPECT_EQ(info.VirtualKey, 'A');
  EXPECT_EQ(info.ScanCode, 38);
}

class KeyboardHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("EInputDir"));
    layout->addWidget(edit);
    window.setCentralWidget(central);
    save = new QAction(QStringLiteral("&Save"), &window);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    window.addAction(save);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
  }

  QMainWindow window;
  QLineEdit* edit = nullptr;
  QAction* save = nullptr;
};

TEST_F(KeyboardHookTest, HandlersSeeEveryKeyOnceAndCanSwallowIt) {
  std::vector<std::string> calls;
  TKeyboardHook first([&](TKeyboardHook*, const TKeyInfo& k, bool& handled) {
    calls.push_back(std::string("1:") + char(k.VirtualKey) + (k.KeyUp ? "up" : "down"));
    if (k.VirtualKey == 'A') handled = true;
  });
  TKeyboardHook second([&](TKeyboardHook* sender, const TKeyInfo& k, bool& handled) {
    EXPECT_FALSE(handled);  // each handler starts with handled false
    EXPECT_EQ(sender->OnKey != nullptr, true);
    calls.push_back(std::string("2:") + char(k.VirtualKey) + (k.KeyUp ? "up" : "down"));
  });
  first.Register();
  second.Register();
  first.Register();  // keeps its place
  EXPECT_TRUE(first.Registered());

  QTest::keyClick(edit, Qt::Key_A);
  QTest::keyClick(edit, Qt::Key_B);
  EXPECT_EQ(edit->text(), QStringLiteral("b"));
  const std::vector<std::string> expected{"1:Adown", "2:Adown", "1:Aup", "2:Aup",
                                          "1:Bdown", "2:Bdown", "1:Bup", "2:Bup"};
  EXPECT_EQ(calls, expected);

  second.Unregister();
  first.Unregister();
  EXPECT_FALSE(first.Registered());
  calls.clear();
  QTest::keyClick(edit, Qt::Key_A);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(edit->text(), QStringLiteral("ba"));
}

TEST_F(KeyboardHookTest, SwallowedKeyTriggersNoShortcut) {
  int triggered = 0;
  QObject::connect(save, &QAction::triggered, [&] { ++triggered; });
  int presses = 0;
  bool take = true;
  TKeyboardHook hook([&](TKeyboardHook*, const TKeyInfo& k, bool& handled) {
    if (k.VirtualKey == 'S' && !k.KeyUp) {
      EXPECT_TRUE(TKeyboardHook::CurrentShiftState() & ssCtrl);  // as handlers test it
      ++presses;
      handled = take;
    }
  });
  hook.Register();
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(triggered, 0);
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(edit->text().isEmpty());

  take = false;
  QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(triggered, 1);
  EXPECT_EQ(presses, 2);
}

// A handler that asks a question runs a nested event loop whose keys pass the same filter; the key
// that opened the box must still be taken once, on its press and on its release, and never reach
// the focused edit (Ctrl+Delete would cut its text).
TEST_F(KeyboardHookTest, KeyTakenWhileAQuestionBoxIsOpenReachesNothing) {
  edit->setText(QStringLiteral("var-exif-com"));
  edit->setCursorPosition(0);
  int presses = 0, releasesSeen = 0, answeredBoxes = 0;
  TKeyboardHook hook([&](TKeyboardHook*, const TKeyInfo& k, bool& handled) {
    if (k.VirtualKey != 0x2E || QApplication::activeModalWidget()) return;
    if (k.KeyUp) {
      ++releasesSeen;
      return;  // the filter keeps the release from the edit by itself
    }
    ++presses;
    handled = true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Picaxo"), QStringLiteral("Delete?"),
                    QMessageBox::Yes | QMessageBox::No, &window);
    QTimer::singleShot(0, &box, [&] {
      ++answeredBoxes;
      QTest::keyClick(&box, Qt::Key_Control);
      QTest::keyClick(&box, Qt::Key_N, Qt::AltModifier);
      box.done(QMessageBox::No);
    });
    box.exec();
  });
  hook.Register();
  int editKeys = 0;
  struct TCounter : QObject {
    int* count;
    explicit TCounter(int* c) : count(c) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
          static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete)
        ++*count;
      return false;
    }
  } counter(&editKeys);
  edit->installEventFilter(&counter);

  QTest::keyClick(edit, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(answeredBoxes, 1);
  EXPECT_EQ(releasesSeen, 1);
  EXPECT_EQ(editKeys, 0);
  EXPECT_EQ(edit->text(), QStringLiteral("var-exif-com"));

  // A key not taken still reaches the edit.
  edit->removeEventFilter(&counter);
  hook.Unregister();
  QTest::keyClick(edit, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(edit->text(), QStringLiteral("-exif-com"));
}

TEST_F(KeyboardHookTest, DestroyingAHookUnregistersIt) {
  int calls = 0;
  {
    TKeyboardHook hook([&](TKeyboardHook*, const TKeyInfo&, bool&) { ++calls; });
    hook.Register();
    QTest::keyClick(edit, Qt::Key_X);
  }
  EXPECT_EQ(calls, 2);
  QTest::keyClick(edit, Qt::Key_X);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(TKeyboardHook::CurrentShiftState() & ssCtrl, 0);
}

}  // namespace
}  // namespace picaxo
