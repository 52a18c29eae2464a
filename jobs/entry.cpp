#include "jobs/entry.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/file_util.h"
#include "imaging/pipeline.h"

namespace picaxo {

namespace {

// The job list shows at most this many characters of a file name.
constexpr size_t kMaxJobFileNameChars = 400;

// The first maxChars characters of a UTF-8 text, never splitting a character.
std::string FirstCharacters(const std::string& text, size_t maxChars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == maxChars) return text.substr(0, i);
    ++chars;
  }
  return text;
}

std::string Format(const char* format, int a, int b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// A stored value within its parameter's range, as the spin controls would take it. A rule whose
// value was reset shows the lowest value of the range.
int16_t StoredValue(std::string_view key, const std::optional<int32_t>& value) {
  const TDestinationParameter& parameter = DestinationParameter(key);
  return static_cast<int16_t>(value ? ClampToParameter(parameter, *value) : parameter.Min);
}

// A stored rule value for the job list.
int Shown(const std::optional<int32_t>& value) {
  return value.value_or(0);
}

}  // namespace

bool TFileEntry::IsJpeg() const {
  return SourceFormatFromName(FileName) == EImageFormat::Jpeg;
}

std::string TFileEntry::BaseName() const {
  return StripExtension(SplitPath(FileName).Name);
}

bool TFileEntry::IsRenamed() const {
  return !OutputName.empty() && !SameTextAscii(OutputName, BaseName());
}

bool TFileEntry::IsPadded() const {
  return FixedFitWidth.has_value() && PaddedAlignment != 0;
}

void TFileEntry::ResetEntry(ChangeMask mask) {
  if (mask & cmResize) ResizeMode = TResizeMode::Unset;
  if (mask & cmValues) {
    for (std::optional<int32_t>* value :
         {&LongerPixels, &AreaPixels, &Percent, &FixedFitWidth, &FixedFitHeight})
      value->reset();
  }
  if (mask & cmEnlarge) EnlargeChoice = TChoice::Unset;
  if (mask & cmQuality) {
    JpegQuality.reset();
    OutputFormat.reset();
  }
  if (mask & cmExclude) Excluded = false;
  if (mask & cmRecompress) RecompressChoice = TChoice::Unset;
  if (mask & cmSelection) Selection.reset();
  // OutputName is never reset.
}

void StoreSettingsToEntry(TFileEntry* entry, ChangeMask mask, const TResizeSettings& settings,
                          const TEntryExtras& extras) {
  if (!entry) return;
  TFileEntry& e = *entry;
  const std::optional<ResizeRule> rule = SelectedRule(settings);
  if (mask & cmResize) {
    if (!settings.ResizeEnabled) {
      e.ResizeMode = TResizeMode::NoResize;
    } else if (rule) {
      switch (*rule) {
        case ResizeRule::LongerSide:
          e.ResizeMode = TResizeMode::LongerSide;
          e.LongerPixels = settings.LongerPixels;
          break;
        case ResizeRule::FixedArea:
          e.ResizeMode = TResizeMode::FixedArea;
          e.AreaPixels = settings.AreaPixels;
          break;
        case ResizeRule::Percent:
          e.ResizeMode = TResizeMode::Percent;
          e.Percent = settings.Percent;
          break;
        case ResizeRule::Fit:
          e.ResizeMode = TResizeMode::Fit;
          e.FixedFitWidth = settings.FixedFitWidth;
          e.FixedFitHeight = settings.FixedFitHeight;
          if (settings.PaddedFitEnabled) {
            e.PaddedAlignment = settings.PaddedAlignment;
            e.PaddingColor = settings.PaddingColor;
          } else {
            e.PaddedAlignment = 0;  // the colour stays as it was
          }
          break;
      }
    }
  }
  if ((mask & cmValues) && rule) {
    switch (*rule) {
      case ResizeRule::LongerSide:
        e.LongerPixels = settings.LongerPixels;
        break;
      case ResizeRule::FixedArea:
        e.AreaPixels = settings.AreaPixels;
        break;
      case ResizeRule::Percent:
        e.Percent = settings.Percent;
        break;
      case ResizeRule::Fit:
        e.FixedFitWidth = settings.FixedFitWidth;
        e.FixedFitHeight = settings.FixedFitHeight;
        break;
    }
  }
  if (mask & cmEnlarge) e.EnlargeChoice = settings.AllowEnlarge ? TChoice::Yes : TChoice::No;
  if (mask & cmQuality) {
    // A quality of 0 or less is no quality: the one in effect applies.
    e.JpegQuality =
        settings.JpegQuality > 0 ? std::optional<int32_t>(settings.JpegQuality) : std::nullopt;
    e.OutputFormat = OutputFormatOf(settings);
  }
  if (mask & cmExclude) e.Excluded = extras.Excluded;
  if (mask & cmRecompress)
    e.RecompressChoice = settings.AlwaysRecompress ? TChoice::Yes : TChoice::No;
  if (mask & cmSelection) e.Selection = extras.Selection;
  if (mask & cmOutputName) e.OutputName = extras.OutputName;
}

