// libFuzzer target for the streaming conversion: the first bytes choose the settings and the
// selection, the rest is a JPEG or BMP file. Each input is converted both ways, from the picture
// decoded whole and row by row, and any difference in outcome, message or bytes stops the run.
// Frames and outputs stay small so that the time goes into the logic, not into large rasters.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "imaging/orient.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"

namespace {

using namespace picaxo;

constexpr int64_t kMaxPixels = 1 << 18;
constexpr size_t kSettingsBytes = 16;

struct TOutcome {
  bool failed = false;
  std::string message;
  TConversion conversion;
};

TRasterImage DecodeWhole(const std::string& file, bool jpeg) {
  if (!jpeg) return ReadBitmap(file, kMaxPixels);
  TJPEGImage codec;
  codec.SetMaxPixels(kMaxPixels);
  codec.LoadFromBytes(file);
  // Upright by the EXIF orientation, as loading a source turns it.
  TRasterImage picture = codec.TakeRaster();
  const int orientation = SourceOrientation(file, {}).AppliedOrientation;
  if (orientation != 1 && !OrientRasterInPlace(picture, orientation))
    picture = OrientRaster(picture, orientation);
  return picture;
}

TConvertRequest MakeRequest(const uint8_t* p, int width, int height) {
  TConvertRequest r;
  // A name that does not exist: a planned direct copy fails the same way on both paths.
  r.SourcePath = (p[0] & 1) ? "/nonexistent/fuzz.jpg" : "/nonexistent/fuzz.bmp";
  TResizeSettings& s = r.Settings;
  s.ResizeEnabled = (p[1] & 7) != 0;
  SelectRule(s, static_cast<ResizeRule>(p[1] >> 3 & 3));
  s.LongerPixels = static_cast<int16_t>(1 + (p[2] | p[3] << 8) % 300);
  s.AreaPixels = static_cast<int16_t>(1 + p[4] % 200);
  s.Percent = static_cast<int16_t>(1 + p[5] % 150);
  s.FixedFitWidth = 1 + p[6] % 200;
  s.FixedFitHeight = 1 + p[7] % 200;
  s.PaddedFitEnabled = (p[8] & 1) != 0;
  s.PaddedAlignment = static_cast<uint8_t>(p[8] >> 1);  // out-of-range values included
  s.PaddingColor = static_cast<uint32_t>(p[9]) * 0x010203u;
  s.AllowEnlarge = (p[10] & 1) != 0;
  s.JpegQuality = static_cast<int16_t>(p[11] % 101);
  r.AllowEnlarge = s.AllowEnlarge;
  r.ForceRecompress = (p[10] & 2) != 0;
  if (p[12] & 1) {
    // Corners anywhere in or beyond the picture: the plan holds them to it.
    const int w = width + 2, h = height + 2;
    r.Selection = TSelection{p[13] % w - 1, p[14] % h - 1, p[15] % w - 1, (p[14] ^ p[15]) % h - 1};
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSettingsBytes) return 0;
  const std::string file(reinterpret_cast<const char*>(data) + kSettingsBytes,
                         size - kSettingsBytes);
  const bool jpeg = (data[0] & 2) != 0;

  TOutcome whole, streamed;
  TRasterImage picture;
  try {
    picture = DecodeWhole(file, jpeg);
  } catch (const EPicaxoError& e) {
    whole.failed = true;
    whole.message = e.what();
  }
  int width = picture.Width(), height = picture.Height();
  std::unique_ptr<TRowSource> source;
  try {
    source = RowSourceFromBytes(file, jpeg, kMaxPixels);
    width = source->Width();
    height = source->Height();
  } catch (const EPicaxoError& e) {
    streamed.failed = true;
    streamed.message = e.what();
  }
  const TConvertRequest request = MakeRequest(data, width, height);
  if (!whole.failed) {
    try {
      whole.conversion = ConvertImage(picture, request);
    } catch (const EPicaxoError& e) {
      whole.failed = true;
      whole.message = e.what();
    }
  }
  if (!streamed.failed) {
    try {
      streamed.conversion = ConvertRows(*source, request);
    } catch (const EPicaxoError& e) {
      streamed.failed = true;
      streamed.message = e.what();
    }
  }
  if (whole.failed != streamed.failed || whole.message != streamed.message ||
      whole.conversion.Kind != streamed.conversion.Kind ||
      whole.conversion.Bytes != streamed.conversion.Bytes) {
    std::fprintf(stderr, "whole: %d '%s' %zu bytes; streamed: %d '%s' %zu bytes\n", whole.failed,
                 whole.message.c_str(), whole.conversion.Bytes.size(), streamed.failed,
                 streamed.message.c_str(), streamed.conversion.Bytes.size());
    std::abort();
  }
  return 0;
}
