#include "imaging/bmp.h"

#include "imaging/file_util.h"

namespace picaxo {

TRasterImage ReadBitmapFile(const std::string& path) {
  return ReadBitmap(ReadWholeFile(path));
}

TRasterImage ReadBitmap(std::string_view, int64_t) {
  throw EBitmapError("BMP reading is not implemented yet");
}

}  // namespace picaxo
