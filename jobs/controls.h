#pragma once
// The destination-settings controls of the window, as the core sees them: which entry fields a
// change of each control touches, what must be drawn again afterwards, and the state of the rule
// controls as a function of the settings.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/geometry.h"
#include "jobs/entry.h"

namespace picaxo {

// The controls whose changes are stored into entries (named as the window names them).
enum class TControl : uint8_t {
  CBResize,
  RBFixedLonger,
  RBFixedArea,
  RBPercent,
  RBFixedFit,
  CBAllowEnlarge,
  ELongerSide,
  UDLongerSide,
  EFixedArea,
  UDFixedArea,
  EPercent,
  UDPercent,
  EFitWidth,
  EFitHeight,
  CBPaddedFit,
  RBAlignment,  // any of the nine alignment buttons
  PaddedFitColorPanel,
  EQuality,
  UDQuality,
  CBFormat,             // the output format
  CBForceRecompress,    // also MForceRecompress
  CBExcludeOutputFile,  // also MExcludeInBatchMode
  ImgViewBox,           // the view's selection
  EOutFilename,         // the output-name box
  Other,
};

// The entry fields a change of control touches (cmSelection and cmOutputName for the view and
// the output-name box; 0 for Other).
ChangeMask ChangeMaskOf(TControl control);
// Whether a change of the control reruns the rule-control update (visibility, group heights):
// the resize box, a rule button, the padded-border box or an alignment button.
bool RerunsRuleControls(TControl control);

// How a change was made. Commit: Enter in a parameter edit, a spin arrow, a click on a check box,
// rule or alignment button, a colour accepted. Leave: a parameter edit lost the focus. Edit: a
// text change that is stored as it is typed (the output-name box).
enum class TTrigger : uint8_t { Commit, Leave, Edit };

// What the window must draw again after a change. DimensionLabel implies the selection label and
// the current job row (the dimension label update refreshes both).
struct TRedraw {
  bool DimensionLabel = false;  // LNewDimension (and LSelection, and the current job row)
  bool SelectionLabel = false;  // LSelection
  bool CurrentJobRow = false;
  bool AllJobRows = false;
  bool FileExistsMarker = false;  // LFileExists / MOutDelete
  bool View = false;              // re-render the preview (TAppState::View)
  bool operator==(const TRedraw&) const = default;
};

// A selection event of the view: a step of a drag, or the selection changed (drag finished,
// selection cleared).
enum class TSelectionPhase : uint8_t { Dragging, Changed };

// --- The rule controls ---

// Design sizes of the resize group (top edges relative to their parents, heights), and the two
// margins measured when the window is first shown.
struct TGroupLayout {
  int GBResizeTop = 59;
  int PaddedFitPanelTop = 81;
  int CBPaddedFitBottom = 17;         // CBPaddedFit: top 0, height 17
  int RBAlignRightBottomBottom = 97;  // RBAlignRightBottom: top 80, height 17
  int GroupMarginResize = 21;         // GBResize height - PaddedFitPanel top - its height
  int GroupMarginOutput = 64;         // GBOutputFile height - GBResize top - GBResize height
};

struct TInputState {
  bool Visible = false;
  bool Enabled = false;
  bool operator==(const TInputState&) const = default;
};

struct TRuleControlsState {
  bool RuleButtonsEnabled = false;   // the four rule buttons
  bool AllowEnlargeEnabled = false;  // CBAllowEnlarge
  TInputState LongerSide;            // ELongerSide, UDLongerSide
  TInputState FixedArea;             // EFixedArea, UDFixedArea
  TInputState Percent;               // EPercent, UDPercent
  TInputState Fit;                   // EFitWidth, LFitWidthX, EFitHeight
  bool PaddedFitPanelVisible = false;
  bool AlignmentGridVisible = false;  // the nine buttons and PaddedFitColorPanel
  int PaddedFitPanelHeight = 0;       // meaningful while the panel is visible
  int GBResizeHeight = 0;
  int GBOutputFileHeight = 0;
  bool operator==(const TRuleControlsState&) const = default;
};

// The rule controls' state for settings; with the design sizes the group heights are 102 / 225
// without Fit, 121 / 244 for Fit, 201 / 324 for Fit with a padded border.
TRuleControlsState RuleControlsState(const TResizeSettings& settings,
                                     const TGroupLayout& layout = {});

// --- Alignment buttons ---

// The alignment the nine buttons choose, in grid order from top left: the first checked one,
// centre when none is.
uint8_t AlignmentOfButtons(const std::array<bool, 9>& checked);

// --- Fit texts ---

// A Fit edit's text as a frame side: a decimal integer above 0, else nothing (the stored value
// stays). Blanks around the number are allowed.
std::optional<int32_t> ParseFitValue(const std::string& text);
// Every text change of either Fit edit: both texts are parsed, each on its own, into
// settings.FixedFitWidth / FixedFitHeight. True when a value changed.
bool TakeFitTexts(const std::string& widthText, const std::string& heightText,
                  TResizeSettings& settings);
// The texts the Fit edits show again when a parameter edit loses the focus.
std::string FitWidthText(const TResizeSettings& settings);
std::string FitHeightText(const TResizeSettings& settings);

}  // namespace picaxo
