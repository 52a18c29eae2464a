#pragma once
// TFileEntry: what the user decided for one source image alone, and the transfers between an entry
// and the destination settings in effect.
//
// Settings the user has not touched for an image stay unset in its entry; while such an image is
// current, the settings in effect apply to it.
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/destination_parameters.h"
#include "imaging/geometry.h"
#include "imaging/image_format.h"

namespace picaxo {

// What an entry stores about resizing; Unset leaves it to the settings in effect.
enum class TResizeMode : uint8_t { Unset, NoResize, LongerSide, FixedArea, Percent, Fit };

// Three-state choices (EnlargeChoice, RecompressChoice): a check box maps to No or Yes; Unset
// leaves the decision to the settings in effect.
enum class TChoice : uint8_t { Unset, No, Yes };

// The groups of entry fields a change touches (ChangeMask, cmResize ...) are declared with the
// destination parameters (imaging/destination_parameters.h).
// Apply: every group except selection and output name.
inline constexpr ChangeMask cmApplyAll = 63;
// Reset: all groups (OutputName is kept regardless).
inline constexpr ChangeMask cmResetAll = 255;
// Save All runs with the settings in effect but keeps selection, exclusion and output name.
inline constexpr ChangeMask cmSaveAllReset = 47;

class TFileEntry {
 public:
  TFileEntry() = default;
  TFileEntry(std::string fileName, int64_t fileSize)
      : FileName(std::move(fileName)), FileSize(fileSize) {}

  std::string FileName;    // full path of the source file
  std::string OutputName;  // destination base name without extension; empty: the source's name
  std::optional<TPictureSize> Size;  // as last loaded; none until loaded
  int64_t FileSize = 0;              // bytes, from the folder listing
  std::optional<TSelection> Selection;
  TResizeMode ResizeMode = TResizeMode::Unset;
  // Values of each rule as in TResizeSettings; not read while ResizeMode is unset, none after
  // reset.
  std::optional<int32_t> LongerPixels;
  std::optional<int32_t> AreaPixels;
  std::optional<int32_t> Percent;
  std::optional<int32_t> FixedFitWidth;
  std::optional<int32_t> FixedFitHeight;
  TChoice EnlargeChoice = TChoice::Unset;
  std::optional<int32_t> JpegQuality;  // 1 ... 100
  bool Excluded = false;               // skipped when all images are saved
  uint32_t PaddingColor = 0;
  uint8_t PaddedAlignment = 0;  // 0: Fit without padded border; 1 ... 9: alignment
  TChoice RecompressChoice = TChoice::Unset;
  // Stored with the quality it is encoded at.
  std::optional<EOutputFormat> OutputFormat;

  bool HasSelection() const { return Selection.has_value(); }
  bool IsJpeg() const;               // the name's extension is ".jpg" or ".jpeg", any case
  std::string BaseName() const;      // file name without folder and extension
  bool IsRenamed() const;            // OutputName set and not BaseName (ignoring case)
  bool IsPadded() const;             // a Fit frame stored and PaddedAlignment != 0
  void ResetEntry(ChangeMask mask);  // clears the groups of mask (never OutputName)
};

// What the window holds for the current image besides the destination settings.
struct TEntryExtras {
  bool Excluded = false;                // "Exclude for Save All"
  std::optional<TSelection> Selection;  // the view's selection, when it has one
  std::string OutputName;               // the output-name text
};

// Copies the groups named by mask, in bit order, from the settings in effect into entry. The Fit
// frame is settings.FixedFitWidth/Height; the padded flag, alignment and colour are the settings'
// too. Nothing happens for a null entry.
void StoreSettingsToEntry(TFileEntry* entry, ChangeMask mask, const TResizeSettings& settings,
                          const TEntryExtras& extras = {});

// The reverse transfer, when an entry becomes current: only the fields the entry has set replace
// the values in effect; the others keep what they held for the previous image. extras.OutputName
// changes only when the entry has one (the caller shows the source's base name first).
void ApplyEntryToSettings(const TFileEntry& entry, TResizeSettings& settings, TEntryExtras& extras);

// The three-state resolutions. A null entry or an unset choice defers to the settings.
bool ResolveAllowEnlarge(const TFileEntry* entry, const TResizeSettings& settings);
bool ResolveForceRecompress(const TFileEntry* entry, const TResizeSettings& settings);
// The format an image is saved in: the entry's own, else the settings'.
EOutputFormat ResolveOutputFormat(const TFileEntry* entry, const TResizeSettings& settings);

// Texts of the batch job list.
// File name column: FileName without sourceFolder and the separator after it, at most 400
// characters; "(error)" for a row without an entry.
std::string JobFileNameText(const TFileEntry* entry, const std::string& sourceFolder);
// Actions column, e.g. "fit 1024x800, Q=90, rename". settings supplies AlwaysRecompress.
std::string JobActionsText(const TFileEntry& entry, const TResizeSettings& settings);
// Flags column: "E", "X", "S", "R", "P" in that order.
std::string JobFlagsText(const TFileEntry& entry);

}  // namespace picaxo
