#include "settings/settings_store.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/error.h"
#include "base/file_util.h"
#include "settings/program_identity.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {

// Far above any settings file the program writes (a few kilobytes); a larger file is not one.
constexpr off_t kMaxSettingsFileBytes = 16 << 20;

}  // namespace

std::string TSettingsStore::ReadString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  std::optional<std::string> value = ReadValue(section, key);
  return value ? std::move(*value) : std::string(defaultValue);
}

int32_t TSettingsStore::ReadInteger(std::string_view section, std::string_view key,
                                    int32_t defaultValue) const {
  const std::optional<std::string> value = ReadValue(section, key);
  if (!value) return defaultValue;
  return ParseIniInteger(*value).value_or(defaultValue);
}

bool TSettingsStore::ReadBool(std::string_view section, std::string_view key,
                              bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TSettingsStore::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  WriteValue(section, key, value);
}

void TSettingsStore::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteValue(section, key, std::to_string(value));
}

void TSettingsStore::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteValue(section, key, value ? "1" : "0");
}

TIniSettingsStore::TIniSettingsStore(std::string path, TStoreFolder folder)
    : path_(std::move(path)), folder_(folder) {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) readError_ = std::strerror(errno);
    return;
  }
  fileExisted_ = true;
  if (!S_ISREG(st.st_mode)) {
    readError_ = "it is not a file";
  } else if (st.st_size > kMaxSettingsFileBytes) {
    readError_ = "it is too large to be a settings file";
  } else {
    try {
      document_ = TIniDocument(ReadWholeFile(path_));
    } catch (const EPicaxoError& e) {
      readError_ = e.what();
    }
  }
}

void TIniSettingsStore::CheckReadable() const {
  if (readError_)
    throw EPicaxoError("Cannot read the settings file \"" + path_ + "\": " + *readError_ + ".");
}

bool TIniSettingsStore::HasSection(std::string_view section) const {
  CheckReadable();
  return document_.HasSection(section);
}

bool TIniSettingsStore::ValueExists(std::string_view section, std::string_view key) const {
  return ReadValue(section, key).has_value();
}

void TIniSettingsStore::EraseSection(std::string_view section) {
  CheckReadable();
  document_.EraseSection(section);
  changed_ = true;
}

std::optional<std::string> TIniSettingsStore::ReadValue(std::string_view section,
                                                        std::string_view key) const {
  CheckReadable();
  return document_.Find(section, key);
}

void TIniSettingsStore::WriteValue(std::string_view section, std::string_view key,
                                   std::string_view value) {
  CheckReadable();
  document_.Set(section, key, value);
  changed_ = true;
}

void TIniSettingsStore::Flush() {
  CheckReadable();
  if (!changed_) return;
  try {
    std::string target = path_;
    AtomicWriteOptions options;
    std::error_code ec;
    // A settings file that is a link (kept in a dotfiles folder, say) stays a link: the file it
    // points to is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
      const fs::path resolved = fs::canonical(target, ec);
      if (!ec) target = resolved.string();
    }
    if (fileExisted_) {
      const fs::file_status status = fs::status(target, ec);
      if (!ec) options.permissions = status.permissions();
    }
    if (folder_ == TStoreFolder::CreateOnWrite) {
      const fs::path folder = fs::path(target).parent_path();
      if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) throw EPicaxoError(ec.message());
      }
    }
    WriteFileAtomically(target, document_.Text(), options);
  } catch (const EPicaxoError& e) {
    throw EPicaxoError("Cannot write the settings file \"" + path_ + "\": " + e.what() + ".");
  }
  changed_ = false;
  fileExisted_ = true;
}

std::string UserStoreFilePath(std::string_view registryPath) {
  fs::path base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0')
      throw EPicaxoError("No home folder is known for the settings.");
    base = fs::path(home) / ".config";
  }
  fs::path path = base;
  size_t parts = 0;
  while (!registryPath.empty()) {
    const size_t separator = registryPath.find('\\');
    const std::string_view part = registryPath.substr(0, separator);
    registryPath.remove_prefix(separator == std::string_view::npos ? registryPath.size()
                                                                   : separator + 1);
    if (part.empty()) continue;
    if (part == "." || part == ".." || part.find('/') != std::string_view::npos)
      throw EPicaxoError("The settings key path part \"" + std::string(part) +
                         "\" is not a folder name.");
    path /= part;
    ++parts;
  }
  if (parts == 0) throw EPicaxoError("The settings key path is empty.");
  path += ".ini";
  return path.string();
}

TIniSettingsStore OpenUserSettingsStore() {
  return TIniSettingsStore(UserStoreFilePath(GetVendorProductPath()), TStoreFolder::CreateOnWrite);
}

}  // namespace picaxo
