#include "jobs/controls.h"

#include "jobs/number_text.h"

#include <cctype>
#include <limits>
#include <string_view>

namespace picaxo {

ChangeMask ChangeMaskOf(TControl control) {
  // A control that edits a destination parameter touches that parameter's group.
  const auto group = [](std::string_view key) { return DestinationParameter(key).Group; };
  switch (control) {
    case TControl::CBResize:
      return group("ResizeEnabled");
    case TControl::RBFixedLonger:
      return group("FixedLongerEnabled");
    case TControl::RBFixedArea:
      return group("FixedAreaEnabled");
    case TControl::RBPercent:
      return group("PercentEnabled");
    case TControl::RBFixedFit:
      return group("FixedFitEnabled");
    case TControl::CBAllowEnlarge:
      return group("AllowEnlarge");
    case TControl::ELongerSide:
    case TControl::UDLongerSide:
      return group("LongerPixels");
    case TControl::EFixedArea:
    case TControl::UDFixedArea:
      return group("AreaPixels");
    case TControl::EPercent:
    case TControl::UDPercent:
      return group("Percent");
    case TControl::EFitWidth:
      return group("FixedFitWidth");
    case TControl::EFitHeight:
      return group("FixedFitHeight");
    case TControl::CBPaddedFit:
      return group("PaddedFitEnabled");
    case TControl::RBAlignment:
      return group("PaddedAlignment");
    case TControl::PaddedFitColorPanel:
      return group("PaddingColor");
    case TControl::EQuality:
    case TControl::UDQuality:
      return group("JpegQuality");
    case TControl::CBFormat:
      return group("OutputFormat");
    case TControl::CBForceRecompress:
      return group("AlwaysRecompress");
    case TControl::CBExcludeOutputFile:
      return cmExclude;
    case TControl::ImgViewBox:
      return cmSelection;
    case TControl::EOutFilename:
      return cmOutputName;
    case TControl::Other:
      break;
  }
  return 0;
}

TRuleControlsState RuleControlsState(const TResizeSettings& settings, const TGroupLayout& layout) {
  TRuleControlsState state;
  const bool enabled = settings.ResizeEnabled;
  state.RuleButtonsEnabled = enabled;
  state.AllowEnlargeEnabled = enabled;
  // The first selected rule wins, as SelectedRule reads the radio group.
  const std::optional<ResizeRule> rule = SelectedRule(settings);
  const auto input = [&](ResizeRule r) {
    const bool selected = rule == r;
    return TInputState{selected, selected && enabled};
  };
  state.LongerSide = input(ResizeRule::LongerSide);
  state.FixedArea = input(ResizeRule::FixedArea);
  state.Percent = input(ResizeRule::Percent);
  state.Fit = input(ResizeRule::Fit);
  state.PaddedFitPanelVisible = state.Fit.Enabled;
  state.AlignmentGridVisible = settings.PaddedFitEnabled;
  if (state.PaddedFitPanelVisible) {
    state.PaddedFitPanelHeight =
        (settings.PaddedFitEnabled ? layout.RBAlignRightBottomBottom : layout.CBPaddedFitBottom) +
        2;
    state.GBResizeHeight =
        layout.PaddedFitPanelTop + state.PaddedFitPanelHeight + layout.GroupMarginResize;
  } else {
    state.GBResizeHeight = layout.PaddedFitPanelTop + layout.GroupMarginResize;
  }
  state.GBOutputFileHeight = layout.GBResizeTop + state.GBResizeHeight + layout.GroupMarginOutput;
  return state;
}

bool RerunsRuleControls(TControl control) {
  switch (control) {
    case TControl::CBResize:
    case TControl::RBFixedLonger:
    case TControl::RBFixedArea:
    case TControl::RBPercent:
    case TControl::RBFixedFit:
    case TControl::CBPaddedFit:
    case TControl::RBAlignment:
      return true;
    default:
      return false;
  }
}

uint8_t AlignmentOfButtons(const std::array<bool, 9>& checked) {
  for (size_t i = 0; i < checked.size(); ++i) {
    if (checked[i]) return static_cast<uint8_t>(i + 1);
  }
  return kAlignCenter;
}

std::optional<int32_t> ParseFitValue(const std::string& text) {
  const auto value = ParseDecimalInt32(text);
  if (!value || *value <= 0) return std::nullopt;
  return value;
}

bool TakeFitTexts(const std::string& widthText, const std::string& heightText,
                  TResizeSettings& settings) {
  const TResizeSettings before = settings;
  if (const auto width = ParseFitValue(widthText)) settings.FixedFitWidth = *width;
  if (const auto height = ParseFitValue(heightText)) settings.FixedFitHeight = *height;
  return !(before == settings);
}

std::string FitWidthText(const TResizeSettings& settings) {
  return std::to_string(settings.FixedFitWidth);
}

std::string FitHeightText(const TResizeSettings& settings) {
  return std::to_string(settings.FixedFitHeight);
}

}  // namespace picaxo
