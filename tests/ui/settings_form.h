#pragma once
// A bare top-level form standing for the main window's placement, and a settings binding over a
// window model of its own that places that form.
#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "jobs/app_state.h"
#include "settings/picaxo_settings.h"
#include "ui/recent_menu.h"
#include "ui/settings_binding.h"
#include "ui/window_placement.h"

namespace picaxo::testing {

// The form at its first-start size, 686 x 544. No layout: it would give the form a minimum size,
// and placement tests need any size.
inline std::unique_ptr<QWidget> MakeSettingsForm() {
  auto form = std::make_unique<QWidget>();
  form->resize(kMainFormWidth, kMainFormHeight);
  return form;
}

// The model a binding works on, made before the binding.
struct TOwnModel {
  TScriptedPrompt prompt;
  TAppState state{prompt};
};

// The binding over its own model, placing the form.
class TFormBinding final : private TOwnModel, public TSettingsBinding {
 public:
  explicit TFormBinding(QWidget& form) : TSettingsBinding(TOwnModel::state), form_(form) {}
  TAppState& Model() { return TOwnModel::state; }

 protected:
  TWindowLayout Layout() const override {
    TWindowLayout layout = AppliedLayout();
    layout.Placement = FormGeometryOf(form_);
    return layout;
  }
  TRect WorkArea() const override { return WorkAreaOf(form_); }
  void ShowPlacement(const TFormGeometry& geometry) override { ApplyFormGeometry(form_, geometry); }

 private:
  QWidget& form_;
};

// The quality of the binding's model.
inline int Quality(TFormBinding& binding) {
  return binding.Model().Settings().JpegQuality;
}
inline void SetQuality(TFormBinding& binding, int quality) {
  TResizeSettings settings = binding.Model().Settings();
  settings.JpegQuality = static_cast<int16_t>(quality);
  binding.Model().SetSettings(settings);
}

}  // namespace picaxo::testing
