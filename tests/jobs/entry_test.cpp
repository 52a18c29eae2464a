#include "jobs/entry.h"

#include <gtest/gtest.h>

namespace picaxo {
namespace {

TResizeSettings FitSettings(int width, int height, bool padded) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::Fit);
  s.FixedFitWidth = width;
  s.FixedFitHeight = height;
  s.PaddedFitEnabled = padded;
  return s;
}

TEST(FileEntry, NewEntryIsUnsetAndShowsNothing) {
  const TFileEntry e("/photos/a.jpg", 1234);
  EXPECT_FALSE(e.Size);
  EXPECT_FALSE(e.HasSelection());
  EXPECT_EQ(e.ResizeMode, TResizeMode::Unset);
  EXPECT_FALSE(e.JpegQuality);
  EXPECT_FALSE(e.IsPadded());
  EXPECT_EQ(JobActionsText(e, {}), "");
  EXPECT_EQ(JobFlagsText(e), "");
}

TEST(FileEntry, NamePredicates) {
  EXPECT_TRUE(TFileEntry("/a/PHOTO.JPG", 0).IsJpeg());
  EXPECT_TRUE(TFileEntry("/a/photo.Jpg", 0).IsJpeg());
  EXPECT_TRUE(TFileEntry("/a/photo.jpeg", 0).IsJpeg());
  EXPECT_FALSE(TFileEntry("/a.jpg/photo", 0).IsJpeg());
  EXPECT_EQ(TFileEntry("/a.b/x.tar.jpg", 0).BaseName(), "x.tar");
  EXPECT_EQ(TFileEntry("/a.b/noext", 0).BaseName(), "noext");

  TFileEntry e("/a/Holiday.jpg", 0);
  EXPECT_FALSE(e.IsRenamed());
  e.OutputName = "HOLIDAY";  // another letter case is not a rename
  EXPECT_FALSE(e.IsRenamed());
  e.OutputName = "beach";
  EXPECT_TRUE(e.IsRenamed());
}

TEST(FileEntry, ResetClearsOnlyTheNamedGroups) {
  TFileEntry e("/a/x.jpg", 0);
  StoreSettingsToEntry(&e, cmResetAll, FitSettings(640, 480, true),
                       {true, TSelection{1, 2, 3, 4}, "renamed"});
  e.ResetEntry(cmSaveAllReset);  // Save All keeps crop, exclusion and name
  EXPECT_EQ(e.ResizeMode, TResizeMode::Unset);
  EXPECT_FALSE(e.FixedFitWidth);
  EXPECT_EQ(e.EnlargeChoice, TChoice::Unset);
  EXPECT_FALSE(e.JpegQuality);
  EXPECT_EQ(e.RecompressChoice, TChoice::Unset);
  EXPECT_TRUE(e.Excluded);
  EXPECT_TRUE(e.HasSelection());
  EXPECT_EQ(e.OutputName, "renamed");
  e.ResetEntry(cmResetAll);  // Reset keeps only the name
  EXPECT_FALSE(e.Excluded);
  EXPECT_FALSE(e.HasSelection());
  EXPECT_EQ(e.OutputName, "renamed");
}

TEST(StoreSettings, ResizeGroupByRule) {
  TFileEntry e("/a/x.jpg", 0);
  TResizeSettings s;
  s.ResizeEnabled = false;
  StoreSettingsToEntry(&e, cmResize, s);
  EXPECT_EQ(e.ResizeMode, TResizeMode::NoResize);

  s = FitSettings(1024, 800, true);
  s.PaddedAlignment = 7;
  s.PaddingColor = 0x00112233;
  StoreSettingsToEntry(&e, cmResize, s);
  EXPECT_EQ(e.ResizeMode, TResizeMode::Fit);
  EXPECT_EQ(e.FixedFitWidth, 1024);
  EXPECT_EQ(e.FixedFitHeight, 800);
  EXPECT_EQ(e.PaddedAlignment, 7);
  EXPECT_EQ(e.PaddingColor, 0x00112233u);
  EXPECT_TRUE(e.IsPadded());
  // Unpadded Fit zeroes the alignment and leaves the colour.
  s.PaddedFitEnabled = false;
  s.PaddingColor = 0;
  StoreSettingsToEntry(&e, cmResize, s);
  EXPECT_EQ(e.PaddedAlignment, 0);
  EXPECT_EQ(e.PaddingColor, 0x00112233u);

  // No rule selected: nothing changes.
  TResizeSettings none;
  SelectRule(none, std::nullopt);
  StoreSettingsToEntry(&e, cmResize, none);
  EXPECT_EQ(e.ResizeMode, TResizeMode::Fit);
  StoreSettingsToEntry(nullptr, cmResetAll, none);  // a missing entry is fine
}

