// The pure rules behind the window's controls: change masks, rule controls, Fit texts, enabled
// commands, job captions and the key table.
#include <gtest/gtest.h>

#include "jobs/commands.h"
#include "jobs/controls.h"
#include "jobs/keys.h"

namespace picaxo {
namespace {

TEST(ChangeMaskOf, EachControlTouchesItsGroups) {
  for (TControl c : {TControl::CBResize, TControl::RBFixedLonger, TControl::RBFixedArea,
                     TControl::RBPercent, TControl::RBFixedFit})
    EXPECT_EQ(ChangeMaskOf(c), cmResize);
  for (TControl c :
       {TControl::ELongerSide, TControl::UDLongerSide, TControl::EFixedArea, TControl::UDFixedArea,
        TControl::EPercent, TControl::UDPercent, TControl::EFitWidth, TControl::EFitHeight,
        TControl::CBPaddedFit, TControl::RBAlignment, TControl::PaddedFitColorPanel})
    EXPECT_EQ(ChangeMaskOf(c), cmResize | cmValues);
  EXPECT_EQ(ChangeMaskOf(TControl::CBAllowEnlarge), cmEnlarge);
  EXPECT_EQ(ChangeMaskOf(TControl::EQuality), cmQuality);
  EXPECT_EQ(ChangeMaskOf(TControl::UDQuality), cmQuality);
  EXPECT_EQ(ChangeMaskOf(TControl::CBForceRecompress), cmRecompress);
  EXPECT_EQ(ChangeMaskOf(TControl::CBExcludeOutputFile), cmExclude);
  EXPECT_EQ(ChangeMaskOf(TControl::ImgViewBox), cmSelection);
  EXPECT_EQ(ChangeMaskOf(TControl::EOutFilename), cmOutputName);
  EXPECT_EQ(ChangeMaskOf(TControl::Other), 0);
}

TResizeSettings WithRule(ResizeRule rule, bool padded = false) {
  TResizeSettings s;
  SelectRule(s, rule);
  s.PaddedFitEnabled = padded;
  return s;
}

TEST(RuleControlsState, GroupHeightsFollowTheFitPanelFromTheDesignSizes) {
  const TRuleControlsState percent = RuleControlsState(WithRule(ResizeRule::Percent));
  EXPECT_FALSE(percent.PaddedFitPanelVisible);
  EXPECT_EQ(percent.GBResizeHeight, 102);
  EXPECT_EQ(percent.GBOutputFileHeight, 225);
  const TRuleControlsState fit = RuleControlsState(WithRule(ResizeRule::Fit));
  EXPECT_TRUE(fit.PaddedFitPanelVisible);
  EXPECT_FALSE(fit.AlignmentGridVisible);
  EXPECT_EQ(fit.GBResizeHeight, 121);
  EXPECT_EQ(fit.GBOutputFileHeight, 244);
  const TRuleControlsState padded = RuleControlsState(WithRule(ResizeRule::Fit, true));
  EXPECT_TRUE(padded.AlignmentGridVisible);
  EXPECT_EQ(padded.PaddedFitPanelHeight, 99);
  EXPECT_EQ(padded.GBResizeHeight, 201);
  EXPECT_EQ(padded.GBOutputFileHeight, 324);
  // Margins measured on another screen move every height with them.
  TGroupLayout wide;
  wide.GroupMarginResize = 30;
  EXPECT_EQ(RuleControlsState(WithRule(ResizeRule::Fit, true), wide).GBResizeHeight, 210);
}

TEST(RuleControlsState, OnlyTheSelectedRulesInputsShowAndOnlyWhileResizing) {
  const TRuleControlsState longer = RuleControlsState(WithRule(ResizeRule::LongerSide));
  EXPECT_EQ(longer.LongerSide, (TInputState{true, true}));
  EXPECT_EQ(longer.FixedArea, (TInputState{false, false}));
  EXPECT_EQ(longer.Percent, (TInputState{false, false}));
  EXPECT_EQ(longer.Fit, (TInputState{false, false}));
  EXPECT_TRUE(longer.RuleButtonsEnabled);
  EXPECT_TRUE(longer.AllowEnlargeEnabled);

  // Resize off: the Fit inputs stay visible but disabled, and the padded panel goes away although
  // the padded box keeps its check.
  TResizeSettings off = WithRule(ResizeRule::Fit, true);
  off.ResizeEnabled = false;
  const TRuleControlsState state = RuleControlsState(off);
  EXPECT_EQ(state.Fit, (TInputState{true, false}));
  EXPECT_FALSE(state.RuleButtonsEnabled);
  EXPECT_FALSE(state.AllowEnlargeEnabled);
  EXPECT_FALSE(state.PaddedFitPanelVisible);
  EXPECT_EQ(state.GBResizeHeight, 102);

  TResizeSettings none;
  SelectRule(none, std::nullopt);
  const TRuleControlsState noRule = RuleControlsState(none);
  EXPECT_FALSE(noRule.LongerSide.Visible || noRule.FixedArea.Visible || noRule.Percent.Visible ||
               noRule.Fit.Visible);
}

TEST(AlignmentButtons, TheFirstCheckedInGridOrderElseTheCentre) {
  EXPECT_EQ(AlignmentOfButtons({}), kAlignCenter);
  std::array<bool, 9> checked{};
  checked[8] = true;
  EXPECT_EQ(AlignmentOfButtons(checked), 9);
  checked[1] = true;
  EXPECT_EQ(AlignmentOfButtons(checked), kAlignCenterTop);
}

TEST(FitTexts, BadTextKeepsTheStoredValueEachSideOnItsOwn) {
  EXPECT_EQ(ParseFitValue(" 640 "), 640);
  for (const char* bad : {"abc", "0", "-5", "", "12x", "2147483648", "1e3"})
    EXPECT_EQ(ParseFitValue(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseFitValue("2147483647"), 2147483647);

  TResizeSettings s;
  EXPECT_TRUE(TakeFitTexts("abc", "600", s));
  EXPECT_EQ(s.FixedFitWidth, 1024);
  EXPECT_EQ(s.FixedFitHeight, 600);
  EXPECT_FALSE(TakeFitTexts("0", "", s));
  EXPECT_EQ(FitWidthText(s), "1024");
  EXPECT_EQ(FitHeightText(s), "600");
}

TEST(EnabledCommands, AnEmptyListLeavesOnlyApplyAndSaveAll) {
  const TCommandState s = EnabledCommands({});
  EXPECT_FALSE(s.SourceName || s.First || s.Last || s.Previous || s.Next || s.SaveAndNext ||
               s.DeleteSource || s.CopyTo || s.OutputName || s.Preview || s.Save || s.Exclude ||
               s.RotateRight || s.RotateLeft || s.ImageNumber || s.DeleteDestination ||
               s.JobExecute || s.JobReset || s.JobSelectAll);
  EXPECT_TRUE(s.JobApply);
  EXPECT_TRUE(s.SaveAll);
  EXPECT_EQ(s.ImageNumberText, "");
  EXPECT_EQ(s.FileCountText, "");
}

TEST(EnabledCommands, PositionFileAndNameDecide) {
  TCommandInputs in;
  in.HasEntry = in.HasFile = in.IsJpegName = true;
  in.Count = 3;
  in.CurrentIndex = 0;
  TCommandState s = EnabledCommands(in);
  EXPECT_FALSE(s.Previous);
  EXPECT_TRUE(s.Next);
  EXPECT_TRUE(s.RotateRight && s.RotateLeft && s.Save && s.Preview);
  EXPECT_EQ(s.ImageNumberText, "1");
  EXPECT_EQ(s.FileCountText, "3");
  in.CurrentIndex = 2;
  s = EnabledCommands(in);
  EXPECT_TRUE(s.Previous);
  EXPECT_FALSE(s.Next);

  in.LosslessRotate = false;
  s = EnabledCommands(in);
  EXPECT_FALSE(s.RotateRight || s.RotateLeft);
  in.LosslessRotate = true;
  in.IsJpegName = false;  // a BMP
  EXPECT_FALSE(EnabledCommands(in).RotateRight);

  // A file that failed to decode: navigation, delete and copy stay, saving goes.
  in.HasFile = false;
  s = EnabledCommands(in);
  EXPECT_TRUE(s.First && s.Last && s.DeleteSource && s.CopyTo && s.SaveAndNext && s.SourceName);
  EXPECT_FALSE(s.Save || s.Preview || s.Exclude || s.OutputName || s.RotateRight);

  in.DestinationExists = true;
  EXPECT_TRUE(EnabledCommands(in).DeleteDestination);
}

TEST(EnabledCommands, JobActionsFollowTheListAndItsSize) {
  TCommandInputs in;
  in.HasEntry = in.HasFile = true;
  in.Count = 1;
  in.JobsListVisible = true;
  TCommandState s = EnabledCommands(in);
  EXPECT_TRUE(s.JobExecute && s.JobReset);
  EXPECT_FALSE(s.JobSelectAll);  // Ctrl+A with a single entry
  EXPECT_FALSE(s.SaveAll);
  in.Count = 2;
  EXPECT_TRUE(EnabledCommands(in).JobSelectAll);
  in.JobsListVisible = false;
  s = EnabledCommands(in);
  EXPECT_FALSE(s.JobExecute || s.JobReset || s.JobSelectAll);
  EXPECT_TRUE(s.SaveAll && s.JobApply);
}

TEST(JobCaptions, ModesAndCaptions) {
  EXPECT_EQ(JobCaptionsFor(TJobCaptionMode::All).Execute, "Save All");
  EXPECT_EQ(JobCaptionsFor(TJobCaptionMode::Hidden).Reset, "Reset All");
  const TJobCaptions selected = JobCaptionsFor(TJobCaptionMode::Selected);
  EXPECT_EQ(selected.Execute, "Save Selected");
  EXPECT_EQ(selected.Reset, "Reset Selected");
  EXPECT_EQ(selected.Apply, "Apply Selected");
  EXPECT_EQ(NextJobCaptionMode(TJobCaptionMode::All, true, 2), TJobCaptionMode::Selected);
  EXPECT_EQ(NextJobCaptionMode(TJobCaptionMode::Selected, true, 1), TJobCaptionMode::All);
  EXPECT_EQ(NextJobCaptionMode(TJobCaptionMode::Hidden, false, 5), TJobCaptionMode::Hidden);
  EXPECT_EQ(JobToggleCaption(true), "Hide Batch Jobs");
  EXPECT_EQ(JobToggleCaption(false), "Show Batch Jobs");
  EXPECT_EQ(static_cast<int>(TJobCaptionMode::Selected), 2);
}

TKeyAction Key(uint16_t key, const TKeyContext& context, bool ctrl = false, bool edit = false,
               TKeyDirection direction = TKeyDirection::Press) {
  TKeyEvent event;
  event.VirtualKey = key;
  event.Ctrl = ctrl;
  event.EditHasFocus = edit;
  event.Field = edit ? TFocusedField::EInputDir : TFocusedField::None;
  event.Direction = direction;
  return HandleHookedKey(event, context);
}

TEST(HandleHookedKey, PagesMoveByOneOrTenAndAreAlwaysTaken) {
  const TKeyContext at5{4, std::nullopt, 12};
  EXPECT_EQ(Key(vk::PageDown, at5, true), (TKeyAction{true, TKeyCommand::GoToImage, 14}));
  EXPECT_EQ(Key(vk::PageUp, {2, std::nullopt, 12}, true).Index, -8);  // GoToImage clamps to image 1
  EXPECT_EQ(Key(vk::PageDown, at5, false, true).Index, 5);            // taken from an edit too
  // The release is consumed but does nothing.
  EXPECT_EQ(Key(vk::PageDown, at5, false, false, TKeyDirection::Release),
            (TKeyAction{true, TKeyCommand::None}));
}

TEST(HandleHookedKey, HomeEndBackspaceDeleteAreLeftToAnEditUnlessCtrl) {
  const TKeyContext ctx{3, 1, 12};
  for (uint16_t key : {vk::Home, vk::End, vk::Back, vk::Delete}) {
    EXPECT_FALSE(Key(key, ctx, false, true).Taken) << key;
    EXPECT_TRUE(Key(key, ctx, true, true).Taken) << key;
    EXPECT_TRUE(Key(key, ctx).Taken) << key;
  }
  EXPECT_EQ(Key(vk::Home, ctx, true, true).Index, 0);
  EXPECT_EQ(Key(vk::End, ctx).Index, 11);
  EXPECT_EQ(Key(vk::Back, ctx), (TKeyAction{true, TKeyCommand::GoToImage, 1}));
  EXPECT_EQ(Key(vk::Delete, ctx).Command, TKeyCommand::DeleteSource);
  // Right after start-up there is no previous image: Backspace is taken and does nothing.
  EXPECT_EQ(Key(vk::Back, {0, std::nullopt, 12}), (TKeyAction{true, TKeyCommand::None}));
}

TEST(HandleHookedKey, KeypadZoomIsTakenEvenInAnEdit) {
  const auto zoomFrom = [](uint16_t key, TZoom zoom) {
    return Key(key, {0, std::nullopt, 1, zoom}, false, true);
  };
  EXPECT_EQ(zoomFrom(vk::Add, TZoom::OneToOne),
            (TKeyAction{true, TKeyCommand::SelectZoom, 0, TZoom::TwoToOne}));
  EXPECT_EQ(zoomFrom(vk::Add, TZoom::FourToOne), (TKeyAction{true, TKeyCommand::None}));
  EXPECT_EQ(zoomFrom(vk::Add, TZoom::Auto).Zoom, TZoom::OneToOne);
  EXPECT_EQ(zoomFrom(vk::Subtract, TZoom::Auto).Zoom, TZoom::OneToOne);
  EXPECT_EQ(zoomFrom(vk::Subtract, TZoom::OneToFour), (TKeyAction{true, TKeyCommand::None}));
  EXPECT_EQ(zoomFrom(vk::Subtract, TZoom::OneToTwo).Zoom, TZoom::OneToFour);
  EXPECT_EQ(zoomFrom(vk::Multiply, TZoom::OneToTwo).Zoom, TZoom::Auto);
  EXPECT_EQ(zoomFrom(vk::Divide, TZoom::Auto).Zoom, TZoom::OneToOne);
}

TEST(HandleHookedKey, EscapeIsNeverTakenAndActsOnPressAndRelease) {
  for (TKeyDirection d : {TKeyDirection::Press, TKeyDirection::Release}) {
    const TKeyAction inEdit = Key(vk::Escape, {}, false, true, d);
    EXPECT_FALSE(inEdit.Taken);
    EXPECT_EQ(inEdit.Command, TKeyCommand::RestoreField);
    EXPECT_EQ(inEdit.Field, TFocusedField::EInputDir);
    EXPECT_EQ(Key(vk::Escape, {}, false, false, d).Command, TKeyCommand::LeaveFullScreen);
  }
}

TEST(HandleHookedKey, NothingWhileAnotherWindowIsActiveAndOtherKeysPass) {
  TKeyEvent event;
  event.VirtualKey = vk::PageDown;
  event.WindowActive = false;
  EXPECT_EQ(HandleHookedKey(event, {0, std::nullopt, 12}), TKeyAction{});
  EXPECT_EQ(Key('A', {0, std::nullopt, 12}), TKeyAction{});
}

}  // namespace
}  // namespace picaxo

namespace picaxo {
namespace {

TEST(RuleControlUpdate, OnlyTheRuleChoosingControlsRerunIt) {
  for (TControl c :
       {TControl::CBResize, TControl::RBFixedLonger, TControl::RBFixedArea, TControl::RBPercent,
        TControl::RBFixedFit, TControl::CBPaddedFit, TControl::RBAlignment})
    EXPECT_TRUE(RerunsRuleControls(c));
  for (TControl c : {TControl::ELongerSide, TControl::EPercent, TControl::EFitWidth,
                     TControl::CBAllowEnlarge, TControl::EQuality, TControl::PaddedFitColorPanel,
                     TControl::CBExcludeOutputFile, TControl::ImgViewBox})
    EXPECT_FALSE(RerunsRuleControls(c));
}

}  // namespace
}  // namespace picaxo
