// libFuzzer target for the colour profile of a JPEG header: the marker walk, the assembly of the
// APP2 "ICC_PROFILE" chunks, and, for a profile that assembles, Little CMS opening it and the
// transform converting a few pixels. An assembled profile must split and join back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "imaging/color_profile.h"
#include "imaging/jpeg_markers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picaxo;
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const TIccProfile profile = AssembleIccProfile(ReadJpegSegments(file));
  if (profile.State != TIccProfile::TState::Present) return 0;
  const std::string segments = IccProfileSegments(profile.Data);
  const TIccProfile again = AssembleIccProfile(ReadJpegSegments("\xFF\xD8" + segments));
  if (again.State != TIccProfile::TState::Present || again.Data != profile.Data) std::abort();
  std::string warning;
  for (TDecodedColors colors : {TDecodedColors::Rgb, TDecodedColors::Cmyk}) {
    const auto transform = ColorTransformFor(profile, colors, &warning);
    if (!transform) continue;
    uint8_t pixels[16] = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 255};
    uint8_t out[12];
    if (transform->Cmyk()) {
      transform->ConvertCmyk(pixels, out, 4, false);
      transform->ConvertCmyk(pixels, out, 4, true);
    } else {
      transform->ConvertBgr(pixels, 5);
    }
  }
  return 0;
}
