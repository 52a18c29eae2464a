#pragma once
// The one place where the settings record TPicaxoSettings meets the window: the record is built
// from the window model (TAppState) and a small window-layout record (placement, the job list's
// panel and column widths), and a record that was read is applied to the model first and then
// shown by the window. No control is looked up by name, so a renamed control is a compile error
// rather than a setting silently lost, and saving and loading work, and are tested, without a
// window.
//
// Loading and saving are the core's (settings/picaxo_settings.h): the binding takes the record
// of the model as the current values, lets the core read a store over it, and applies the result.
#include <array>
#include <cstdint>
#include <string>

#include "jobs/app_state.h"
#include "settings/picaxo_settings.h"

namespace picaxo {

// What the settings keep that only the window knows.
struct TWindowLayout {
  TFormGeometry Placement = DesignedMainWindow();
  int32_t JobsListWidth = TPicaxoSettings{}.JobsListWidth;
  std::array<int32_t, 3> JobsListColWidths = TPicaxoSettings{}.JobsListColWidths;
};

// The record of the model and the layout now. NormalZoom is the zoom shown unless preview mode is
// on, when it is the remembered normal zoom; CopyToDir is the folder of the last confirmed "Copy
// to..." of this run.
TPicaxoSettings SettingsRecord(const TAppState& state, const TWindowLayout& layout);

class TSettingsBinding {
 public:
  explicit TSettingsBinding(TAppState& state) : state_(state) {}
  virtual ~TSettingsBinding() = default;
  TSettingsBinding(const TSettingsBinding&) = delete;
  TSettingsBinding& operator=(const TSettingsBinding&) = delete;

  TPicaxoSettings Record() const { return SettingsRecord(state_, Layout()); }
  // Applies every value, in the order loading applies keys, with the model's filling-controls
  // flag set throughout: the model takes each value, then the window shows it. The placement only
  // with applyPlacement.
  void Apply(const TPicaxoSettings& s, bool applyPlacement = true);

  // The per-user store, when the window is first shown (before it appears, so that its placement
  // shows no jump) and when it closes. Nothing is reported.
  void LoadRegistrySettings();
  void SaveRegistrySettings();

  // Settings files the user names. Both throw EPicaxoError (missing file, no settings section,
  // unwritable file); nothing is applied then, and an old file stays whole.
  void LoadSettingsFile(const std::string& path);
  void SaveSettingsFile(const std::string& path);

  // The layout as last applied; a window reports its own instead (Layout).
  const TWindowLayout& AppliedLayout() const { return layout_; }

 protected:
  TAppState& State() const { return state_; }
  virtual TWindowLayout Layout() const { return layout_; }
  virtual TRect WorkArea() const { return kFallbackWorkArea; }

  // --- the steps of Apply that a window shows (the model holds the values already) ---
  virtual void ShowPlacement(const TFormGeometry&) {}
  virtual void ShowFolders() {}
  virtual void ShowZoom() {}
  virtual void ShowResizeSettings() {}
  // The view's enlarge choice and the Options menu's check marks.
  virtual void ShowViewOptions() {}
  // The job list: its width, shown or hidden as the model says, its column widths.
  virtual void ShowJobsList(const TWindowLayout&) {}

 private:
  TAppState& state_;
  TWindowLayout layout_;
};

}  // namespace picaxo
