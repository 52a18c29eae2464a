// Every coefficient transform on arbitrary bytes: the first byte picks the transform, the rest is
// the file. Errors must surface as EPicaxoError, never as a crash or an out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.h"
#include "lossless/jpeg_rotate.h"

namespace {

// Skips inputs whose frame header (or anything that looks like one) announces more than a
// megapixel, so the fuzzer explores the logic rather than memory limits.
bool SmallEnough(std::string_view data) {
  for (size_t i = 0; i + 9 <= data.size(); ++i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(data[i + k]); };
    if (byte(0) != 0xFF || byte(1) < 0xC0 || byte(1) > 0xCF || byte(1) == 0xC4 || byte(1) == 0xC8 ||
        byte(1) == 0xCC)
      continue;
    const uint64_t height = byte(5) << 8 | byte(6);
    const uint64_t width = byte(7) << 8 | byte(8);
    if (width * height > 1'000'000) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto code = static_cast<picaxo::TTransformCode>(data[0] % 8);
  const std::string_view jpeg(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!SmallEnough(jpeg)) return 0;
  try {
    picaxo::TransformJPEGData(jpeg, code);
  } catch (const picaxo::EPicaxoError&) {
  }
  return 0;
}
