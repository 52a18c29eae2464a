#pragma once
// Numbers typed into the window's text fields.
#include <cstdint>
#include <optional>
#include <string>

namespace picaxo {

// A 32-bit decimal number with an optional sign, surrounding blanks allowed; nothing for any
// other text or a value out of range.
std::optional<int32_t> ParseDecimalInt32(const std::string& text);

}  // namespace picaxo
