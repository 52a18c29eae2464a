#pragma once
// The main window's side of the settings: the layout record it measures from its widgets, and
// how it shows a record the model has taken. Every other value lives in the window model
// (TAppState), which the binding reads and sets.
#include "ui/settings_binding.h"

namespace picaxo {

class TForm1;

class TForm1Settings final : public TSettingsBinding {
 public:
  explicit TForm1Settings(TForm1& form);

 protected:
  TWindowLayout Layout() const override;
  TRect WorkArea() const override;
  void ShowPlacement(const TFormGeometry& geometry) override;
  void ShowFolders() override;
  void ShowZoom() override;
  void ShowResizeSettings() override;
  void ShowViewOptions() override;
  void ShowJobsList(const TWindowLayout& layout) override;

 private:
  TForm1& form_;
};

}  // namespace picaxo
