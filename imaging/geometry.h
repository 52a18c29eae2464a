#pragma once
// Destination settings and the output size computed from them.
#include <cstdint>

namespace picaxo {

enum class ResizeRule { LongerSide, FixedArea, Percent, Fit };

// The destination settings in effect. Field names are the settings-file keys that store them.
// The four rule flags act like a radio group; a settings file may leave none of them set, in which
// case no rule applies (scale 1).
struct TResizeSettings {
  bool ResizeEnabled = true;
  bool FixedLongerEnabled = false;
  bool FixedAreaEnabled = false;
  bool PercentEnabled = true;
  bool FixedFitEnabled = false;
  int16_t LongerPixels = 600;    // 10 ... 10000
  int16_t AreaPixels = 400;      // 10 ... 10000; the wanted area is AreaPixels squared
  int16_t Percent = 50;          // 1 ... 500
  int32_t FixedFitWidth = 1024;  // 1 ... 2^31 - 1
  int32_t FixedFitHeight = 800;  // 1 ... 2^31 - 1
  bool PaddedFitEnabled = false;
  uint8_t PaddedAlignment = 5;  // 1 ... 9, row by row from left-top to right-bottom
  uint32_t PaddingColor = 0;    // 0x00BBGGRR
  bool AllowEnlarge = false;
  int16_t JpegQuality = 85;  // 1 ... 100
  bool AlwaysRecompress = false;

  bool operator==(const TResizeSettings&) const = default;
};

}  // namespace picaxo
