#include "imaging/output_codec.h"

#include <cstring>

namespace picaxo {

namespace {

bool StartsWith(std::string_view file, std::string_view prefix, size_t at = 0) {
  return file.size() >= at + prefix.size() && file.compare(at, prefix.size(), prefix) == 0;
}

uint32_t BigEndian32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Whether the leading "ftyp" box names one of brands as its major or a compatible brand.
bool FtypNamesBrand(std::string_view file, std::initializer_list<std::string_view> brands) {
  if (!StartsWith(file, "ftyp", 4)) return false;
  const size_t size = BigEndian32(file, 0);
  if (size < 16 || size > file.size()) return false;
  for (size_t at = 8; at + 4 <= size; at += 4) {
    if (at == 12) continue;  // the minor version
    for (const std::string_view brand : brands)
      if (file.compare(at, 4, brand) == 0) return true;
  }
  return false;
}

}  // namespace

bool FileHoldsFormat(std::string_view file, EImageFormat format) {
  switch (format) {
    case EImageFormat::Jpeg:
      return StartsWith(file, "\xFF\xD8\xFF");
    case EImageFormat::Bmp:
      return StartsWith(file, "BM");
    case EImageFormat::Png:
      return StartsWith(file, "\x89PNG\r\n\x1A\n");
    case EImageFormat::WebP:
      return StartsWith(file, "RIFF") && StartsWith(file, "WEBP", 8);
    case EImageFormat::Avif:
      return FtypNamesBrand(file, {"avif", "avis"});
    case EImageFormat::Heif:
      return FtypNamesBrand(file, {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"});
    case EImageFormat::Tiff:
      return StartsWith(file, std::string_view("II*\0", 4)) ||
             StartsWith(file, std::string_view("MM\0*", 4));
  }
  return false;
}

}  // namespace picaxo
