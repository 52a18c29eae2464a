#include "imaging/destination_parameters.h"

#include <algorithm>
#include <type_traits>

namespace picaxo {

const TDestinationParameter* ParameterOfOption(std::string_view option) {
  for (const TDestinationParameter& parameter : kDestinationParameters) {
    if (!parameter.Option.empty() && parameter.Option == option) return &parameter;
  }
  return nullptr;
}

int64_t ParameterValue(const TDestinationParameter& parameter, const TResizeSettings& settings) {
  // The accessor needs a mutable record; reading through a copy keeps settings untouched.
  TResizeSettings copy = settings;
  return std::visit([](auto* field) { return static_cast<int64_t>(*field); },
                    parameter.Field(copy));
}

int32_t ClampToParameter(const TDestinationParameter& parameter, int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, parameter.Min, parameter.Max));
}

void SetParameterValue(const TDestinationParameter& parameter, TResizeSettings& settings,
                       int64_t value) {
  std::visit(
      [&](auto* field) {
        using T = std::remove_pointer_t<decltype(field)>;
        if constexpr (std::is_same_v<T, bool>) {
          *field = value != 0;
        } else if constexpr (std::is_same_v<T, uint32_t>) {
          *field = static_cast<uint32_t>(value);
        } else {
          *field = static_cast<T>(ClampToParameter(parameter, value));
        }
      },
      parameter.Field(settings));
}

std::string ParameterRangeText(const TDestinationParameter& parameter) {
  return std::to_string(parameter.Min) + " ... " + std::to_string(parameter.Max);
}

}  // namespace picaxo
