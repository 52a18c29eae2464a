#pragma once
// The colour profile of a JPEG source: its ICC profile assembled from the APP2 "ICC_PROFILE"
// chunks, and the conversion of its pixels to sRGB with Little CMS.
//
// A profile counts as sRGB when converting through it would move no colour of a test grid (all
// 16 x 16 x 16 combinations of 0, 17, ..., 255) by more than one level: the sRGB profiles that
// cameras, phones and editors embed all pass, and such sources keep today's pixels exactly.
// Converted pixels come from one 8-bit transform per profile, made once and kept for the next
// photo with the same profile.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/jpeg_markers.h"

namespace picaxo {

// What a re-encode does with a source's colour profile. The numbers are the settings values.
enum class TColorProfilePolicy : uint8_t {
  Convert = 0,  // pixels converted to sRGB right after decoding; the output carries no profile
  Keep = 1,     // pixels as stored; the profile is embedded in the output
  Ignore = 2,   // pixels as stored; the output carries no profile
};

struct TIccProfile {
  enum class TState { Absent, Present, Broken };
  TState State = TState::Absent;
  std::string Data;     // the whole profile when Present
  std::string Problem;  // why it was ignored when Broken ("its chunks are inconsistent", ...)
};

// Joins the APP2 "ICC_PROFILE" chunks of a header. The chunks must agree on their count, carry
// each number from 1 to the count exactly once, and together hold at least the size the profile
// header states; anything else is Broken (the profile is then ignored).
TIccProfile AssembleIccProfile(const std::vector<TJpegSegment>& segments);

// The kind of pixels a decoder delivers, which the profile must describe.
enum class TDecodedColors { Rgb, Cmyk, Gray };

// A prepared conversion of one source profile to sRGB; shared, its use is thread-safe.
class TColorTransform {
 public:
  virtual ~TColorTransform() = default;
  // Converts count blue-green-red pixels in place.
  virtual void ConvertBgr(uint8_t* pixels, int count) const = 0;
  // Converts count CMYK pixels (inverted: 255 means no ink, as Adobe files store them) into
  // blue-green-red.
  virtual void ConvertCmyk(const uint8_t* cmyk, uint8_t* bgr, int count, bool inverted) const = 0;
  // Whether the profile describes CMYK pixels (ConvertCmyk) rather than RGB ones (ConvertBgr).
  virtual bool Cmyk() const = 0;
};

// The conversion a source needs: null when it has no profile, an sRGB one, or one that cannot be
// used; then warning (when given) says what was ignored, or stays empty when nothing was.
std::shared_ptr<const TColorTransform> ColorTransformFor(const TIccProfile& profile,
                                                         TDecodedColors colors,
                                                         std::string* warning);

// Whether an RGB profile counts as sRGB (see above); false for other colour spaces and for
// profiles Little CMS refuses.
bool IsSrgbProfile(std::string_view profile);

// The APP2 segments that carry profile (chunks of at most 65519 bytes). Empty when the profile
// does not fit 255 chunks.
std::string IccProfileSegments(std::string_view profile);

// The whole colour handling of a JPEG file (its header is enough) for one decode: the transform
// to apply under policy (null for none); warning as above. The kind of pixels comes from the
// frame header's component count.
std::shared_ptr<const TColorTransform> SourceColorTransform(std::string_view file,
                                                            TColorProfilePolicy policy,
                                                            std::string* warning);

}  // namespace picaxo
