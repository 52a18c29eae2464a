#pragma once
// Settings stores: a sectioned key/value store with text values, in two forms that share one
// layout. The INI form is any settings file the user names; the per-user form replaces the
// registry key of the program and lives in
// $XDG_CONFIG_HOME/Quorlen/Picaxo/<program base name>.ini ($HOME/.config when unset), where each
// registry subkey ("PicaxoSettings", "MRUInput", "MRUOutput") is a section.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ini_document.h"

namespace picaxo {

// The six operations every store offers. Section and key names match without regard to ASCII
// case. A read returns its default when the key is missing; an integer that is not a number (see
// ParseIniInteger) also gives the default; a boolean is an integer that is true when not 0.
// Integers are written in decimal, booleans as "1" or "0", strings as they are. Any operation may
// throw EPicaxoError; the callers that must not fail catch it.
class TSettingsStore {
 public:
  virtual ~TSettingsStore() = default;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

 protected:
  virtual std::optional<std::string> ReadValue(std::string_view section,
                                               std::string_view key) const = 0;
  virtual void WriteValue(std::string_view section, std::string_view key,
                          std::string_view value) = 0;
};

enum class TStoreFolder {
  MustExist,      // a settings file the user chose: its folder is there
  CreateOnWrite,  // the per-user store: its folders are made on the first write
};

// A store over one INI file. The file is read when the store is opened and written by Flush, so
// a file on disk is always either the old one or the new one, whole (temporary file + rename):
// a crash or a full disk never leaves half a settings file. Writing keeps every other section,
// key and comment of the file.
class TIniSettingsStore final : public TSettingsStore {
 public:
  // A missing file is an empty store. A file that exists but cannot be read (no permission, not a
  // regular file, larger than any settings file) makes every later operation throw, so the store
  // never replaces a file whose contents it does not know.
  explicit TIniSettingsStore(std::string path, TStoreFolder folder = TStoreFolder::MustExist);

  const std::string& Path() const { return path_; }
  bool FileExists() const { return fileExisted_; }
  // Throws the error met while reading the file, if there was one.
  void CheckReadable() const;

  bool HasSection(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  void EraseSection(std::string_view section);

  // Replaces the file with the document as written so far; does nothing when nothing was
  // written. Throws EPicaxoError naming the file and the cause; the old file then stays.
  void Flush();

 protected:
  std::optional<std::string> ReadValue(std::string_view section,
                                       std::string_view key) const override;
  void WriteValue(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  std::string path_;
  TStoreFolder folder_;
  TIniDocument document_;
  std::optional<std::string> readError_;
  bool fileExisted_ = false;
  bool changed_ = false;
};

// The file of the per-user store for a registry path below "\Software\" such as
// "Quorlen\Picaxo\picaxo": its "\"-separated parts become folders below the user's configuration
// folder and the last one the file name, with ".ini" added. Throws EPicaxoError when neither
// XDG_CONFIG_HOME nor a home folder is known.
std::string UserStoreFilePath(std::string_view registryPath);

// The per-user store of this program (GetVendorProductPath), folders made on the first write.
TIniSettingsStore OpenUserSettingsStore();

}  // namespace picaxo
