#include "ui/kelvo_util.h"

#include <filesystem>
#include <system_error>

namespace picaxo {

std::string GetProgramVersion() {
  return PICAXO_VERSION;
}

std::string GetProgramPath() {
  static const std::string path = [] {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
  }();
  return path;
}

std::string GetCurrentFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  if (ec || folder.empty()) folder = std::filesystem::path(GetProgramPath()).parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace picaxo
