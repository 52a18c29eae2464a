#include "app/cli_options.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "base/file_util.h"
#include "settings/picaxo_settings.h"

namespace picaxo::cli {

namespace {

// Alignment names for --pad, in the order of their numbers 1 ... 9.
constexpr std::array<const char*, 9> kAlignmentNames = {
    "left-top",     "center-top",  "right-top",     "left-center", "center",
    "right-center", "left-bottom", "center-bottom", "right-bottom"};

uint8_t ParseAlignment(const std::string& text) {
  for (size_t n = 0; n < kAlignmentNames.size(); ++n)
    if (SameTextAscii(text, kAlignmentNames[n])) return static_cast<uint8_t>(n + 1);
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '9')
    return static_cast<uint8_t>(text[0] - '0');
  throw EUsageError("--pad: '" + text +
                    "' is not an alignment (1 ... 9, or left-top, center-top, right-top, "
                    "left-center, center, right-center, left-bottom, center-bottom, "
                    "right-bottom)");
}

uint32_t ParseColor(const std::string& text) {
  std::string hex = text;
  if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
  bool valid = hex.size() == 6;
  for (char c : hex)
    valid = valid && std::isxdigit(static_cast<unsigned char>(c));
  if (!valid)
    throw EUsageError("--pad-color: '" + text + "' is not a colour RRGGBB in hexadecimal");
  const unsigned long rgb = std::strtoul(hex.c_str(), nullptr, 16);
  // Stored as 0x00BBGGRR.
  return static_cast<uint32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

}  // namespace

TOption SplitOption(const std::string& arg) {
  const size_t eq = arg.find('=');
  if (arg.rfind("--", 0) != 0 || eq == std::string::npos) return {arg, std::nullopt};
  return {arg.substr(0, eq), arg.substr(eq + 1)};
}

std::string OptionValue(const TOption& option, const std::vector<std::string>& args, size_t& i) {
  if (option.value) return *option.value;
  if (i + 1 >= args.size()) throw EUsageError(option.name + " needs a value");
  return args[++i];
}

long long ParseInteger(const std::string& option, const std::string& text, long long lo,
                       long long hi) {
  errno = 0;
  char* end = nullptr;
  const long long value = text.empty() ? 0 : std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < lo || value > hi)
    throw EUsageError(option + ": '" + text + "' is not a whole number from " + std::to_string(lo) +
                      " to " + std::to_string(hi));
  return value;
}

bool ParseResizeOption(const std::vector<std::string>& args, size_t& i, TResizeSettings& settings) {
  const TOption option = SplitOption(args[i]);
  const std::string& name = option.name;
  auto flag = [&]() {
    if (option.value) throw EUsageError(name + " takes no value");
  };
  if (name == "--no-resize") {
    flag();
    settings.ResizeEnabled = false;
  } else if (name == "--longer") {
    settings.LongerPixels = static_cast<int16_t>(
        ParseInteger(name, OptionValue(option, args, i), kMinLongerPixels, kMaxLongerPixels));
    SelectRule(settings, ResizeRule::LongerSide);
    settings.ResizeEnabled = true;
  } else if (name == "--area") {
    settings.AreaPixels = static_cast<int16_t>(
        ParseInteger(name, OptionValue(option, args, i), kMinAreaPixels, kMaxAreaPixels));
    SelectRule(settings, ResizeRule::FixedArea);
    settings.ResizeEnabled = true;
  } else if (name == "--percent") {
    settings.Percent = static_cast<int16_t>(
        ParseInteger(name, OptionValue(option, args, i), kMinPercent, kMaxPercent));
    SelectRule(settings, ResizeRule::Percent);
    settings.ResizeEnabled = true;
  } else if (name == "--fit") {
    const std::string value = OptionValue(option, args, i);
    const size_t x = value.find_first_of("xX");
    if (x == std::string::npos) throw EUsageError("--fit: '" + value + "' is not WIDTHxHEIGHT");
    const long long max = std::numeric_limits<int32_t>::max();
    settings.FixedFitWidth = static_cast<int32_t>(ParseInteger(name, value.substr(0, x), 1, max));
    settings.FixedFitHeight = static_cast<int32_t>(ParseInteger(name, value.substr(x + 1), 1, max));
    SelectRule(settings, ResizeRule::Fit);
    settings.ResizeEnabled = true;
  } else if (name == "--pad") {
    settings.PaddedAlignment = ParseAlignment(OptionValue(option, args, i));
    settings.PaddedFitEnabled = true;
  } else if (name == "--pad-color") {
    settings.PaddingColor = ParseColor(OptionValue(option, args, i));
  } else if (name == "--enlarge") {
    flag();
    settings.AllowEnlarge = true;
  } else if (name == "--quality") {
    settings.JpegQuality = static_cast<int16_t>(
        ParseInteger(name, OptionValue(option, args, i), kMinJpegQuality, kMaxJpegQuality));
  } else if (name == "--recompress") {
    flag();
    settings.AlwaysRecompress = true;
  } else if (name == "--color-profile") {
    const std::string value = OptionValue(option, args, i);
    const int choice = value == "convert" ? 0 : value == "keep" ? 1 : value == "ignore" ? 2 : -1;
    if (choice < 0)
      throw EUsageError("--color-profile: '" + value + "' is not convert, keep or ignore");
    settings.ColorProfile = static_cast<uint8_t>(choice);
  } else if (name == "--metadata") {
    const std::string value = OptionValue(option, args, i);
    const int choice = value == "strip" ? 0 : value == "keep" ? 1 : value == "keep-public" ? 2 : -1;
    if (choice < 0)
      throw EUsageError("--metadata: '" + value + "' is not strip, keep or keep-public");
    settings.Metadata = static_cast<uint8_t>(choice);
  } else if (name == "--format") {
    const std::string value = OptionValue(option, args, i);
    const int choice = value == "jpeg"   ? 0
                       : value == "webp" ? 1
                       : value == "avif" ? 2
                       : value == "png"  ? 3
                                         : -1;
    if (choice < 0) throw EUsageError("--format: '" + value + "' is not jpeg, webp, avif or png");
    settings.OutputFormat = static_cast<uint8_t>(choice);
  } else if (name == "--settings") {
    // The destination settings of a file the desktop program saved; options after it override
    // its values, options before it are overridden where the file has the key.
    const std::string path = OptionValue(option, args, i);
    try {
      settings = LoadResizeSettingsFile(path, settings);
    } catch (const EPicaxoError& e) {
      throw EUsageError("--settings: " + std::string(e.what()));
    }
  } else {
    return false;
  }
  return true;
}

