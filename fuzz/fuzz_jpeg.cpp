// libFuzzer target for the JPEG loader: header parse, full decode with the fixed configuration,
// and a re-encode of small results. Frames are capped at one megapixel so that the fuzzer spends
// its time on parsing and decoding logic, not on allocating and filling large rasters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picaxo;
  try {
    TJPEGImage jpeg;
    jpeg.SetMaxPixels(1 << 20);
    jpeg.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    TRasterImage raster;
    jpeg.DecodeTo(raster);
    if (int64_t{raster.Width()} * raster.Height() <= 64 * 64) {
      TJPEGImage encoder;
      encoder.Assign(raster);
      encoder.SetCompressionQuality(static_cast<int>(size % 100) + 1);
      encoder.Compress();
    }
  } catch (const EPicaxoError&) {
    // Refusing bad input with a message is the expected outcome.
  }
  return 0;
}
