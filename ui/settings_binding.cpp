#include "ui/settings_binding.h"

#include <algorithm>

namespace picaxo {

TPicaxoSettings SettingsRecord(const TAppState& state, const TWindowLayout& layout) {
  TPicaxoSettings s;
  s.MainWindow = layout.Placement;
  s.InputDir = state.SourceFolderField();
  s.OutputDir = state.DestinationFolderField();
  s.Zoom = NumberOfZoom(state.Zoom());
  s.Resize = state.Settings();
  s.NormalZoom = NumberOfZoom(state.NormalZoom());
  s.ViewAllowEnlargeInAutoMode = state.ViewAllowEnlargeInAutoMode();
  s.RecursiveInput = state.RecursiveInput();
  s.LosslessRotate = state.LosslessRotate();
  s.AutoOrient = state.AutoOrient();
  s.CopyToDir = state.ConfirmedCopyToFolder();
  s.ShowJobsList = state.JobsListVisible();
  s.JobsListWidth = layout.JobsListWidth;
  s.JobsListColWidths = layout.JobsListColWidths;
  const TBatchFlags& flags = state.Flags();
  s.BatchJobOverwriteAll = flags.BatchJobOverwriteAll;
  s.BatchJobOverwriteNone = flags.BatchJobOverwriteNone;
  s.BatchJobCreateAllDirs = flags.BatchJobCreateAllDirs;
  s.BatchWorkers = static_cast<int32_t>(state.BatchWorkers());
  return s;
}

void TSettingsBinding::Apply(const TPicaxoSettings& s, bool applyPlacement) {
  TAppState::TFillingControls filling(state_);
  if (applyPlacement) {
    layout_.Placement = s.MainWindow;
    ShowPlacement(s.MainWindow);
  }
  state_.SetSourceFolderField(s.InputDir);
  state_.SetDestinationFolderField(s.OutputDir);
  ShowFolders();
  if (const std::optional<TZoom> zoom = ZoomOfNumber(s.Zoom)) state_.SelectZoom(*zoom);
  ShowZoom();
  state_.SetSettings(s.Resize);
  ShowResizeSettings();
  if (const std::optional<TZoom> zoom = ZoomOfNumber(s.NormalZoom)) state_.SetNormalZoom(*zoom);
  state_.SetViewAllowEnlargeInAutoMode(s.ViewAllowEnlargeInAutoMode);
  state_.SetRecursiveInput(s.RecursiveInput);
  state_.SetLosslessRotate(s.LosslessRotate);
  state_.SetAutoOrient(s.AutoOrient);
  state_.SetBatchWorkers(static_cast<unsigned>(std::max(0, s.BatchWorkers)));
  ShowViewOptions();
  state_.SetCopyToDir(s.CopyToDir);
  layout_.JobsListWidth = s.JobsListWidth;
  layout_.JobsListColWidths = s.JobsListColWidths;
  state_.SetJobsListVisible(s.ShowJobsList);
  ShowJobsList(layout_);
  TBatchFlags& flags = state_.Flags();
  flags.BatchJobOverwriteAll = s.BatchJobOverwriteAll;
  flags.BatchJobOverwriteNone = s.BatchJobOverwriteNone;
  flags.BatchJobCreateAllDirs = s.BatchJobCreateAllDirs;
}

void TSettingsBinding::LoadRegistrySettings() {
  TPicaxoSettings settings = Record();
  picaxo::LoadRegistrySettings(settings, WorkArea());
  Apply(settings);
}

void TSettingsBinding::SaveRegistrySettings() {
  const TPicaxoSettings settings = Record();
  state_.SetNormalZoom(state_.NormalZoom());
  picaxo::SaveRegistrySettings(settings, WorkArea());
}

void TSettingsBinding::LoadSettingsFile(const std::string& path) {
  TPicaxoSettings settings = Record();
  const TFormGeometry before = settings.MainWindow;
  picaxo::LoadSettingsFile(path, settings, WorkArea());
  // A file without placement keys leaves the window exactly where it is.
  Apply(settings, !(settings.MainWindow == before));
}

void TSettingsBinding::SaveSettingsFile(const std::string& path) {
  const TPicaxoSettings settings = Record();
  state_.SetNormalZoom(state_.NormalZoom());
  picaxo::SaveSettingsFile(path, settings, WorkArea());
}

}  // namespace picaxo
