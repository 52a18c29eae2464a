#pragma once
// The INI text layout shared by settings files and the per-user store: "[Section]" header lines,
// "Key=Value" lines, and everything else (comments, blank lines, stray text) kept as it stands so
// that rewriting a file touches only the values written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace picaxo {

// Reads an integer the way every settings store does: optional blanks and sign, then decimal digits
// that fit 32 bits signed, or up to 32 bits of hexadecimal digits after 0x, 0X or $ (so 0xFFFFFFFF
// is -1). Anything else, including an empty text or trailing characters, is not a number.
std::optional<int32_t> ParseIniInteger(std::string_view text);

// An INI file in memory. Names of sections and keys match without regard to ASCII case. Lookups
// take the first match in file order; a section may appear in several header lines and then
// counts as one. Keys before the first header belong to no section and are only kept.
class TIniDocument {
 public:
  TIniDocument() = default;
  // Any text is a document: lines that are neither headers nor "key=value" are kept untouched.
  // "\n" and "\r\n" line ends are read; a leading UTF-8 byte-order mark is kept.
  explicit TIniDocument(std::string_view text);

  // The value of key in section, the text after the "=" as it stands, or nothing when missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;

  // Replaces the value of an existing key in place, or adds the key at the end of the section,
  // or adds the section at the end of the file. Throws EPicaxoError when the names or the value
  // cannot be held by the layout (line breaks, "]" in a section, "=" in a key, empty names):
  // refusing is better than writing a line that reads back as something else.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Removes every key of the section; its header and comment lines stay.
  void EraseSection(std::string_view section);

  // The document as text, with the line end style of the text it was read from ("\n" for a new
  // document) and a line end after the last line.
  std::string Text() const;

 private:
  enum class TLineKind { Other, Section, Key };
  struct TLine {
    std::string text;
    TLineKind kind = TLineKind::Other;
    std::string name;  // section or key name, blanks removed
  };
  static TLine ParseLine(std::string text);
  std::optional<size_t> FindKeyLine(std::string_view section, std::string_view key) const;

  std::vector<TLine> lines_;
  std::string lineEnd_ = "\n";
  bool byteOrderMark_ = false;
};

}  // namespace picaxo