TEST(StoreSettings, ValuesGroupStoresOnlyTheSelectedRulesValue) {
  TFileEntry e("/a/x.jpg", 0);
  TResizeSettings s;
  s.ResizeEnabled = false;  // values are stored whatever Resize says
  s.Percent = 30;
  s.LongerPixels = 777;
  StoreSettingsToEntry(&e, cmValues, s);
  EXPECT_EQ(e.Percent, 30);
  EXPECT_FALSE(e.LongerPixels);
  EXPECT_EQ(e.ResizeMode, TResizeMode::Unset);
}

TEST(ThreeStateChoices, EntryWinsOverTheSettings) {
  TResizeSettings on, off;
  on.AllowEnlarge = on.AlwaysRecompress = true;
  TFileEntry e("/a/x.jpg", 0);
  EXPECT_TRUE(ResolveAllowEnlarge(&e, on));
  EXPECT_FALSE(ResolveAllowEnlarge(&e, off));
  EXPECT_TRUE(ResolveAllowEnlarge(nullptr, on));
  e.EnlargeChoice = TChoice::Yes;
  e.RecompressChoice = TChoice::Yes;
  EXPECT_TRUE(ResolveAllowEnlarge(&e, off));
  EXPECT_TRUE(ResolveForceRecompress(&e, off));
  e.EnlargeChoice = TChoice::No;
  e.RecompressChoice = TChoice::No;
  EXPECT_FALSE(ResolveAllowEnlarge(&e, on));
  EXPECT_FALSE(ResolveForceRecompress(&e, on));
}

TEST(ApplyEntry, OnlySetFieldsReplaceTheSettings) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::Percent);
  s.Percent = 30;
  TEntryExtras extras{false, TSelection{0, 0, 5, 5}, "x"};
  const TFileEntry untouched("/a/x.jpg", 0);
  const TResizeSettings before = s;
  ApplyEntryToSettings(untouched, s, extras);
  EXPECT_EQ(s, before);  // Percent 30 stays in effect for an untouched image
  EXPECT_FALSE(extras.Selection);
  EXPECT_EQ(extras.OutputName, "x");

  TFileEntry e("/a/y.jpg", 0);
  StoreSettingsToEntry(&e, cmResize | cmQuality | cmRecompress, FitSettings(640, 480, true));
  e.PaddedAlignment = 3;
  e.OutputName = "other";
  TResizeSettings t;
  t.JpegQuality = 50;
  t.AlwaysRecompress = true;
  TEntryExtras x2;
  ApplyEntryToSettings(e, t, x2);
  EXPECT_EQ(SelectedRule(t), ResizeRule::Fit);
  EXPECT_EQ(t.FixedFitWidth, 640);
  EXPECT_TRUE(t.PaddedFitEnabled);
  EXPECT_EQ(t.PaddedAlignment, 3);
  EXPECT_EQ(t.JpegQuality, 85);
  EXPECT_FALSE(t.AlwaysRecompress);
  EXPECT_EQ(x2.OutputName, "other");
}

