// Fuzzes the INI layout that settings files are read with: any bytes must parse without a crash,
// read back the same after a rewrite, and keep a value written into them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/error.h"
#include "settings/ini_document.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Settings files are a few kilobytes; larger inputs only slow the search.
  if (size > 64 * 1024) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  picaxo::TIniDocument document(text);

  // Every key of the settings record goes through the same lookups and the number parser.
  static constexpr std::string_view kKeys[] = {"InputDir",      "JpegQuality", "PaddedAlignment",
                                               "ResizeEnabled", "File0",       "MainLeft"};
  static constexpr std::string_view kSections[] = {"PicaxoSettings", "MRUInput", ""};
  for (std::string_view section : kSections) {
    for (std::string_view key : kKeys) {
      if (const auto value = document.Find(section, key)) picaxo::ParseIniInteger(*value);
    }
  }
  picaxo::ParseIniInteger(text.substr(0, 64));

  // A rewrite reads back the same.
  const std::string once = document.Text();
  const picaxo::TIniDocument reread(once);
  Require(reread.Text() == once);
  for (std::string_view key : kKeys) {
    Require(reread.Find("PicaxoSettings", key) == document.Find("PicaxoSettings", key));
  }

  // A written value reads back, and the other keys keep theirs.
  const auto before = document.Find("PicaxoSettings", "InputDir");
  const std::string value(text.substr(0, text.find_first_of("\r\n")).substr(0, 40));
  try {
    document.Set("PicaxoSettings", "JpegQuality", value);
    const picaxo::TIniDocument written(document.Text());
    const auto stored = written.Find("picaxosettings", "jpegquality");
    Require(stored.has_value());
    Require(*stored == value);
    Require(written.Find("PicaxoSettings", "InputDir") == before);
    document.EraseSection("PicaxoSettings");
    Require(!picaxo::TIniDocument(document.Text()).Find("PicaxoSettings", "JpegQuality"));
  } catch (const picaxo::EPicaxoError&) {
    // The value holds something the layout cannot keep; refusing it is right.
  }
  return 0;
}
