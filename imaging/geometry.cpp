#include "imaging/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/error.h"

namespace picaxo {

namespace {

// A rounded side as a 32-bit size: never below 1 (a side of 0 cannot be written), saturated at
// the 32-bit range (such a size is refused later, before any allocation).
int32_t SideFromDouble(double value) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= 1.0)) return 1;  // also catches NaN
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

}  // namespace

std::optional<ResizeRule> SelectedRule(const TResizeSettings& settings) {
  if (settings.FixedLongerEnabled) return ResizeRule::LongerSide;
  if (settings.FixedAreaEnabled) return ResizeRule::FixedArea;
  if (settings.PercentEnabled) return ResizeRule::Percent;
  if (settings.FixedFitEnabled) return ResizeRule::Fit;
  return std::nullopt;
}

void SelectRule(TResizeSettings& settings, std::optional<ResizeRule> rule) {
  settings.FixedLongerEnabled = rule == ResizeRule::LongerSide;
  settings.FixedAreaEnabled = rule == ResizeRule::FixedArea;
  settings.PercentEnabled = rule == ResizeRule::Percent;
  settings.FixedFitEnabled = rule == ResizeRule::Fit;
}

std::optional<TSelection> MakeSelection(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                        int32_t sourceWidth, int32_t sourceHeight) {
  if (sourceWidth < 1 || sourceHeight < 1) return std::nullopt;
  TSelection s;
  s.Left = std::clamp(std::min(x0, x1), 0, sourceWidth - 1);
  s.Right = std::clamp(std::max(x0, x1), 0, sourceWidth - 1);
  s.Top = std::clamp(std::min(y0, y1), 0, sourceHeight - 1);
  s.Bottom = std::clamp(std::max(y0, y1), 0, sourceHeight - 1);
  if (s.Left == s.Right && s.Top == s.Bottom) return std::nullopt;
  return s;
}

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

int64_t FixedAreaWidth(int32_t baseWidth, int32_t baseHeight, int32_t areaPixels) {
  // The ratio of an empty base is no number, and the search would never end.
  if (baseWidth < 1 || baseHeight < 1) throw EPicaxoError("The image has no pixels to resize");
  const int64_t wanted = static_cast<int64_t>(areaPixels) * areaPixels;
  const double ratio = static_cast<double>(baseHeight) / static_cast<double>(baseWidth);
  auto area = [ratio](int64_t x) {
    return x * static_cast<int64_t>(RoundHalfEven(ratio * static_cast<double>(x)));
  };
  int64_t x = baseWidth;
  // Without the floor at 1 a very narrow, tall base would run the width negative, where the
  // product grows again and the descent never ends.
  while (area(x) > wanted && x > 1)
    x = std::max<int64_t>(x - 10, 1);
  while (area(x) < wanted)
    ++x;
  return x;
}

OutputGeometry ComputeOutputGeometry(int32_t baseWidth, int32_t baseHeight,
                                     const TResizeSettings& settings, bool allowEnlarge) {
  if (baseWidth < 1 || baseHeight < 1) throw EPicaxoError("The image has no pixels to resize");
  const double w = baseWidth, h = baseHeight;
  const std::optional<ResizeRule> rule = SelectedRule(settings);
  // Out-of-range frame values (a hand-edited settings file) act as the nearest valid size.
  const double fitWidth = std::max<int32_t>(settings.FixedFitWidth, 1);
  const double fitHeight = std::max<int32_t>(settings.FixedFitHeight, 1);

  OutputGeometry g;
  g.Scale = 1.0;
  if (settings.ResizeEnabled && rule) {
    switch (*rule) {
      case ResizeRule::LongerSide:
        g.Scale = static_cast<double>(settings.LongerPixels) / (baseWidth >= baseHeight ? w : h);
        break;
      case ResizeRule::Percent:
        g.Scale = static_cast<double>(settings.Percent) / 100.0;
        break;
      case ResizeRule::FixedArea:
        g.Scale =
            static_cast<double>(FixedAreaWidth(baseWidth, baseHeight, settings.AreaPixels)) / w;
        break;
      case ResizeRule::Fit: {
        g.Scale = fitHeight / h;
        const double byWidth = fitWidth / w;
        if (byWidth < g.Scale) g.Scale = byWidth;
        break;
      }
    }
  }
  // A value rule of 0 or less (possible only from a corrupt settings file) would give no picture.
  if (!(g.Scale > 0.0)) g.Scale = 1.0;
  if (g.Scale > 1.0 && !allowEnlarge) g.Scale = 1.0;

  g.ImageHeight = SideFromDouble(h * g.Scale);
  g.ImageWidth = SideFromDouble(w * g.Scale);
  g.FrameWidth = g.ImageWidth;
  g.FrameHeight = g.ImageHeight;
  if (settings.ResizeEnabled && rule == ResizeRule::Fit && settings.PaddedFitEnabled) {
    g.FrameWidth = static_cast<int32_t>(fitWidth);
    g.FrameHeight = static_cast<int32_t>(fitHeight);
  }
  return g;
}

OutputGeometry ComputeOutputGeometry(int32_t sourceWidth, int32_t sourceHeight,
                                     const std::optional<TSelection>& selection,
                                     const TResizeSettings& settings, bool allowEnlarge) {
  // Held to the picture as it is now, exactly as the conversion holds it, so that the label and
  // the written file always agree (a single pixel, or a rectangle kept from before a rotation).
  if (selection) {
    if (const std::optional<TSelection> held =
            MakeSelection(selection->Left, selection->Top, selection->Right, selection->Bottom,
                          sourceWidth, sourceHeight))
      return ComputeOutputGeometry(held->Width(), held->Height(), settings, allowEnlarge);
  }
  return ComputeOutputGeometry(sourceWidth, sourceHeight, settings, allowEnlarge);
}

std::string DimensionText(const OutputGeometry& geometry) {
  char text[32];
  std::snprintf(text, sizeof text, "%dx%d", geometry.FrameWidth, geometry.FrameHeight);
  return text;
}

std::string SelectionText(const std::optional<TSelection>& selection) {
  if (!selection) return "[all]";
  char text[64];
  std::snprintf(text, sizeof text, "(%d,%d) - %dx%d", selection->Left, selection->Top,
                selection->Width(), selection->Height());
  return text;
}

TPlacement PlacePicture(uint8_t alignment, int32_t frameWidth, int32_t frameHeight,
                        int32_t pictureWidth, int32_t pictureHeight) {
  if (!IsValidAlignment(alignment)) alignment = kAlignCenter;
  // Integer halves truncate toward zero, as the composition has always placed centred pictures.
  const int64_t cx = static_cast<int64_t>(frameWidth / 2) - pictureWidth / 2;
  const int64_t cy = static_cast<int64_t>(frameHeight / 2) - pictureHeight / 2;
  const int64_t right = static_cast<int64_t>(frameWidth) - pictureWidth;
  const int64_t bottom = static_cast<int64_t>(frameHeight) - pictureHeight;
  const int column = (alignment - 1) % 3, row = (alignment - 1) / 3;
  const int64_t x = column == 0 ? 0 : column == 1 ? cx : right;
  const int64_t y = row == 0 ? 0 : row == 1 ? cy : bottom;
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

}  // namespace picaxo
