#pragma once
// Every destination parameter, declared once: the settings key (the member of TResizeSettings),
// the accepted range, the group of per-image entry fields a change of it touches, and its
// command-line option with the help text. The settings store, the window's spin boxes, the
// command line's parser and help, and the clamps of stored per-image values read this table;
// first-start values are the initialisers of TResizeSettings.
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include "imaging/geometry.h"

namespace picaxo {

// Groups of entry fields a change touches.
using ChangeMask = uint8_t;
inline constexpr ChangeMask cmResize = 1;       // ResizeMode and its rule (for Fit: frame, padding)
inline constexpr ChangeMask cmValues = 2;       // the value of the selected rule
inline constexpr ChangeMask cmEnlarge = 4;      // EnlargeChoice
inline constexpr ChangeMask cmQuality = 8;      // JpegQuality and OutputFormat: the encoding
inline constexpr ChangeMask cmExclude = 16;     // Excluded
inline constexpr ChangeMask cmRecompress = 32;  // RecompressChoice
inline constexpr ChangeMask cmSelection = 64;   // Selection
inline constexpr ChangeMask cmOutputName = 128;  // OutputName (never reset)

// How the command line gives a parameter's value.
enum class TParameterSyntax : uint8_t {
  None,       // not on the command line (the rule flags: the rule values' options choose them)
  Flag,       // no value: sets the field to FlagValue
  Integer,    // a whole number within [Min, Max]
  Frame,      // WxH: this field and the next one of the table, each within [Min, Max]
  Alignment,  // 1 ... 9, or the name of a position (left-top ... right-bottom)
  Color,      // RRGGBB in hexadecimal, stored as 0x00BBGGRR
  Choice,     // one of Choices, stored as its index
};

// A member of TResizeSettings; its type decides how a settings file stores it.
using TResizeFieldRef = std::variant<bool*, uint8_t*, int16_t*, int32_t*, uint32_t*>;

struct TDestinationParameter {
  std::string_view Key{};  // the settings key, the name of the member
  TResizeFieldRef (*Field)(TResizeSettings&) = nullptr;
  int32_t Min = std::numeric_limits<int32_t>::min();  // values outside are clamped or refused
  int32_t Max = std::numeric_limits<int32_t>::max();
  ChangeMask Group = 0;       // 0: kept in the settings only, never per image
  std::string_view Option{};  // "--longer"; empty: not on the command line
  TParameterSyntax Syntax = TParameterSyntax::None;
  std::string_view ValueName{};  // "N" of "--longer N"
  // The help text after the option column; "{range}" stands for "Min ... Max", and each "\n"
  // continues in the help column.
  std::string_view Help{};
  // Given on the command line, the option also sets these: a rule value chooses its rule and
  // turns resizing on, a padding alignment turns the padded border on.
  std::optional<ResizeRule> ChoosesRule{};
  bool TurnsPaddingOn = false;
  bool FlagValue = true;
  std::array<std::string_view, 4> Choices{};
};

#define PICAXO_RESIZE_FIELD(member) [](TResizeSettings& s) -> TResizeFieldRef { return &s.member; }

// In the order of the command line's help.
inline constexpr TDestinationParameter kDestinationParameters[] = {
    {.Key = "ResizeEnabled",
     .Field = PICAXO_RESIZE_FIELD(ResizeEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize,
     .Option = "--no-resize",
     .Syntax = TParameterSyntax::Flag,
     .Help = "keep the picture's size (the last of --no-resize and a rule wins)",
     .FlagValue = false},
    {.Key = "FixedLongerEnabled",
     .Field = PICAXO_RESIZE_FIELD(FixedLongerEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize},
    {.Key = "FixedAreaEnabled",
     .Field = PICAXO_RESIZE_FIELD(FixedAreaEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize},
    {.Key = "PercentEnabled",
     .Field = PICAXO_RESIZE_FIELD(PercentEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize},
    {.Key = "FixedFitEnabled",
     .Field = PICAXO_RESIZE_FIELD(FixedFitEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize},
    {.Key = "LongerPixels",
     .Field = PICAXO_RESIZE_FIELD(LongerPixels),
     .Min = kMinLongerPixels,
     .Max = kMaxLongerPixels,
     .Group = cmResize | cmValues,
     .Option = "--longer",
     .Syntax = TParameterSyntax::Integer,
     .ValueName = "N",
     .Help = "longer side N pixels ({range})",
     .ChoosesRule = ResizeRule::LongerSide},
    {.Key = "AreaPixels",
     .Field = PICAXO_RESIZE_FIELD(AreaPixels),
     .Min = kMinAreaPixels,
     .Max = kMaxAreaPixels,
     .Group = cmResize | cmValues,
     .Option = "--area",
     .Syntax = TParameterSyntax::Integer,
     .ValueName = "N",
     .Help = "area of about N x N pixels ({range})",
     .ChoosesRule = ResizeRule::FixedArea},
    {.Key = "Percent",
     .Field = PICAXO_RESIZE_FIELD(Percent),
     .Min = kMinPercent,
     .Max = kMaxPercent,
     .Group = cmResize | cmValues,
     .Option = "--percent",
     .Syntax = TParameterSyntax::Integer,
     .ValueName = "N",
     .Help = "N percent of the side lengths ({range})",
     .ChoosesRule = ResizeRule::Percent},
    {.Key = "FixedFitWidth",
     .Field = PICAXO_RESIZE_FIELD(FixedFitWidth),
     .Min = 1,
     .Group = cmResize | cmValues,
     .Option = "--fit",
     .Syntax = TParameterSyntax::Frame,
     .ValueName = "WxH",
     .Help = "fit into a frame of W x H pixels",
     .ChoosesRule = ResizeRule::Fit},
    {.Key = "FixedFitHeight",
     .Field = PICAXO_RESIZE_FIELD(FixedFitHeight),
     .Min = 1,
     .Group = cmResize | cmValues},
    {.Key = "PaddedFitEnabled",
     .Field = PICAXO_RESIZE_FIELD(PaddedFitEnabled),
     .Min = 0,
     .Max = 1,
     .Group = cmResize | cmValues},
    {.Key = "PaddedAlignment",
     .Field = PICAXO_RESIZE_FIELD(PaddedAlignment),
     .Min = kAlignLeftTop,
     .Max = kAlignRightBottom,
     .Group = cmResize | cmValues,
     .Option = "--pad",
     .Syntax = TParameterSyntax::Alignment,
     .ValueName = "ALIGN",
     .Help = "with --fit: write the whole frame, the picture placed at ALIGN\n"
             "(1 ... 9 or left-top, center-top, right-top, left-center, center,\n"
             "right-center, left-bottom, center-bottom, right-bottom)",
     .TurnsPaddingOn = true},
    {.Key = "PaddingColor",
     .Field = PICAXO_RESIZE_FIELD(PaddingColor),
     .Group = cmResize | cmValues,
     .Option = "--pad-color",
     .Syntax = TParameterSyntax::Color,
     .ValueName = "RRGGBB",
     .Help = "colour of the padded border (default 000000)"},
    {.Key = "AllowEnlarge",
     .Field = PICAXO_RESIZE_FIELD(AllowEnlarge),
     .Min = 0,
     .Max = 1,
     .Group = cmEnlarge,
     .Option = "--enlarge",
     .Syntax = TParameterSyntax::Flag,
     .Help = "allow the picture to become larger than the source"},
    {.Key = "OutputFormat",
     .Field = PICAXO_RESIZE_FIELD(OutputFormat),
     .Min = 0,
     .Max = 3,
     .Group = cmQuality,
     .Option = "--format",
     .Syntax = TParameterSyntax::Choice,
     .ValueName = "F",
     .Help = "the output's format: jpeg (default, .jpg), webp (.webp), avif (.avif)\n"
             "or png (.png, lossless)",
     .Choices = {"jpeg", "webp", "avif", "png"}},
    {.Key = "JpegQuality",
     .Field = PICAXO_RESIZE_FIELD(JpegQuality),
     .Min = kMinJpegQuality,
     .Max = kMaxJpegQuality,
     .Group = cmQuality,
     .Option = "--quality",
     .Syntax = TParameterSyntax::Integer,
     .ValueName = "Q",
     .Help = "quality of a JPEG, WebP or AVIF output, {range}"},
    {.Key = "AlwaysRecompress",
     .Field = PICAXO_RESIZE_FIELD(AlwaysRecompress),
     .Min = 0,
     .Max = 1,
     .Group = cmRecompress,
     .Option = "--recompress",
     .Syntax = TParameterSyntax::Flag,
     .Help = "encode even when the source could be copied unchanged (a source\n"
             "already in the output format, its pixels unchanged)"},
    {.Key = "ColorProfile",
     .Field = PICAXO_RESIZE_FIELD(ColorProfile),
     .Min = 0,
     .Max = 2,
     .Option = "--color-profile",
     .Syntax = TParameterSyntax::Choice,
     .ValueName = "P",
     .Help = "a JPEG's colour profile: convert (to sRGB, default), keep (embed it\n"
             "in the output, colours as stored) or ignore",
     .Choices = {"convert", "keep", "ignore"}},
    {.Key = "Metadata",
     .Field = PICAXO_RESIZE_FIELD(Metadata),
     .Min = 0,
     .Max = 2,
     .Option = "--metadata",
     .Syntax = TParameterSyntax::Choice,
     .ValueName = "M",
     .Help = "a re-encoded JPEG's EXIF, XMP, IPTC and comments: strip (default),\n"
             "keep, or keep-public (without location, serial numbers, owner\n"
             "names and maker notes; direct copies lose those too)",
     .Choices = {"strip", "keep", "keep-public"}},
};

#undef PICAXO_RESIZE_FIELD

// The parameter stored under key; a key the table lacks is a programming error (it does not
// compile where the lookup is constant).
constexpr const TDestinationParameter& DestinationParameter(std::string_view key) {
  for (const TDestinationParameter& parameter : kDestinationParameters) {
    if (parameter.Key == key) return parameter;
  }
  throw std::logic_error("no destination parameter");
}

// The parameter whose command-line option is option ("--longer"); null for other options.
const TDestinationParameter* ParameterOfOption(std::string_view option);

// A parameter's value in settings, widened to 64 bits (PaddingColor keeps its bit pattern).
int64_t ParameterValue(const TDestinationParameter& parameter, const TResizeSettings& settings);
// Sets a parameter's field to value (a flag: value != 0), clamped to its range.
void SetParameterValue(const TDestinationParameter& parameter, TResizeSettings& settings,
                       int64_t value);
// value clamped to the parameter's range.
int32_t ClampToParameter(const TDestinationParameter& parameter, int64_t value);
// "10 ... 10000": the range as the help and the messages name it.
std::string ParameterRangeText(const TDestinationParameter& parameter);

}  // namespace picaxo
