#pragma once
// The settings record of the main window: everything that the settings stores keep in the section
// "PicaxoSettings", with its first-start values. The window maps its controls to this record and
// back; loading and saving know nothing of controls.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/geometry.h"
#include "settings/form_placement.h"
#include "settings/settings_store.h"

namespace picaxo {

inline constexpr std::string_view kSettingsSection = "PicaxoSettings";
inline constexpr std::string_view kDefaultSettingsFileName = "PicaxoSettings.ini";
// The key prefix of the main window's placement: "MainTop", "MainLeft", ...
inline constexpr std::string_view kMainFormPrefix = "Main";

// The work area assumed where no screen exists (picaxo-cli); only the placement keys use it.
inline constexpr TRect kFallbackWorkArea{0, 0, 1920, 1080};

// The process's working folder without a trailing separator ("/" stays "/").
std::string WorkingFolder();

// The main window as designed, before any placement is restored.
inline TFormGeometry DesignedMainWindow() {
  TFormGeometry form;
  form.Bounds = {0, 0, kMainFormWidth, kMainFormHeight};
  return form;
}

// Every member's initial value is its value at first start. The comment names its key where the
// name differs; the key table in picaxo_settings.cpp gives the order and the accepted ranges.
struct TPicaxoSettings {
  // "MainTop", "MainLeft", "MainHeight", "MainWidth", "MainState": the window as designed, 686 x
  // 544, whose position the first start centres on the work area.
  TFormGeometry MainWindow = DesignedMainWindow();
  std::string InputDir = WorkingFolder();
  std::string OutputDir = WorkingFolder();
  // Index in the zoom list: 0 "Auto [NUM *]", 1 "4:1", 2 "2:1", 3 "1:1 [NUM /]", 4 "1:2", 5 "1:4".
  int32_t Zoom = 0;
  // The destination settings; each field is stored under its own name.
  TResizeSettings Resize;
  bool ViewAllowEnlargeInAutoMode = true;
  bool RecursiveInput = false;
  bool LosslessRotate = true;
  // Loading gives the "Copy to..." dialog's initial folder. For saving, the window puts here the
  // folder confirmed in that dialog during this run, and empty when it was not used or its last
  // use was cancelled: a run without "Copy to..." clears a folder stored by an earlier one.
  std::string CopyToDir;
  bool ShowJobsList = true;
  int32_t JobsListWidth = 368;
  // "JobsListColWidth0" ... "JobsListColWidth2": Filename, Actions, Flags.
  std::array<int32_t, 3> JobsListColWidths{150, 150, 40};
  // The zoom index used outside preview mode. The window sets it to Zoom before saving when
  // preview mode is off.
  int32_t NormalZoom = 0;
  bool BatchJobOverwriteAll = false;
  bool BatchJobOverwriteNone = false;
  bool BatchJobCreateAllDirs = false;
  // JPEG sources are turned upright by their EXIF orientation.
  bool AutoOrient = true;
  // How many images the window's batch runs convert at a time; 0: one per core.
  int32_t BatchWorkers = 0;

  bool operator==(const TPicaxoSettings&) const = default;
};

// Writes the placement keys, then every key of the table in table order, into "PicaxoSettings".
// A value the store refuses ends the pass with its EPicaxoError; the callers below then write
// nothing, so a file never holds half of the keys.
void SaveSettings(TSettingsStore& store, const TPicaxoSettings& settings, const TRect& workArea);

// What a key the store lacks does.
enum class TMissingKeys {
  // The per-user store at start: InputDir and OutputDir fall back to the working folder,
  // CopyToDir to empty, the three batch flags to false, a missing position centres the window;
  // every other missing key changes nothing.
  StartDefaults,
  // A settings file the user loads: a missing key changes nothing at all, so a file holding only
  // JpegQuality changes only the quality (the folders, the list and the window stay).
  KeepCurrent,
};

// Restores the placement, then reads every other key, each with the current value as its default
// so that a missing key changes nothing, except as missing says for StartDefaults. Integers out of
// a control's range are clamped to it; the fit sizes ignore values below 1; PaddedAlignment takes
// the low 7 bits and ignores values outside 1 ... 9. The rule keys act as one radio group: a true
// one chooses its rule and clears the other three, a false one clears only its own (so of several
// true ones the last wins, and four false ones leave no rule chosen). Keys are applied in the
// window's order, which differs from the writing order; an error ends the pass without a message
// and the keys applied before it stay.
void LoadSettings(const TSettingsStore& store, TPicaxoSettings& settings, const TRect& workArea,
                  TMissingKeys missing = TMissingKeys::StartDefaults);

// The per-user store at start and at close. Nothing is reported: a store that cannot be read or
// written leaves the settings, and the file, as they were.
void LoadRegistrySettings(TPicaxoSettings& settings, const TRect& workArea);
void SaveRegistrySettings(const TPicaxoSettings& settings, const TRect& workArea);

// Settings files the user names. LoadSettingsFile throws EPicaxoError when the file is missing,
// cannot be read or has no "PicaxoSettings" section (picaxo-cli reports it; the desktop program
// ignores it as it ignores every settings error); otherwise it is LoadSettings with KeepCurrent.
// SaveSettingsFile throws when a value cannot be stored or the file cannot be written; the old file
// then stays whole.
void LoadSettingsFile(const std::string& path, TPicaxoSettings& settings,
                      const TRect& workArea = kFallbackWorkArea);
void SaveSettingsFile(const std::string& path, const TPicaxoSettings& settings,
                      const TRect& workArea);

// The destination settings of a settings file saved by the desktop program, read over current
// (keys the file lacks keep current's values). Throws as LoadSettingsFile.
TResizeSettings LoadResizeSettingsFile(const std::string& path,
                                       const TResizeSettings& current = {});

}  // namespace picaxo
