#include "imaging/metadata.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

#include "imaging/jpeg_markers.h"

namespace picaxo {

namespace {

constexpr std::string_view kExifId{"Exif\0\0", 6};
constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kXmpExtensionId{"http://ns.adobe.com/xmp/extension/\0", 35};
constexpr std::string_view kPhotoshopId{"Photoshop 3.0\0", 14};
constexpr uint8_t kApp1 = 0xE1, kApp13 = 0xED, kCom = 0xFE;
constexpr size_t kMaxPayload = 65533;

// exiv2's XMP toolkit and its message log are process-wide; every use of exiv2 here holds this
// lock (metadata is small, the lock is never held for long), and the log stays quiet.
std::mutex& ExivMutex() {
  static std::mutex mutex;
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
  return mutex;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool PrivateExifKey(const Exiv2::Exifdatum& d) {
  static const std::array<std::string_view, 7> keys = {
      "Exif.Image.GPSTag",           "Exif.Photo.BodySerialNumber",
      "Exif.Photo.LensSerialNumber", "Exif.Image.CameraSerialNumber",
      "Exif.Photo.CameraOwnerName",  "Exif.Photo.MakerNote",
      "Exif.Image.OwnerName"};
  const std::string key = d.key();
  if (std::find(keys.begin(), keys.end(), key) != keys.end()) return true;
  const std::string group = d.groupName();
  return group == "GPSInfo" || group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group);
}

bool PrivateXmpKey(const std::string& key) {
  static const std::array<std::string_view, 13> prefixes = {"Xmp.exif.GPS",
                                                            "Xmp.photoshop.City",
                                                            "Xmp.photoshop.State",
                                                            "Xmp.photoshop.Country",
                                                            "Xmp.iptc.Location",
                                                            "Xmp.iptc.CountryCode",
                                                            "Xmp.iptcExt.LocationCreated",
                                                            "Xmp.iptcExt.LocationShown",
                                                            "Xmp.aux.SerialNumber",
                                                            "Xmp.aux.LensSerialNumber",
                                                            "Xmp.aux.OwnerName",
                                                            "Xmp.exifEX.BodySerialNumber",
                                                            "Xmp.exifEX.LensSerialNumber"};
  if (StartsWith(key, "Xmp.exifEX.CameraOwnerName")) return true;
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [&](std::string_view p) { return StartsWith(key, p); });
}

bool PrivateIptcKey(const std::string& key) {
  static const std::array<std::string_view, 7> keys = {
      "Iptc.Application2.City",          "Iptc.Application2.SubLocation",
      "Iptc.Application2.ProvinceState", "Iptc.Application2.CountryCode",
      "Iptc.Application2.CountryName",   "Iptc.Application2.LocationCode",
      "Iptc.Application2.LocationName"};
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

template <class Data, class Private>
bool ErasePrivate(Data& data, const Private& isPrivate) {
  bool erased = false;
  for (auto it = data.begin(); it != data.end();) {
    if (isPrivate(*it)) {
      it = data.erase(it);
      erased = true;
    } else {
      ++it;
    }
  }
  return erased;
}

void AddWarning(std::string* warning, const std::string& part) {
  if (!warning) return;
  *warning += warning->empty() ? "unreadable metadata was left out: " : ", ";
  *warning += part;
}

// A rewritten EXIF payload (identifier included), or nothing when it cannot be read or written.
// changes is null for a direct copy, whose picture and thumbnail stay as they are.
std::optional<std::string> RewriteExif(std::string_view payload, bool dropPrivate,
                                       const TPictureChanges* changes, bool& hadPrivate) {
  const std::string_view tiff = payload.substr(kExifId.size());
  Exiv2::ExifData exif;
  const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(
      exif, reinterpret_cast<const Exiv2::byte*>(tiff.data()), static_cast<uint32_t>(tiff.size()));
  if (order == Exiv2::invalidByteOrder) return std::nullopt;
  hadPrivate = dropPrivate && ErasePrivate(exif, PrivateExifKey);
  if (changes) {
    Exiv2::ExifThumb(exif).erase();
    exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(changes->Width);
    exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(changes->Height);
    auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (changes->PixelsTurned && orientation != exif.end())
      exif["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
  } else if (!hadPrivate) {
    return std::string(payload);
  }
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order, exif);
  if (blob.empty() || blob.size() + kExifId.size() > kMaxPayload) return std::nullopt;
  std::string out(kExifId);
  out.append(reinterpret_cast<const char*>(blob.data()), blob.size());
  return out;
}

std::optional<std::string> RewriteXmp(std::string_view payload, bool dropPrivate,
                                      const TPictureChanges* changes, bool& hadPrivate) {
  std::string packet(payload.substr(kXmpId.size()));
  while (!packet.empty() && packet.back() == '\0')
    packet.pop_back();
  Exiv2::XmpData xmp;
  if (Exiv2::XmpParser::decode(xmp, packet) != 0) return std::nullopt;
  hadPrivate = dropPrivate &&
               ErasePrivate(xmp, [](const Exiv2::Xmpdatum& d) { return PrivateXmpKey(d.key()); });
  bool changed = hadPrivate;
  if (changes) {
    auto orientation = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
    if (changes->PixelsTurned && orientation != xmp.end()) {
      xmp["Xmp.tiff.Orientation"] = "1";
      changed = true;
    }
    for (const char* key : {"Xmp.exif.PixelXDimension", "Xmp.exif.PixelYDimension"}) {
      if (xmp.findKey(Exiv2::XmpKey(key)) == xmp.end()) continue;
      xmp[key] = std::to_string(key[17] == 'X' ? changes->Width : changes->Height);
      changed = true;
    }
  }
  if (!changed) return std::string(payload);
  std::string encoded;
  if (Exiv2::XmpParser::encode(encoded, xmp, Exiv2::XmpParser::useCompactFormat) != 0)
    return std::nullopt;
  if (encoded.size() + kXmpId.size() > kMaxPayload) return std::nullopt;
  return std::string(kXmpId) + encoded;
}

// The IPTC record of the joined Photoshop resource blocks, rewritten without private fields.
std::optional<std::string> RewriteIrb(const std::string& irb, bool& hadPrivate) {
  const auto* data = reinterpret_cast<const Exiv2::byte*>(irb.data());
  const Exiv2::byte* record = nullptr;
  uint32_t headerSize = 0, dataSize = 0;
  const int located = Exiv2::Photoshop::locateIptcIrb(data, static_cast<long>(irb.size()), &record,
                                                      &headerSize, &dataSize);
  if (located < 0) return std::nullopt;
  if (located > 0) return irb;  // no IPTC record
  Exiv2::IptcData iptc;
  if (Exiv2::IptcParser::decode(iptc, record + headerSize, dataSize) != 0) return std::nullopt;
  hadPrivate =
      ErasePrivate(iptc, [](const Exiv2::Iptcdatum& d) { return PrivateIptcKey(d.key()); });
  if (!hadPrivate) return irb;
  const Exiv2::DataBuf rewritten =
      Exiv2::Photoshop::setIptcIrb(data, static_cast<long>(irb.size()), iptc);
  return std::string(reinterpret_cast<const char*>(rewritten.pData_),
                     static_cast<size_t>(rewritten.size_));
}

// The Photoshop resources as APP13 segments (split where one segment cannot hold them).
std::string IrbSegments(std::string_view irb) {
  std::string segments;
  const size_t chunk = kMaxPayload - kPhotoshopId.size();
  for (size_t at = 0; at < irb.size(); at += chunk)
    segments += MakeSegment(kApp13, std::string(kPhotoshopId) + std::string(irb.substr(at, chunk)));
  return segments;
}

bool IsExif(const TJpegSegment& s) {
  return s.Marker == kApp1 && PayloadStartsWith(s.Payload, kExifId);
}
bool IsXmp(const TJpegSegment& s) {
  return s.Marker == kApp1 && PayloadStartsWith(s.Payload, kXmpId);
}
bool IsXmpExtension(const TJpegSegment& s) {
  return s.Marker == kApp1 && PayloadStartsWith(s.Payload, kXmpExtensionId);
}
bool IsPhotoshop(const TJpegSegment& s) {
  return s.Marker == kApp13 && PayloadStartsWith(s.Payload, kPhotoshopId);
}

// One pass over the metadata segments of a header decides, for each, to keep, replace or drop it.
struct TRewrite {
  // Per segment index: the bytes that replace it (a dropped one is empty); unset keeps it.
  std::vector<std::optional<std::string>> Replaced;
  std::string Irb;  // the joined Photoshop resources, when rewritten
  size_t FirstPhotoshop = 0;
  bool Changed = false;  // something private was found, or a segment dropped
};

// changes is null for a direct copy (the picture and its thumbnail stay as they are).
TRewrite RewriteSegments(const std::vector<TJpegSegment>& segments, bool dropPrivate,
                         const TPictureChanges* changes, std::string* warning) {
  std::lock_guard<std::mutex> lock(ExivMutex());
  TRewrite r;
  r.Replaced.resize(segments.size());
  std::string irb;
  bool firstPhotoshop = true;
  for (size_t i = 0; i < segments.size(); ++i) {
    const TJpegSegment& s = segments[i];
    bool hadPrivate = false;
    std::optional<std::string> payload;
    const char* part = nullptr;
    try {
      if (IsExif(s)) {
        part = "EXIF";
        payload = RewriteExif(s.Payload, dropPrivate, changes, hadPrivate);
      } else if (IsXmp(s)) {
        part = "XMP";
        payload = RewriteXmp(s.Payload, dropPrivate, changes, hadPrivate);
      } else if (IsXmpExtension(s) && dropPrivate) {
        // The extension is not read; it may repeat any field of the main packet.
        r.Replaced[i] = std::string();
        r.Changed = true;
        continue;
      } else if (IsPhotoshop(s)) {
        if (firstPhotoshop) r.FirstPhotoshop = i;
        firstPhotoshop = false;
        irb.append(s.Payload.substr(kPhotoshopId.size()));
        r.Replaced[i] = std::string();  // all of them are written again at the first one's place
        continue;
      } else {
        continue;
      }
    } catch (...) {
      payload.reset();
    }
    if (!payload) {
      AddWarning(warning, part);
      r.Replaced[i] = std::string();
      r.Changed = true;
    } else if (*payload != s.Payload) {
      r.Replaced[i] = MakeSegment(s.Marker, *payload);
      r.Changed = true;
    }
    r.Changed = r.Changed || hadPrivate;
  }
  if (!firstPhotoshop) {
    std::optional<std::string> rewritten;
    bool hadPrivate = false;
    try {
      rewritten = dropPrivate ? RewriteIrb(irb, hadPrivate) : std::optional<std::string>(irb);
    } catch (...) {
      rewritten.reset();
    }
    if (!rewritten) {
      AddWarning(warning, "IPTC");
      r.Changed = true;
    } else {
      r.Irb = std::move(*rewritten);
      r.Changed = r.Changed || hadPrivate;
      r.Replaced[r.FirstPhotoshop] = IrbSegments(r.Irb);
    }
  }
  return r;
}

bool IsMetadata(const TJpegSegment& s) {
  return IsExif(s) || IsXmp(s) || IsXmpExtension(s) || IsPhotoshop(s) || s.Marker == kCom;
}

}  // namespace

std::string MetadataSegments(std::string_view sourceHeader, TMetadataPolicy policy,
                             const TPictureChanges& changes, std::string* warning) {
  if (policy == TMetadataPolicy::Strip) return {};
  const std::vector<TJpegSegment> segments = ReadJpegSegments(sourceHeader);
  const TRewrite r =
      RewriteSegments(segments, policy == TMetadataPolicy::KeepPublic, &changes, warning);
  std::string out;
  for (size_t i = 0; i < segments.size(); ++i) {
    const TJpegSegment& s = segments[i];
    if (!IsMetadata(s)) continue;
    if (r.Replaced[i])
      out += *r.Replaced[i];
    else
      out.append(sourceHeader.substr(s.Offset, s.Length));
  }
  return out;
}

std::string WithoutPrivateMetadata(std::string file, std::string* warning) {
  const std::vector<TJpegSegment> segments = ReadJpegSegments(file);
  std::string localWarning;
  const TRewrite r = RewriteSegments(segments, true, nullptr, &localWarning);
  if (!r.Changed) return file;
  if (warning) *warning = localWarning;
  std::string out;
  out.reserve(file.size());
  size_t at = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const TJpegSegment& s = segments[i];
    out.append(file, at, s.Offset - at);
    if (r.Replaced[i])
      out += *r.Replaced[i];
    else
      out.append(file, s.Offset, s.Length);
    at = s.Offset + s.Length;
  }
  out.append(file, at, std::string::npos);
  return out;
}

