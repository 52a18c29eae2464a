#pragma once
// The one place where the main window's controls meet the settings record TPicaxoSettings: every
// key is read from the window and applied back here, and only here. Controls are found by object
// name (EInputDir, CBZoom, UDQuality, RBFixedFit, ...); a control the window does not have leaves
// its key at the record's value. What the window keeps outside its controls (the Fit size fields,
// preview mode, the remembered normal zoom, the "Copy to..." folder, the job list, the batch
// answers) goes through the virtual functions, whose defaults keep it in this object or act on the
// named control, so that the binding works on a bare form of named controls too.
//
// Loading and saving are the core's (settings/picaxo_settings.h): the binding takes the window's
// values as the current ones, lets the core read a store over them, and applies the result.
#include <array>
#include <cstdint>
#include <string>

#include "settings/picaxo_settings.h"

class QWidget;

namespace picaxo {

// The batch answers the settings keep between runs.
struct TStoredBatchFlags {
  bool OverwriteAll = false;
  bool OverwriteNone = false;
  bool CreateAllDirs = false;
};

class TSettingsBinding {
 public:
  // window is the main window holding the named controls; it outlives the binding.
  explicit TSettingsBinding(QWidget& window);
  virtual ~TSettingsBinding() = default;
  TSettingsBinding(const TSettingsBinding&) = delete;
  TSettingsBinding& operator=(const TSettingsBinding&) = delete;

  // Every value as the window holds it now. NormalZoom is the zoom shown unless preview mode is
  // on, when it is the remembered normal zoom.
  TPicaxoSettings FromWindow() const;
  // Applies every value to the window, in the order loading applies keys, with the window's
  // filling-controls flag set throughout.
  void ToWindow(const TPicaxoSettings& settings);

  // The per-user store, when the window is first shown (before it appears, so that its placement
  // shows no jump) and when it closes. Nothing is reported.
  void LoadRegistrySettings();
  void SaveRegistrySettings();

  // Settings files the user names. Both throw EPicaxoError (missing file, no settings section,
  // unwritable file); nothing is applied then, and an old file stays whole.
  void LoadSettingsFile(const std::string& path);
  void SaveSettingsFile(const std::string& path);

 protected:
  QWidget& Window() const { return window_; }

  // While set, the window's change handlers store nothing into the current image's entry.
  virtual void SetFillingControls(bool filling);
  // The folder boxes EInputDir and EOutputDir.
  virtual void ShowFolders(const std::string& input, const std::string& output);
  // Selects a CBZoom entry and applies it as a click on the list does.
  virtual void SelectZoomIndex(int index);
  // The destination settings in effect; by default read from and shown in the named controls,
  // the Fit frame from the numbers in EFitWidth and EFitHeight, the border colour from the
  // background of PaddedFitColorPanel.
  virtual TResizeSettings ResizeSettings() const;
  virtual void ShowResizeSettings(const TResizeSettings& settings);
  virtual bool PreviewMode() const { return false; }
  virtual int32_t NormalZoom() const { return normalZoom_; }
  virtual void SetNormalZoom(int32_t index) { normalZoom_ = index; }
  // Loaded: the "Copy to..." dialog's initial folder. Saved: the folder of that dialog's last
  // confirmed file in this run, empty when there was none.
  virtual std::string CopyToDir() const { return copyToDir_; }
  virtual void SetCopyToDir(const std::string& folder) { copyToDir_ = folder; }
  virtual bool ViewAllowEnlargeInAutoMode() const { return viewAllowEnlarge_; }
  virtual void SetViewAllowEnlargeInAutoMode(bool allow) { viewAllowEnlarge_ = allow; }
  // The Batch Resize view: shown or hidden as the tab switch does; PanelJobs by default.
  virtual void SetJobsListVisible(bool visible);
  // PanelJobs' width; kept here while the panel is hidden or not laid out yet.
  virtual int32_t JobsListWidth() const;
  virtual void SetJobsListWidth(int32_t width);
  virtual TStoredBatchFlags BatchFlags() const { return batchFlags_; }
  virtual void SetBatchFlags(const TStoredBatchFlags& flags) { batchFlags_ = flags; }

 private:
  TRect WorkArea() const;

  QWidget& window_;
  int32_t normalZoom_ = 0;
  std::string copyToDir_;
  bool viewAllowEnlarge_ = true;
  int32_t jobsListWidth_ = TPicaxoSettings{}.JobsListWidth;
  std::array<int32_t, 3> columnWidths_ = TPicaxoSettings{}.JobsListColWidths;
  TStoredBatchFlags batchFlags_;
};

}  // namespace picaxo
