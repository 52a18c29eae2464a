#include "app/cli_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "base/file_util.h"
#include "imaging/destination_parameters.h"
#include "settings/picaxo_settings.h"

namespace picaxo::cli {

namespace {

// Where the help texts of the options begin.
constexpr size_t kHelpColumn = 21;

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
  if (name == "--settings") {
    // The destination settings of a file the desktop program saved; options after it override
    // its values, options before it are overridden where the file has the key.
    const std::string path = OptionValue(option, args, i);
    try {
      settings = LoadResizeSettingsFile(path, settings);
    } catch (const EPicaxoError& e) {
      throw EUsageError("--settings: " + std::string(e.what()));
    }
    return true;
  }
  const TDestinationParameter* parameter = ParameterOfOption(name);
  if (!parameter) return false;
  const TDestinationParameter& p = *parameter;
  const auto integer = [&](const TDestinationParameter& of, const std::string& text) {
    return ParseInteger(name, text, of.Min, of.Max);
  };
  switch (p.Syntax) {
    case TParameterSyntax::None:
      return false;
    case TParameterSyntax::Flag:
      if (option.value) throw EUsageError(name + " takes no value");
      SetParameterValue(p, settings, p.FlagValue ? 1 : 0);
      break;
    case TParameterSyntax::Integer:
      SetParameterValue(p, settings, integer(p, OptionValue(option, args, i)));
      break;
    case TParameterSyntax::Frame: {
      const std::string value = OptionValue(option, args, i);
      const size_t x = value.find_first_of("xX");
      if (x == std::string::npos) throw EUsageError(name + ": '" + value + "' is not WIDTHxHEIGHT");
      // The frame's second side is the parameter after the first in the table.
      const TDestinationParameter& height = *(&p + 1);
      const long long width = integer(p, value.substr(0, x));
      SetParameterValue(height, settings, integer(height, value.substr(x + 1)));
      SetParameterValue(p, settings, width);
      break;
    }
    case TParameterSyntax::Alignment:
      SetParameterValue(p, settings, ParseAlignment(OptionValue(option, args, i)));
      break;
    case TParameterSyntax::Color:
      SetParameterValue(p, settings, ParseColor(OptionValue(option, args, i)));
      break;
    case TParameterSyntax::Choice: {
      const std::string value = OptionValue(option, args, i);
      const auto& choices = p.Choices;
      const auto found = std::find(choices.begin(), choices.end(), value);
      if (value.empty() || found == choices.end()) {
        // "a, b or c": the table's choices, its unused slots left out.
        const auto count = std::find(choices.begin(), choices.end(), "") - choices.begin();
        std::string list;
        for (auto k = 0; k < count; ++k)
          list += (k == 0 ? "" : k + 1 == count ? " or " : ", ") + std::string(choices[k]);
        throw EUsageError(name + ": '" + value + "' is not " + list);
      }
      SetParameterValue(p, settings, found - choices.begin());
      break;
    }
  }
  if (p.ChoosesRule) {
    SelectRule(settings, *p.ChoosesRule);
    settings.ResizeEnabled = true;
  }
  if (p.TurnsPaddingOn) settings.PaddedFitEnabled = true;
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

const std::string& ResizeOptionsHelp() {
  static const std::string help = [] {
    const TResizeSettings defaults;
    std::string text = "Resize options (default: resize to " + std::to_string(defaults.Percent) +
                       " percent, quality " + std::to_string(defaults.JpegQuality) + "):\n";
    for (const TDestinationParameter& p : kDestinationParameters) {
      if (p.Option.empty()) continue;
      std::string head = "  " + std::string(p.Option);
      if (!p.ValueName.empty()) head += " " + std::string(p.ValueName);
      head.resize(std::max<size_t>(head.size() + 1, kHelpColumn), ' ');
      std::string body(p.Help);
      for (size_t at = body.find("{range}"); at != std::string::npos; at = body.find("{range}"))
        body.replace(at, 7, ParameterRangeText(p));
      for (size_t at = body.find('\n'); at != std::string::npos; at = body.find('\n', at + 1))
        body.insert(at + 1, std::string(kHelpColumn, ' '));
      text += head + body + "\n";
    }
    return text +
           "  --settings FILE    the destination settings of a settings file saved by Picaxo\n"
           "                     (options are applied in the order given)\n";
  }();
  return help;
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