namespace {

// Tags of the first directory that describe how a TIFF file stores its own picture (or carry what
// is kept elsewhere: the profile, XMP, IPTC); in another file they would describe nothing.
bool TiffLayoutTag(uint16_t tag) {
  static constexpr std::array<uint16_t, 45> kTags = {
      0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108,
      0x0109, 0x010A, 0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011C,
      0x0122, 0x0123, 0x0124, 0x0125, 0x013D, 0x0140, 0x0141, 0x0142, 0x0143,
      0x0144, 0x0145, 0x014A, 0x014C, 0x0152, 0x0153, 0x0154, 0x0155, 0x0156,
      0x015B, 0x0200, 0x0201, 0x0202, 0x0211, 0x0212, 0x02BC, 0x83BB, 0x8773};
  return std::find(kTags.begin(), kTags.end(), tag) != kTags.end();
}

}  // namespace

std::string ExifOfTiffFile(std::string_view file) {
  std::lock_guard<std::mutex> lock(ExivMutex());
  try {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    const Exiv2::ByteOrder order = Exiv2::TiffParser::decode(
        exif, iptc, xmp, reinterpret_cast<const Exiv2::byte*>(file.data()),
        static_cast<uint32_t>(file.size()));
    if (order == Exiv2::invalidByteOrder) return {};
    for (auto it = exif.begin(); it != exif.end();) {
      const std::string group = it->groupName();
      const bool kept = (group == "Image" && !TiffLayoutTag(it->tag())) || group == "Photo" ||
                        group == "GPSInfo" || group == "Iop" || group == "MakerNote" ||
                        Exiv2::ExifTags::isMakerGroup(group);
      it = kept ? std::next(it) : exif.erase(it);
    }
    if (exif.empty()) return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order, exif);
    return std::string(reinterpret_cast<const char*>(blob.data()), blob.size());
  } catch (...) {
    return {};
  }
}

}  // namespace picaxo
