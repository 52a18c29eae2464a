#pragma once
// The program's identity as the stores see it: the vendor word, the product name and the base
// name of the program file, which together locate the per-user settings.
#include <string>
#include <string_view>

namespace picaxo {

inline constexpr std::string_view kVendorWord = "Quorlen";
inline constexpr std::string_view kProductName = "Picaxo";

// The program file's name without its extension, from /proc/self/exe ("picaxo" for the desktop
// program); computed once. "picaxo" when the platform does not tell.
std::string ProgramBaseName();

// Replaces the base name, so that tests and tools can choose where the per-user store lives.
// An empty name goes back to the program file's.
void SetProgramBaseName(std::string name);

// "\Software\Quorlen\Picaxo\<base name>": the key path of the program's per-user settings.
std::string GetRegistryKeyPath();

// The same without the leading "\Software\": "Quorlen\Picaxo\<base name>".
std::string GetVendorProductPath();

}  // namespace picaxo
