#pragma once
// Destination settings the conversion tests build again and again.
#include <cstdint>

#include "imaging/geometry.h"

namespace picaxo::testing {

// Fit into width x height with the padded border at alignment, in color.
inline TResizeSettings PaddedFit(int width, int height, uint8_t alignment, uint32_t color) {
  TResizeSettings s;
  SelectRule(s, ResizeRule::Fit);
  s.FixedFitWidth = width;
  s.FixedFitHeight = height;
  s.PaddedFitEnabled = true;
  s.PaddedAlignment = alignment;
  s.PaddingColor = color;
  return s;
}

}  // namespace picaxo::testing
