#include "settings/program_identity.h"

#include <filesystem>
#include <optional>

#include "base/file_util.h"

namespace picaxo {

namespace {

std::optional<std::string>& BaseNameOverride() {
  static std::optional<std::string> name;
  return name;
}

std::string ProgramFileBaseName() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.filename().empty()) return "picaxo";
  return StripExtension(exe.filename().string());
}

}  // namespace

std::string ProgramBaseName() {
  if (BaseNameOverride()) return *BaseNameOverride();
  static const std::string name = ProgramFileBaseName();
  return name;
}

void SetProgramBaseName(std::string name) {
  if (name.empty()) {
    BaseNameOverride().reset();
  } else {
    BaseNameOverride() = std::move(name);
  }
}

std::string GetVendorProductPath() {
  return std::string(kVendorWord) + "\\" + std::string(kProductName) + "\\" + ProgramBaseName();
}

std::string GetRegistryKeyPath() {
  return "\\Software\\" + GetVendorProductPath();
}

}  // namespace picaxo
