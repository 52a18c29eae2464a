// libFuzzer target for the WebP reader (see source_format_target.h).
#include "fuzz/source_format_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return picaxo::FuzzSourceFormat(data, size, picaxo::EImageFormat::WebP);
}