void ParseCommandLine(const std::vector<std::string>& args, TResizeSettings& settings,
                      std::vector<std::string>& paths, bool& help,
                      const std::function<bool(const TOption&, size_t& i)>& otherOption) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      paths.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (!ParseResizeOption(args, i, settings) && !otherOption(SplitOption(arg), i)) {
      throw EUsageError("unknown option '" + arg + "'");
    }
  }
}

const char* ResizeOptionsHelp() {
  return "Resize options (default: resize to 50 percent, quality 85):\n"
         "  --no-resize        keep the picture's size (the last of --no-resize and a rule wins)\n"
         "  --longer N         longer side N pixels (10 ... 10000)\n"
         "  --area N           area of about N x N pixels (10 ... 10000)\n"
         "  --percent N        N percent of the side lengths (1 ... 500)\n"
         "  --fit WxH          fit into a frame of W x H pixels\n"
         "  --pad ALIGN        with --fit: write the whole frame, the picture placed at ALIGN\n"
         "                     (1 ... 9 or left-top, center-top, right-top, left-center, center,\n"
         "                     right-center, left-bottom, center-bottom, right-bottom)\n"
         "  --pad-color RRGGBB colour of the padded border (default 000000)\n"
         "  --enlarge          allow the picture to become larger than the source\n"
         "  --format F         the output's format: jpeg (default, .jpg), webp (.webp), avif "
         "(.avif)\n"
         "                     or png (.png, lossless)\n"
         "  --quality Q        quality of a JPEG, WebP or AVIF output, 1 ... 100\n"
         "  --recompress       encode even when the source could be copied unchanged (a source\n"
         "                     already in the output format, its pixels unchanged)\n"
         "  --color-profile P  a JPEG's colour profile: convert (to sRGB, default), keep (embed "
         "it\n"
         "                     in the output, colours as stored) or ignore\n"
         "  --metadata M       a re-encoded JPEG's EXIF, XMP, IPTC and comments: strip (default),\n"
         "                     keep, or keep-public (without location, serial numbers, owner\n"
         "                     names and maker notes; direct copies lose those too)\n"
         "  --settings FILE    the destination settings of a settings file saved by Picaxo\n"
         "                     (options are applied in the order given)\n";
}

TSelection ParseCrop(const std::string& text) {
  int32_t values[4];
  size_t start = 0;
  for (int n = 0; n < 4; ++n) {
    const size_t comma = text.find(',', start);
    if ((n < 3) != (comma != std::string::npos))
      throw EUsageError("--crop: '" + text + "' is not LEFT,TOP,RIGHT,BOTTOM");
    const std::string part = text.substr(start, n < 3 ? comma - start : std::string::npos);
    values[n] =
        static_cast<int32_t>(ParseInteger("--crop", part, 0, std::numeric_limits<int32_t>::max()));
    start = comma + 1;
  }
  return TSelection{values[0], values[1], values[2], values[3]};
}

}  // namespace picaxo::cli
