#pragma once
// The picture formats the program reads and writes, named once so that the list of sources, the
// decoder dispatch, the output choice and the destination names agree.
#include <optional>
#include <string_view>

namespace picaxo {

enum class EImageFormat { Jpeg, Bmp, Png, WebP, Heif, Avif, Tiff };

// The format a source file name announces by its extension, in any letter case (".jpg" and
// ".jpeg", ".bmp", ".png", ".webp", ".heic" and ".heif", ".avif", ".tif" and ".tiff"); nothing
// for any other name.
std::optional<EImageFormat> SourceFormatFromName(std::string_view path);

// The formats a destination file can take.
enum class EOutputFormat { Jpeg, WebP, Avif, Png };

// The extension of a destination file of that format, with its dot: ".jpg", ".webp", ".avif",
// ".png".
std::string_view OutputExtension(EOutputFormat format);

// The source format whose files are written in that output format.
EImageFormat ImageFormatOf(EOutputFormat format);

}  // namespace picaxo
