#pragma once
// The one place where the main window meets the settings record TPicaxoSettings: every key is
// read from the window and applied back here, and only here. The placement, the folder boxes,
// the zoom list, the menu check marks and the job list are found by object name (EInputDir,
// CBZoom, Recursiveinputdirs1, PanelJobs, LVJobs); a control the window lacks leaves its key at
// the record's value. What the window model holds (the destination settings in effect, preview
// mode and the normal zoom, the "Copy to..." folder, the batch answers, ...) goes through the
// virtual functions, which the window implements.
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
  // filling-controls flag set throughout; the placement only with applyPlacement.
  void ToWindow(const TPicaxoSettings& s, bool applyPlacement = true);

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

  // --- what the window model holds ---
  // While set, the window's change handlers store nothing into the current image's entry.
  virtual void SetFillingControls(bool filling) = 0;
  // Selects a CBZoom entry and applies it as a click on the list does.
  virtual void SelectZoomIndex(int index) = 0;
  // The destination settings in effect, which the controls show.
  virtual TResizeSettings ResizeSettings() const = 0;
  virtual void ShowResizeSettings(const TResizeSettings& settings) = 0;
  virtual bool PreviewMode() const = 0;
  virtual int32_t NormalZoom() const = 0;
  virtual void SetNormalZoom(int32_t index) = 0;
  // Loaded: the "Copy to..." dialog's initial folder. Saved: the folder of that dialog's last
  // confirmed file in this run, empty when there was none.
  virtual std::string CopyToDir() const = 0;
  virtual void SetCopyToDir(const std::string& folder) = 0;
  virtual bool ViewAllowEnlargeInAutoMode() const = 0;
  virtual void SetViewAllowEnlargeInAutoMode(bool allow) = 0;
  // The Batch Resize view, shown or hidden as the tab switch does.
  virtual void SetJobsListVisible(bool visible) = 0;
  virtual TStoredBatchFlags BatchFlags() const = 0;
  virtual void SetBatchFlags(const TStoredBatchFlags& flags) = 0;
  // How many images a batch run converts at a time (0: one per core).
  virtual int32_t BatchWorkers() const { return 0; }
  virtual void SetBatchWorkers(int32_t /*workers*/) {}

  // --- named controls ---
  // The folder boxes EInputDir and EOutputDir.
  virtual void ShowFolders(const std::string& input, const std::string& output);
  // PanelJobs' width (its share of a splitter); kept here while the panel is hidden or not laid
  // out yet.
  virtual int32_t JobsListWidth() const;
  virtual void SetJobsListWidth(int32_t width);

 private:
  TRect WorkArea() const;

  QWidget& window_;
  int32_t jobsListWidth_ = TPicaxoSettings{}.JobsListWidth;
  std::array<int32_t, 3> columnWidths_ = TPicaxoSettings{}.JobsListColWidths;
};

}  // namespace picaxo