void ApplyEntryToSettings(const TFileEntry& entry, TResizeSettings& settings,
                          TEntryExtras& extras) {
  if (!entry.OutputName.empty()) extras.OutputName = entry.OutputName;
  extras.Selection = entry.Selection;
  if (entry.ResizeMode != TResizeMode::Unset)
    settings.ResizeEnabled = entry.ResizeMode != TResizeMode::NoResize;
  // Values go through the same ranges as the spin controls; the Fit frame ignores values of 0 or
  // less, as its edits do.
  switch (entry.ResizeMode) {
    case TResizeMode::LongerSide:
      SelectRule(settings, ResizeRule::LongerSide);
      settings.LongerPixels = StoredValue("LongerPixels", entry.LongerPixels);
      break;
    case TResizeMode::FixedArea:
      SelectRule(settings, ResizeRule::FixedArea);
      settings.AreaPixels = StoredValue("AreaPixels", entry.AreaPixels);
      break;
    case TResizeMode::Percent:
      SelectRule(settings, ResizeRule::Percent);
      settings.Percent = StoredValue("Percent", entry.Percent);
      break;
    case TResizeMode::Fit:
      SelectRule(settings, ResizeRule::Fit);
      if (entry.FixedFitWidth.value_or(0) > 0) settings.FixedFitWidth = *entry.FixedFitWidth;
      if (entry.FixedFitHeight.value_or(0) > 0) settings.FixedFitHeight = *entry.FixedFitHeight;
      // The padded state is restored with the alignment, so that the image is saved as it was
      // stored.
      settings.PaddedFitEnabled = entry.PaddedAlignment != 0;
      if (IsValidAlignment(entry.PaddedAlignment)) settings.PaddedAlignment = entry.PaddedAlignment;
      settings.PaddingColor = entry.PaddingColor;
      break;
    default:
      break;
  }
  // The enlarge choice is shown whenever it is set, so that the check box always agrees with the
  // size the geometry computes from the entry.
  if (entry.EnlargeChoice != TChoice::Unset)
    settings.AllowEnlarge = entry.EnlargeChoice == TChoice::Yes;
  if (entry.JpegQuality) settings.JpegQuality = StoredValue("JpegQuality", entry.JpegQuality);
  if (entry.OutputFormat)
    settings.OutputFormat = static_cast<uint8_t>(ResolveOutputFormat(&entry, settings));
  extras.Excluded = entry.Excluded;
  if (entry.RecompressChoice != TChoice::Unset)
    settings.AlwaysRecompress = entry.RecompressChoice == TChoice::Yes;
}

bool ResolveAllowEnlarge(const TFileEntry* entry, const TResizeSettings& settings) {
  if (entry && entry->EnlargeChoice == TChoice::Yes) return true;
  if (entry && entry->EnlargeChoice == TChoice::No) return false;
  return settings.AllowEnlarge;
}

bool ResolveForceRecompress(const TFileEntry* entry, const TResizeSettings& settings) {
  if (entry && entry->RecompressChoice == TChoice::Yes) return true;
  if (entry && entry->RecompressChoice == TChoice::No) return false;
  return settings.AlwaysRecompress;
}

EOutputFormat ResolveOutputFormat(const TFileEntry* entry, const TResizeSettings& settings) {
  TResizeSettings resolved = settings;
  if (entry && entry->OutputFormat)
    resolved.OutputFormat = static_cast<uint8_t>(*entry->OutputFormat);
  return OutputFormatOf(resolved);
}

std::string JobFileNameText(const TFileEntry* entry, const std::string& sourceFolder) {
  if (!entry) return "(error)";
  const std::string& name = entry->FileName;
  std::string relative = name;
  if (!sourceFolder.empty() && name.compare(0, sourceFolder.size(), sourceFolder) == 0) {
    if (sourceFolder.back() == '/')
      relative = name.substr(sourceFolder.size());
    else if (name.size() > sourceFolder.size() && name[sourceFolder.size()] == '/')
      relative = name.substr(sourceFolder.size() + 1);
  }
  return FirstCharacters(relative, kMaxJobFileNameChars);
}

std::string JobActionsText(const TFileEntry& entry, const TResizeSettings& settings) {
  std::vector<std::string> parts;
  bool directCopy = false;
  switch (entry.ResizeMode) {
    case TResizeMode::NoResize:
      directCopy = !ResolveForceRecompress(&entry, settings);
      parts.push_back(directCopy ? "direct copy" : "recompress");
      break;
    case TResizeMode::LongerSide:
      parts.push_back(Format("long side=%d", Shown(entry.LongerPixels)));
      break;
    case TResizeMode::FixedArea:
      parts.push_back(Format("area=%d", Shown(entry.AreaPixels)));
      break;
    case TResizeMode::Percent:
      parts.push_back(Format("resize %d%%", Shown(entry.Percent)));
      break;
    case TResizeMode::Fit:
      parts.push_back(Format("fit %dx%d", Shown(entry.FixedFitWidth), Shown(entry.FixedFitHeight)));
      break;
    default:
      break;
  }
  if (entry.JpegQuality && !directCopy) parts.push_back(Format("Q=%d", *entry.JpegQuality));
  // The format is named when it is not the JPEG of every other image.
  if (entry.OutputFormat.value_or(EOutputFormat::Jpeg) != EOutputFormat::Jpeg)
    parts.push_back(std::string(OutputExtension(ResolveOutputFormat(&entry, settings)).substr(1)));
  if (entry.IsRenamed()) parts.push_back("rename");
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

std::string JobFlagsText(const TFileEntry& entry) {
  std::string flags;
  if (entry.Excluded) flags += 'E';
  if (entry.ResizeMode != TResizeMode::NoResize && entry.EnlargeChoice == TChoice::Yes)
    flags += 'X';
  if (entry.HasSelection()) flags += 'S';
  if (entry.RecompressChoice == TChoice::Yes) flags += 'R';
  if (entry.ResizeMode == TResizeMode::Fit && entry.IsPadded()) flags += 'P';
  return flags;
}

}  // namespace picaxo
