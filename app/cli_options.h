#pragma once
// Command-line options shared by the picaxo-cli subcommands that convert images: one option per
// field of TResizeSettings, and the crop rectangle.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "imaging/geometry.h"

namespace picaxo::cli {

// Bad arguments: the command prints the message and exits with kExitUsage.
class EUsageError : public EPicaxoError {
 public:
  using EPicaxoError::EPicaxoError;
};

// Splits "--name=value" into name and value; a plain argument has no value.
struct TOption {
  std::string name;
  std::optional<std::string> value;
};
TOption SplitOption(const std::string& arg);

// The value of the option at args[i]: its "=value" part, or the next argument (then i advances).
// Throws EUsageError when there is none.
std::string OptionValue(const TOption& option, const std::vector<std::string>& args, size_t& i);

// Whole decimal integer within [lo, hi], else EUsageError naming the option.
long long ParseInteger(const std::string& option, const std::string& text, long long lo,
                       long long hi);

// Applies the resize option at args[i] to settings and returns true, consuming its value; returns
// false when args[i] is not a resize option. Throws EUsageError on a bad value.
//   --no-resize  --longer N  --area N  --percent N  --fit WxH  --pad ALIGN  --pad-color RRGGBB
//   --enlarge  --format F  --quality Q  --recompress  --color-profile P  --metadata M
bool ParseResizeOption(const std::vector<std::string>& args, size_t& i, TResizeSettings& settings);

// Walks the arguments of a converting subcommand: plain arguments (and all after "--") go to
// paths, resize options to settings, "--help"/"-h" set help, and every other option goes to
// otherOption, which may consume a value through OptionValue and returns false when it does not
// know the option (an EUsageError follows).
void ParseCommandLine(const std::vector<std::string>& args, TResizeSettings& settings,
                      std::vector<std::string>& paths, bool& help,
                      const std::function<bool(const TOption&, size_t& i)>& otherOption);

// Help lines for the resize options, ready to print: one per destination parameter that has an
// option (imaging/destination_parameters.h), then --settings.
const std::string& ResizeOptionsHelp();

// "LEFT,TOP,RIGHT,BOTTOM" in inclusive source pixels (not yet clamped to a picture).
TSelection ParseCrop(const std::string& text);

}  // namespace picaxo::cli
