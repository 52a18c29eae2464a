#include "settings/form_placement.h"

#include <gtest/gtest.h>

#include "settings/ini_document.h"
#include "settings/settings_store.h"

namespace picaxo {
namespace {

constexpr TRect kWorkArea{0, 0, 1920, 1040};
constexpr std::string_view kSection = "PicaxoSettings";

// A store in memory over the INI layout.
class MemoryStore final : public TSettingsStore {
 public:
  explicit MemoryStore(std::string_view text = "") : document(text) {}
  TIniDocument document;

 protected:
  std::optional<std::string> ReadValue(std::string_view section,
                                       std::string_view key) const override {
    return document.Find(section, key);
  }
  void WriteValue(std::string_view section, std::string_view key, std::string_view value) override {
    document.Set(section, key, value);
  }
};

TFormGeometry DesignedWindow() {
  TFormGeometry form;
  form.Bounds = RectFromSize(0, 0, 686, 544);
  return form;
}

TFormGeometry Restore(std::string_view keys, const TRect& workArea = kWorkArea,
                      TFormGeometry form = DesignedWindow()) {
  const MemoryStore store("[PicaxoSettings]\n" + std::string(keys));
  RestoreFormState(form, store, kSection, "Main", kMainFormPlacement, workArea);
  return form;
}

// The first start takes a sensible part of the screen, at least 960 x 640 where it fits.
TEST(FormPlacement, FirstStartSizeFollowsTheWorkArea) {
  EXPECT_EQ(FirstStartMainWindowSize({0, 0, 1600, 1000}), RectFromSize(0, 0, 1200, 800));
  EXPECT_EQ(FirstStartMainWindowSize({0, 0, 1920, 1040}), RectFromSize(0, 0, 1440, 832));
  EXPECT_EQ(FirstStartMainWindowSize({0, 27, 1366, 768}), RectFromSize(0, 0, 1024, 640));
  EXPECT_EQ(FirstStartMainWindowSize({0, 0, 1024, 700}), RectFromSize(0, 0, 960, 640));
  EXPECT_EQ(FirstStartMainWindowSize({100, 0, 900, 600}), RectFromSize(0, 0, 800, 600));
}

TEST(FormPlacement, NoStoredPositionCentresTheWindowOnTheWorkArea) {
  EXPECT_EQ(Restore("").Bounds, RectFromSize(617, 248, 686, 544));
  // Only one of the two stored: still centred. The work area need not start at 0.
  EXPECT_EQ(Restore("MainLeft=5\n", {100, 30, 1380, 1054}).Bounds,
            RectFromSize(100 + 297, 30 + 240, 686, 544));
  EXPECT_EQ(Restore("MainLeft=5\nMainTop=-10000\n").Bounds, RectFromSize(617, 248, 686, 544));
  // A window with a visible owner centres on it.
  TFormGeometry dialog = DesignedWindow();
  dialog.OwnerFrame = RectFromSize(100, 100, 800, 600);
  EXPECT_EQ(Restore("", kWorkArea, dialog).Bounds, RectFromSize(157, 128, 686, 544));
}

TEST(FormPlacement, StoredPositionsAreRelativeToTheWorkAreaAndKeptReachable) {
  EXPECT_EQ(Restore("MainLeft=10\nMainTop=20\n", {50, 40, 1970, 1080}).Bounds,
            RectFromSize(60, 60, 686, 544));
  EXPECT_EQ(Restore("MainLeft=5000\nMainTop=100\n").Bounds.Left, 1920 - 30);
  EXPECT_EQ(Restore("MainLeft=-2000\nMainTop=100\n").Bounds.Left, 30 - 686);
  EXPECT_EQ(Restore("MainLeft=100\nMainTop=-50\n").Bounds.Top, 0);
  EXPECT_EQ(Restore("MainLeft=100\nMainTop=5000\n").Bounds.Top, 1040 - 30);
  // Extreme values neither overflow nor lose the window.
  const TRect far =
      Restore("MainLeft=2147483647\nMainTop=-2147483648\nMainWidth=2147483647\n").Bounds;
  EXPECT_EQ(far, RectFromSize(1890, 0, 1920, 544));
}

TEST(FormPlacement, SizeShrinksToTheWorkAreaOnlyWithSize) {
  const TFormGeometry wide = Restore("MainLeft=0\nMainTop=0\nMainWidth=3000\nMainHeight=2000\n");
  EXPECT_EQ(wide.Bounds, RectFromSize(0, 0, 1920, 1040));
  EXPECT_EQ(Restore("MainLeft=0\nMainTop=0\nMainWidth=0\nMainHeight=-5\n").Bounds,
            RectFromSize(0, 0, 686, 544));

  TFormGeometry form = DesignedWindow();
  form.Bounds = RectFromSize(0, 0, 3000, 544);
  const MemoryStore store("[PicaxoSettings]\nMainLeft=0\nMainTop=0\nMainWidth=100\n");
  RestoreFormState(form, store, kSection, "Main", TFormPlacementOption::fpPosition, kWorkArea);
  EXPECT_EQ(form.Bounds.Width(), 3000);
}

TEST(FormPlacement, StateIsRestoredOnlyForItsOptions) {
  EXPECT_EQ(Restore("MainState=2\n").State, TWindowState::Maximized);
  EXPECT_EQ(Restore("MainState=1\n").State, TWindowState::Normal);  // no fpMinimized
  TFormGeometry maximized = DesignedWindow();
  maximized.State = TWindowState::Maximized;
  EXPECT_EQ(Restore("MainState=0\n", kWorkArea, maximized).State, TWindowState::Maximized);

  TFormGeometry form = DesignedWindow();
  const MemoryStore store("[S]\nWState=1\nWVisible=0\nWStyle=3\n");
  RestoreFormState(form, store, "S", "W",
                   TFormPlacementOption::fpMinimized | TFormPlacementOption::fpVisible |
                       TFormPlacementOption::fpStyle,
                   kWorkArea);
  EXPECT_EQ(form.State, TWindowState::Minimized);
  EXPECT_FALSE(form.Visible);
  EXPECT_EQ(form.Style, 3);
  EXPECT_EQ(form.Bounds, DesignedWindow().Bounds);  // position and size not chosen: kept
}

TEST(FormPlacement, AMaximizedWindowStoresItsNormalBoundsAndState) {
  TFormGeometry form;
  form.Bounds = kWorkArea;
  form.NormalBounds = RectFromSize(300, 200, 800, 600);
  form.State = TWindowState::Maximized;
  MemoryStore store;
  SaveFormState(form, store, kSection, "Main", kMainFormPlacement, {0, 40, 1920, 1080});
  EXPECT_EQ(store.document.Text(),
            "[PicaxoSettings]\nMainTop=160\nMainLeft=300\nMainHeight=600\nMainWidth=800\n"
            "MainState=2\n");

  form.State = TWindowState::Minimized;  // minimized without fpMinimized: stored as normal
  SaveFormState(form, store, kSection, "Main", kMainFormPlacement, kWorkArea);
  EXPECT_EQ(store.document.Find(kSection, "MainState"), "0");
  form.State = TWindowState::Normal;
  form.ApplicationMinimized = true;
  SaveFormState(form, store, kSection, "Main",
                kMainFormPlacement | TFormPlacementOption::fpMinimized, kWorkArea);
  EXPECT_EQ(store.document.Find(kSection, "MainState"), "1");
}

TEST(FormPlacement, SaveThenRestoreIsStable) {
  for (const TRect& workArea : {kWorkArea, TRect{-1280, 24, 0, 1024}}) {
    TFormGeometry form = Restore("", workArea);  // first start: centred
    for (int run = 0; run < 3; ++run) {
      MemoryStore store;
      SaveFormState(form, store, kSection, "Main", kMainFormPlacement, workArea);
      const TFormGeometry again =
          Restore(store.document.Text().substr(sizeof("[PicaxoSettings]")), workArea);
      EXPECT_EQ(again, form);
      form = again;
    }
  }
}

TEST(FormPlacement, CenterFormOnKeepsTheSize) {
  TFormGeometry dialog;
  dialog.Bounds = RectFromSize(5, 5, 400, 300);
  CenterFormOn(dialog, RectFromSize(1800, 100, 600, 400), kWorkArea);
  EXPECT_EQ(dialog.Bounds, RectFromSize(1900, 150, 400, 300));
  CenterFormOn(dialog, std::nullopt, kWorkArea);
  EXPECT_EQ(dialog.Bounds, RectFromSize(760, 370, 400, 300));
  EXPECT_EQ(CenteredPosition(401, 301, std::nullopt, kWorkArea), (TPoint{760, 370}));
}

}  // namespace
}  // namespace picaxo
