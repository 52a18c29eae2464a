#pragma once
// Which commands of the window are enabled, and the captions of the job actions, as pure
// functions of the state.
#include <cstdint>
#include <string>

namespace picaxo {

// The form of the job actions' captions. Hidden while the Batch Resize view is hidden (and at
// start), All or Selected while it shows. Stored as 0, 1, 2 where a number is wanted.
enum class TJobCaptionMode : uint8_t { Hidden = 0, All = 1, Selected = 2 };

struct TJobCaptions {
  std::string Execute;  // AJobExecute
  std::string Reset;    // AJobReset
  std::string Apply;    // AJobApply
};
// "Save All" / "Reset All" / "Apply All" (All and Hidden), or the "... Selected" forms.
TJobCaptions JobCaptionsFor(TJobCaptionMode mode);
// UpdateJobCaptions: the mode after selectedRows rows are selected in a visible job list (more
// than one: Selected; fewer than two: All); a hidden list keeps its mode.
TJobCaptionMode NextJobCaptionMode(TJobCaptionMode mode, bool listVisible, int selectedRows);
// AJobToggle's caption: "Hide Batch Jobs" while the job list shows, else "Show Batch Jobs".
std::string JobToggleCaption(bool listVisible);

// What the enabled states depend on.
struct TCommandInputs {
  bool HasEntry = false;       // there is a current image
  bool HasFile = false;        // ... and its source decoded
  bool IsJpegName = false;     // ... and its name ends in ".jpg" or ".jpeg"
  bool LosslessRotate = true;  // the option "Use Lossless JPEG rotate of source file"
  int32_t Count = 0;           // images in the list
  int32_t CurrentIndex = 0;
  bool JobsListVisible = false;
  bool DestinationExists = false;  // the "X" marker
};

struct TCommandState {
  bool SourceName = false;         // EInFilename
  bool First = false;              // MFirst
  bool Last = false;               // MLast
  bool Previous = false;           // MPrevious, TBPrev
  bool Next = false;               // MNext, TBNext
  bool SaveAndNext = false;        // MSaveAndNext
  bool DeleteSource = false;       // MInDelete (and the Delete key)
  bool CopyTo = false;             // MCopyTo
  bool OutputName = false;         // EOutFilename
  bool Preview = false;            // MPreview, TBPreview
  bool Save = false;               // MSave, TBSave
  bool Exclude = false;            // CBExcludeOutputFile, MExcludeInBatchMode
  bool RotateRight = false;        // Rotateright1
  bool RotateLeft = false;         // RotateLeft1
  bool ImageNumber = false;        // EInFileNumber
  bool DeleteDestination = false;  // MOutDelete
  bool SaveAll = false;            // TBSaveAll, MSaveAll (Simple Resize view only)
  bool JobExecute = false;         // AJobExecute
  bool JobReset = false;           // AJobReset
  bool JobApply = true;            // AJobApply
  bool JobSelectAll = false;       // AJobSelectAll
  std::string ImageNumberText;     // EInFileNumber: position from 1, empty for an empty list
  std::string FileCountText;       // LFileNumber
  bool operator==(const TCommandState&) const = default;
};

TCommandState EnabledCommands(const TCommandInputs& inputs);

}  // namespace picaxo
