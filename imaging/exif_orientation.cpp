#include "imaging/exif_orientation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace picaxo {

namespace {

constexpr uint8_t kMarkerSOS = 0xDA;
constexpr uint8_t kMarkerEOI = 0xD9;
constexpr uint8_t kMarkerAPP1 = 0xE1;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTypeShort = 3;
// "Exif" followed by two zero bytes opens the EXIF APP1 marker; the TIFF structure follows.
constexpr std::string_view kExifHeader("Exif\0\0", 6);
// How much of a file's start ReadExifOrientationFile reads at most.
constexpr uint64_t kMaxHead = 1 << 20;

// Reads the TIFF structure of an EXIF marker; base is its offset in the whole bytes.
TExifOrientation ReadTiff(std::string_view tiff, int64_t base) {
  TExifOrientation info;
  const auto u8 = [&](size_t at) { return static_cast<uint8_t>(tiff[at]); };
  if (tiff.size() < 8) {
    info.Ignored = "EXIF data too short";
    return info;
  }
  if (tiff.substr(0, 2) == "MM")
    info.BigEndian = true;
  else if (tiff.substr(0, 2) != "II") {
    info.Ignored = "EXIF data with an unknown byte order";
    return info;
  }
  const bool big = info.BigEndian;
  const auto u16 = [&](size_t at) -> uint32_t {
    return big ? (u8(at) << 8 | u8(at + 1)) : (u8(at + 1) << 8 | u8(at));
  };
  const auto u32 = [&](size_t at) -> uint32_t {
    return big ? (u16(at) << 16 | u16(at + 2)) : (u16(at + 2) << 16 | u16(at));
  };
  if (u16(2) != 42) {
    info.Ignored = "EXIF data that is not a TIFF structure";
    return info;
  }
  // All arithmetic in 64 bits: offsets are 32-bit values from the file.
  const uint64_t ifd = u32(4);
  if (ifd < 8 || ifd + 2 > tiff.size()) {
    info.Ignored = "an EXIF directory offset out of range";
    return info;
  }
  const uint64_t count = u16(ifd);
  const uint64_t entries = ifd + 2;
  if (entries + 12 * count > tiff.size()) {
    info.Ignored = "an EXIF directory that runs past its marker";
    return info;
  }
  if (entries + 12 * count + 4 <= tiff.size())
    info.NextIfdOffset = base + static_cast<int64_t>(entries + 12 * count);
  for (uint64_t i = 0; i < count; ++i) {
    const size_t entry = entries + 12 * i;
    if (u16(entry) != kTagOrientation) continue;
    if (u16(entry + 2) != kTypeShort || u32(entry + 4) != 1) {
      info.Ignored = "an EXIF orientation tag of the wrong type";
      return info;
    }
    const uint32_t value = u16(entry + 8);
    if (value < 1 || value > 8) {
      info.Ignored = "the EXIF orientation " + std::to_string(value) + " (not 1 to 8)";
      return info;
    }
    info.Orientation = static_cast<int>(value);
    info.ValueOffset = base + static_cast<int64_t>(entry + 8);
    return info;
  }
  return info;
}

// Walks the markers after the start of image. more(n) makes sure that n bytes from the start are
// available (a file reads them on demand) and returns how many are.
template <class Bytes, class More>
TExifOrientation WalkMarkers(const Bytes& bytes, const More& more) {
  TExifOrientation none;
  if (more(2) < 2 || bytes(0, 2) != "\xFF\xD8") return none;
  uint64_t at = 2;
  // Every marker moves on by at least two bytes, so the walk ends; the count bounds the reads of
  // a file made of empty markers.
  for (int markers = 0; markers < 1000; ++markers) {
    if (more(at + 4) < at + 4) return none;
    if (static_cast<uint8_t>(bytes(at, 1)[0]) != 0xFF) return none;
    const uint8_t marker = static_cast<uint8_t>(bytes(at + 1, 1)[0]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == kMarkerSOS || marker == kMarkerEOI) return none;
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {  // markers without a length
      at += 2;
      continue;
    }
    const std::string_view lengthBytes = bytes(at + 2, 2);
    const uint64_t length = static_cast<uint64_t>(static_cast<uint8_t>(lengthBytes[0])) << 8 |
                            static_cast<uint8_t>(lengthBytes[1]);
    if (length < 2) return none;
    const uint64_t data = at + 4;
    const uint64_t end = at + 2 + length;
    if (marker == kMarkerAPP1 && length - 2 >= kExifHeader.size() &&
        more(data + kExifHeader.size()) >= data + kExifHeader.size() &&
        bytes(data, kExifHeader.size()) == kExifHeader) {
      if (more(end) < end) {
        none.Ignored = "a truncated EXIF marker";
        return none;
      }
      const uint64_t tiff = data + kExifHeader.size();
      return ReadTiff(bytes(tiff, end - tiff), static_cast<int64_t>(tiff));
    }
    at = end;
  }
  return none;
}

}  // namespace

TExifOrientation ReadExifOrientation(std::string_view jpeg) {
  const auto bytes = [&](uint64_t at, uint64_t n) { return jpeg.substr(at, n); };
  const auto more = [&](uint64_t n) { return std::min<uint64_t>(n, jpeg.size()); };
  return WalkMarkers(bytes, more);
}

TExifOrientation ReadExifOrientationTiff(std::string_view tiff) {
  return ReadTiff(tiff, 0);
}

TExifOrientation ReadExifOrientationFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  // The file is read from its start as far as the walk needs, in steps of at least 4 KiB: one read
  // for the usual layout (EXIF right after the start of image). A file whose EXIF marker lies
  // beyond kMaxHead counts as untagged.
  std::string head;
  uint64_t readTo = 0;  // bytes of the file in head, from offset 0 ...
  bool atEnd = false;
  const auto more = [&](uint64_t n) -> uint64_t {
    if (n <= readTo || atEnd || n > kMaxHead) return std::min(n, readTo);
    const uint64_t want = std::max<uint64_t>(n, readTo + 4096);
    head.resize(want);
    while (readTo < want) {
      const ssize_t got =
          ::pread(fd, head.data() + readTo, want - readTo, static_cast<off_t>(readTo));
      if (got <= 0) {
        atEnd = true;
        break;
      }
      readTo += static_cast<uint64_t>(got);
    }
    head.resize(readTo);
    return std::min(n, readTo);
  };
  const auto bytes = [&](uint64_t at, uint64_t n) { return std::string_view(head).substr(at, n); };
  TExifOrientation info = WalkMarkers(bytes, more);
  ::close(fd);
  return info;
}

void ResetExifOrientation(std::string& jpeg, const TExifOrientation& info) {
  const auto put = [&](int64_t at, int bytes, uint32_t value) {
    if (at < 0 || static_cast<uint64_t>(at) + static_cast<uint64_t>(bytes) > jpeg.size()) return;
    for (int i = 0; i < bytes; ++i) {
      const int shift = info.BigEndian ? 8 * (bytes - 1 - i) : 8 * i;
      jpeg[static_cast<size_t>(at + i)] = static_cast<char>((value >> shift) & 0xFF);
    }
  };
  put(info.ValueOffset, 2, 1);
  put(info.NextIfdOffset, 4, 0);
}

}  // namespace picaxo