TEST(ApplyEntry, ResetValuesKeepTheSettingsInRange) {
  TFileEntry e("/a/x.jpg", 0);
  e.ResizeMode = TResizeMode::Fit;  // values reset
  TResizeSettings s;
  TEntryExtras extras;
  ApplyEntryToSettings(e, s, extras);
  EXPECT_EQ(s.FixedFitWidth, 1024);
  EXPECT_EQ(s.FixedFitHeight, 800);
  e.ResizeMode = TResizeMode::LongerSide;
  ApplyEntryToSettings(e, s, extras);
  EXPECT_EQ(s.LongerPixels, kMinLongerPixels);
}

TEST(JobTexts, ExamplesAndRules) {
  TFileEntry e("/photos/sub/img.jpg", 0);
  TResizeSettings s = FitSettings(1024, 800, true);
  s.JpegQuality = 90;
  StoreSettingsToEntry(&e, cmResize | cmQuality | cmOutputName, s, {false, std::nullopt, "new"});
  EXPECT_EQ(JobActionsText(e, s), "fit 1024x800, Q=90, rename");
  EXPECT_EQ(JobFlagsText(e), "P");

  TFileEntry q("/photos/q.jpg", 0);
  StoreSettingsToEntry(&q, cmQuality, s);
  EXPECT_EQ(JobActionsText(q, s), "Q=90");

  TFileEntry copy("/photos/c.jpg", 0);
  TResizeSettings off;
  off.ResizeEnabled = false;
  StoreSettingsToEntry(&copy, cmResize | cmQuality, off);
  EXPECT_EQ(JobActionsText(copy, off), "direct copy");
  off.AlwaysRecompress = true;  // unset choice follows the settings
  EXPECT_EQ(JobActionsText(copy, off), "recompress, Q=85");
  copy.RecompressChoice = TChoice::No;
  EXPECT_EQ(JobActionsText(copy, off), "direct copy");

  TFileEntry other("/photos/o.jpg", 0);
  other.ResizeMode = TResizeMode::LongerSide;
  other.LongerPixels = 800;
  EXPECT_EQ(JobActionsText(other, s), "long side=800");
  other.ResizeMode = TResizeMode::FixedArea;
  other.AreaPixels = 300;
  EXPECT_EQ(JobActionsText(other, s), "area=300");
  other.ResizeMode = TResizeMode::Percent;
  other.Percent = 25;
  EXPECT_EQ(JobActionsText(other, s), "resize 25%");
}

TEST(JobTexts, FlagsInOrder) {
  TFileEntry e("/photos/x.jpg", 0);
  e.Excluded = true;
  e.EnlargeChoice = TChoice::Yes;
  e.Selection = TSelection{0, 0, 1, 1};
  e.RecompressChoice = TChoice::Yes;
  e.ResizeMode = TResizeMode::Fit;
  e.FixedFitWidth = 100;
  e.PaddedAlignment = 5;
  EXPECT_EQ(JobFlagsText(e), "EXSRP");
  e.ResizeMode = TResizeMode::NoResize;  // no enlarge flag and no padding without resizing
  EXPECT_EQ(JobFlagsText(e), "ESR");
}

TEST(JobTexts, RelativeFileName) {
  TFileEntry e("/photos/sub/img.jpg", 0);
  EXPECT_EQ(JobFileNameText(&e, "/photos"), "sub/img.jpg");
  EXPECT_EQ(JobFileNameText(&e, "/photos/"), "sub/img.jpg");
  EXPECT_EQ(JobFileNameText(&e, "/"), "photos/sub/img.jpg");
  EXPECT_EQ(JobFileNameText(&e, "/pho"), "/photos/sub/img.jpg");
  EXPECT_EQ(JobFileNameText(nullptr, "/photos"), "(error)");
  TFileEntry longName("/p/" + std::string(500, 'a') + ".jpg", 0);
  EXPECT_EQ(JobFileNameText(&longName, "/p"), std::string(400, 'a'));
  // Characters, not bytes: a two-byte letter is never split.
  std::string umlauts;
  for (int i = 0; i < 450; ++i)
    umlauts += "\xC3\xA4";
  TFileEntry wide("/p/" + umlauts, 0);
  EXPECT_EQ(JobFileNameText(&wide, "/p").size(), 800u);
}

}  // namespace
}  // namespace picaxo
