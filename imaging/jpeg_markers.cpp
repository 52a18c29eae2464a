#include "imaging/jpeg_markers.h"

#include <cstdio>
#include <memory>

#include "base/error.h"
#include "base/file_util.h"

namespace picaxo {

namespace {

constexpr uint8_t kSOS = 0xDA;
constexpr uint8_t kEOI = 0xD9;

// Markers without a length field (RSTn, SOI, EOI, TEM).
bool Standalone(uint8_t marker) {
  return (marker >= 0xD0 && marker <= 0xD9) || marker == 0x01;
}

}  // namespace

std::vector<TJpegSegment> ReadJpegSegments(std::string_view file) {
  std::vector<TJpegSegment> segments;
  if (file.size() < 2 || static_cast<uint8_t>(file[0]) != 0xFF ||
      static_cast<uint8_t>(file[1]) != 0xD8)
    return segments;
  size_t at = 2;
  while (at + 2 <= file.size()) {
    if (static_cast<uint8_t>(file[at]) != 0xFF) break;
    const uint8_t marker = static_cast<uint8_t>(file[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == kSOS || marker == kEOI) break;
    if (Standalone(marker)) {
      at += 2;
      continue;
    }
    if (at + 4 > file.size()) break;
    const size_t length =
        (size_t{static_cast<uint8_t>(file[at + 2])} << 8) | static_cast<uint8_t>(file[at + 3]);
    if (length < 2 || at + 2 + length > file.size()) break;
    segments.push_back({marker, at, 2 + length, file.substr(at + 4, length - 2)});
    at += 2 + length;
  }
  return segments;
}

int JpegComponentCount(const std::vector<TJpegSegment>& segments) {
  for (const TJpegSegment& s : segments) {
    const bool frame = s.Marker >= 0xC0 && s.Marker <= 0xCF && s.Marker != 0xC4 &&
                       s.Marker != 0xC8 && s.Marker != 0xCC;
    if (frame && s.Payload.size() >= 6) return static_cast<uint8_t>(s.Payload[5]);
  }
  return 0;
}

std::string ReadJpegHeaderBytes(const std::string& path) {
  // Headers are small; a file whose header is larger than the first read is read whole.
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return ReadWholeFile(path);  // its error names the reason
  std::string bytes;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
    bytes.append(buffer, got);
    const std::vector<TJpegSegment> segments = ReadJpegSegments(bytes);
    const size_t end = segments.empty() ? 2 : segments.back().Offset + segments.back().Length;
    // The header is complete once the next marker after the last whole segment is SOS.
    if (end + 2 <= bytes.size() && static_cast<uint8_t>(bytes[end]) == 0xFF &&
        static_cast<uint8_t>(bytes[end + 1]) == kSOS)
      break;
    if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF) break;
  }
  return bytes;
}

bool PayloadStartsWith(std::string_view payload, std::string_view id) {
  return payload.substr(0, id.size()) == id;
}

std::string MakeSegment(uint8_t marker, std::string_view payload) {
  if (payload.size() > 65533) throw EPicaxoError("A JPEG marker segment is too long.");
  const size_t length = payload.size() + 2;
  std::string segment;
  segment.reserve(length + 2);
  segment += static_cast<char>(0xFF);
  segment += static_cast<char>(marker);
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 0xFF);
  segment += payload;
  return segment;
}

std::string InsertSegmentsAfterApp0(std::string_view file, std::string_view segments) {
  size_t at = 2;
  for (const TJpegSegment& s : ReadJpegSegments(file)) {
    if (s.Marker != 0xE0 || s.Offset != at) break;
    at = s.Offset + s.Length;
  }
  if (file.size() < at) at = file.size();
  std::string out;
  out.reserve(file.size() + segments.size());
  out.append(file.substr(0, at));
  out.append(segments);
  out.append(file.substr(at));
  return out;
}

}  // namespace picaxo
