// libFuzzer target for the BMP reader, followed by the conversion to 24 bits that the pipeline
// applies. Rasters are capped at four megapixels so that the fuzzer explores the header and RLE
// logic rather than memory limits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "imaging/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picaxo;
  try {
    TRasterImage raster =
        ReadBitmap(std::string_view(reinterpret_cast<const char*>(data), size), 4 << 20);
    raster.SetPixelFormat(TPixelFormat::pf24bit);
  } catch (const EPicaxoError&) {
    // Refusing bad input with a message is the expected outcome.
  }
  return 0;
}
