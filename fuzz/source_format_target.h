#pragma once
// The body of the libFuzzer targets of the source readers beyond JPEG and BMP: the reader,
// followed by what loading a source does with its result (EXIF orientation, colour profile), and
// the reading of what the file carries besides its pixels (profile, EXIF, XMP).
// Inputs are capped at 4 MB and rasters at four megapixels so that the fuzzer explores the
// parsing rather than memory limits.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "imaging/pipeline.h"
#include "imaging/source_decoders.h"

namespace picaxo {

inline int FuzzSourceFormat(const uint8_t* data, size_t size, EImageFormat format) {
  if (size > (4u << 20)) return 0;
  try {
    TSourceOptions options;
    options.Background = 0x336699;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    ReadFormatExtras(format, file);
    LoadSourceBytes(file, format, options, 4 << 20);
  } catch (const EPicaxoError&) {
    // Refusing bad input with a message is the expected outcome.
  } catch (const std::bad_alloc&) {
    // A picture within the cap may still be more than this process may allocate.
  }
  return 0;
}

}  // namespace picaxo
