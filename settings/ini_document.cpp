#include "settings/ini_document.h"

#include "base/error.h"
#include "base/file_util.h"

namespace picaxo {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int64_t magnitude = 0;
  if (text.starts_with('$') || text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(text[0] == '$' ? 1 : 2);
    if (text.empty()) return std::nullopt;
    for (char c : text) {
      const int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      magnitude = magnitude * 16 + digit;
      if (magnitude > 0xFFFFFFFFLL) return std::nullopt;
    }
    // Hexadecimal spells the 32-bit pattern, so 0xFFFFFFFF reads as -1.
    const auto pattern = static_cast<uint32_t>(magnitude);
    const auto value = static_cast<int32_t>(pattern);
    if (!negative) return value;
    return static_cast<int32_t>(0u - pattern);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 2147483648LL) return std::nullopt;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  if (magnitude > 2147483647LL) return std::nullopt;
  return static_cast<int32_t>(magnitude);
}

TIniDocument::TLine TIniDocument::ParseLine(std::string text) {
  TLine line;
  const std::string_view trimmed = Trim(text);
  if (trimmed.starts_with('[')) {
    const size_t close = trimmed.find(']');
    if (close != std::string_view::npos) {
      line.kind = TLineKind::Section;
      line.name = Trim(trimmed.substr(1, close - 1));
    }
  } else if (!trimmed.starts_with(';') && !trimmed.starts_with('#')) {
    const size_t equals = trimmed.find('=');
    if (equals != std::string_view::npos && equals > 0) {
      line.kind = TLineKind::Key;
      line.name = Trim(trimmed.substr(0, equals));
    }
  }
  line.text = std::move(text);
  return line;
}

TIniDocument::TIniDocument(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) {
    byteOrderMark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  bool firstLineEnd = true;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    std::string_view raw = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (raw.ends_with('\r')) {
      if (firstLineEnd && newline != std::string_view::npos) lineEnd_ = "\r\n";
      while (raw.ends_with('\r'))
        raw.remove_suffix(1);
    }
    if (newline != std::string_view::npos) firstLineEnd = false;
    lines_.push_back(ParseLine(std::string(raw)));
  }
}

std::optional<size_t> TIniDocument::FindKeyLine(std::string_view section,
                                                std::string_view key) const {
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const TLine& line = lines_[i];
    if (line.kind == TLineKind::Section) {
      inSection = SameTextAscii(line.name, section);
    } else if (inSection && line.kind == TLineKind::Key && SameTextAscii(line.name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::string> TIniDocument::Find(std::string_view section,
                                              std::string_view key) const {
  const std::optional<size_t> index = FindKeyLine(section, key);
  if (!index) return std::nullopt;
  // The value is the raw text after "=": a folder whose name begins or ends with a blank reads
  // back as it was written.
  const std::string& text = lines_[*index].text;
  return text.substr(text.find('=') + 1);
}

bool TIniDocument::HasSection(std::string_view section) const {
  for (const TLine& line : lines_) {
    if (line.kind == TLineKind::Section && SameTextAscii(line.name, section)) return true;
  }
  return false;
}

void TIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || HasLineBreak(section) || section.find(']') != std::string_view::npos ||
      Trim(section) != section)
    throw EPicaxoError("The settings section name \"" + std::string(section) +
                       "\" cannot be stored.");
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
      Trim(key) != key || key.starts_with('[') || key.starts_with(';') || key.starts_with('#'))
    throw EPicaxoError("The settings key \"" + std::string(key) + "\" cannot be stored.");
  if (HasLineBreak(value))
    throw EPicaxoError("The value of the settings key " + std::string(key) +
                       " holds a line break and cannot be stored.");

  const std::string text = std::string(key) + "=" + std::string(value);
  if (const std::optional<size_t> index = FindKeyLine(section, key)) {
    // Keep the spelling of the key as the file has it.
    lines_[*index].text = lines_[*index].name + "=" + std::string(value);
    return;
  }
  // After the last key line of the first header of the section, or right after that header.
  std::optional<size_t> insertAfter;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const TLine& line = lines_[i];
    if (line.kind == TLineKind::Section) {
      if (insertAfter) break;
      if (SameTextAscii(line.name, section)) insertAfter = i;
    } else if (insertAfter && line.kind == TLineKind::Key) {
      insertAfter = i;
    }
  }
  if (insertAfter) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*insertAfter + 1), ParseLine(text));
    return;
  }
  if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(ParseLine(""));
  lines_.push_back(ParseLine("[" + std::string(section) + "]"));
  lines_.push_back(ParseLine(text));
}

void TIniDocument::EraseSection(std::string_view section) {
  bool inSection = false;
  std::vector<TLine> kept;
  kept.reserve(lines_.size());
  for (TLine& line : lines_) {
    if (line.kind == TLineKind::Section) inSection = SameTextAscii(line.name, section);
    if (!(inSection && line.kind == TLineKind::Key)) kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
}

std::string TIniDocument::Text() const {
  std::string text;
  if (byteOrderMark_) text += kByteOrderMark;
  for (const TLine& line : lines_) {
    text += line.text;
    text += lineEnd_;
  }
  return text;
}

}  // namespace picaxo
