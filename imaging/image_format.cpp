#include "imaging/image_format.h"

#include <array>
#include <utility>

#include "base/file_util.h"

namespace picaxo {

std::optional<EImageFormat> SourceFormatFromName(std::string_view path) {
  static constexpr std::array<std::pair<std::string_view, EImageFormat>, 10> kExtensions{{
      {".jpg", EImageFormat::Jpeg},
      {".jpeg", EImageFormat::Jpeg},
      {".bmp", EImageFormat::Bmp},
      {".png", EImageFormat::Png},
      {".webp", EImageFormat::WebP},
      {".heic", EImageFormat::Heif},
      {".heif", EImageFormat::Heif},
      {".avif", EImageFormat::Avif},
      {".tif", EImageFormat::Tiff},
      {".tiff", EImageFormat::Tiff},
  }};
  for (const auto& [extension, format] : kExtensions)
    if (HasExtension(path, extension)) return format;
  return std::nullopt;
}

std::string_view OutputExtension(EOutputFormat format) {
  switch (format) {
    case EOutputFormat::WebP:
      return ".webp";
    case EOutputFormat::Avif:
      return ".avif";
    case EOutputFormat::Png:
      return ".png";
    case EOutputFormat::Jpeg:
      break;
  }
  return ".jpg";
}

EImageFormat ImageFormatOf(EOutputFormat format) {
  switch (format) {
    case EOutputFormat::WebP:
      return EImageFormat::WebP;
    case EOutputFormat::Avif:
      return EImageFormat::Avif;
    case EOutputFormat::Png:
      return EImageFormat::Png;
    case EOutputFormat::Jpeg:
      break;
  }
  return EImageFormat::Jpeg;
}

}  // namespace picaxo
