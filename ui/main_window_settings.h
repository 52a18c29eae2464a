#pragma once
// The main window's side of the settings: its binding to the settings record. The destination
// settings, the folder fields, the zoom, preview mode, the "Copy to..." folder, the job list and
// the batch answers live in the window model (TAppState), so the binding reads and applies them
// there; everything else goes through the named controls as for any form.
#include <optional>

#include "jobs/app_state.h"
#include "ui/settings_binding.h"

namespace picaxo {

class TForm1;

class TForm1Settings final : public TSettingsBinding {
 public:
  explicit TForm1Settings(TForm1& form);

 protected:
  void SetFillingControls(bool filling) override;
  void ShowFolders(const std::string& input, const std::string& output) override;
  void SelectZoomIndex(int index) override;
  TResizeSettings ResizeSettings() const override;
  void ShowResizeSettings(const TResizeSettings& settings) override;
  bool PreviewMode() const override;
  int32_t NormalZoom() const override;
  void SetNormalZoom(int32_t index) override;
  std::string CopyToDir() const override;
  void SetCopyToDir(const std::string& folder) override;
  bool ViewAllowEnlargeInAutoMode() const override;
  void SetViewAllowEnlargeInAutoMode(bool allow) override;
  void SetJobsListVisible(bool visible) override;
  int32_t JobsListWidth() const override;
  void SetJobsListWidth(int32_t width) override;
  TStoredBatchFlags BatchFlags() const override;
  void SetBatchFlags(const TStoredBatchFlags& flags) override;
  int32_t BatchWorkers() const override;
  void SetBatchWorkers(int32_t workers) override;

 private:
  TForm1& form_;
  std::optional<TAppState::TFillingControls> filling_;
};

}  // namespace picaxo
