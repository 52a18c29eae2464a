#pragma once
// Destination settings and the output size computed from them.
//
// Arithmetic: every division and product of the geometry is an IEEE double operation, and Round is
// round-half-to-even of that double (std::nearbyint under the default rounding mode). So Percent 7
// of 150 is 10.500000000000002 and rounds to 11, while Percent 50 of 5 is exactly 2.5 and gives 2.
#include <cstdint>
#include <optional>
#include <string>

namespace picaxo {

enum class ResizeRule { LongerSide, FixedArea, Percent, Fit };

// A picture's size in pixels.
struct TPictureSize {
  int Width = 0;
  int Height = 0;
};

// Where the picture sits inside a padded Fit frame: the 3 x 3 grid numbered row by row.
inline constexpr uint8_t kAlignLeftTop = 1;
inline constexpr uint8_t kAlignCenterTop = 2;
inline constexpr uint8_t kAlignRightTop = 3;
inline constexpr uint8_t kAlignLeftCenter = 4;
inline constexpr uint8_t kAlignCenter = 5;
inline constexpr uint8_t kAlignRightCenter = 6;
inline constexpr uint8_t kAlignLeftBottom = 7;
inline constexpr uint8_t kAlignCenterBottom = 8;
inline constexpr uint8_t kAlignRightBottom = 9;

inline bool IsValidAlignment(int value) {
  return value >= kAlignLeftTop && value <= kAlignRightBottom;
}

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
  uint8_t ColorProfile = 0;  // TColorProfilePolicy: 0 convert to sRGB, 1 keep, 2 ignore
  uint8_t Metadata = 0;      // TMetadataPolicy: 0 strip, 1 keep, 2 keep public
  uint8_t OutputFormat = 0;  // EOutputFormat: 0 JPEG, 1 WebP, 2 AVIF, 3 PNG

  bool operator==(const TResizeSettings&) const = default;
};

// Value ranges of the spin-controlled fields.
inline constexpr int kMinLongerPixels = 10, kMaxLongerPixels = 10000;
inline constexpr int kMinAreaPixels = 10, kMaxAreaPixels = 10000;
inline constexpr int kMinPercent = 1, kMaxPercent = 500;
inline constexpr int kMinJpegQuality = 1, kMaxJpegQuality = 100;

// The selected rule: the first flag set in the order LongerSide, FixedArea, Percent, Fit, or none.
std::optional<ResizeRule> SelectedRule(const TResizeSettings& settings);
// Selects one rule (clearing the other three flags), or none.
void SelectRule(TResizeSettings& settings, std::optional<ResizeRule> rule);

// A crop rectangle in source pixels: normalised (Left <= Right, Top <= Bottom), inclusive (Right
// and Bottom are the last selected column and row) and clamped to the source. Left = -1 marks
// "no selection" where a plain value must stand for the absent case (the per-image entry).
struct TSelection {
  int32_t Left = -1;
  int32_t Top = -1;
  int32_t Right = -1;
  int32_t Bottom = -1;

  int32_t Width() const { return Right - Left + 1; }
  int32_t Height() const { return Bottom - Top + 1; }
  bool operator==(const TSelection&) const = default;
};

// The selection spanned by two corner pixels (in any order), clamped to a source of the given size.
// A single pixel is no selection, a strip one pixel wide or high is one. Empty for an empty source.
std::optional<TSelection> MakeSelection(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                        int32_t sourceWidth, int32_t sourceHeight);

// The result of ComputeOutputGeometry. Frame and Image are equal unless the padded Fit frame
// applies; a Frame that differs from the Image is the signal that padding is needed.
struct OutputGeometry {
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  double Scale = 1.0;
  int32_t ImageWidth = 0;
  int32_t ImageHeight = 0;

  bool Padded() const { return FrameWidth != ImageWidth || FrameHeight != ImageHeight; }
  bool operator==(const OutputGeometry&) const = default;
};

// Round to nearest, ties to even, of a double.
double RoundHalfEven(double value);

// The fixed-area search: the smallest width x, at or above the point where a descent in steps of
// 10 from baseWidth stopped (never below 1), whose area x * Round(H / W * x) reaches
// areaPixels squared. Both base sides must be at least 1 (else EPicaxoError).
int64_t FixedAreaWidth(int32_t baseWidth, int32_t baseHeight, int32_t areaPixels);

// Destination size of a picture of baseWidth x baseHeight (the source, or the selection when there
// is one; both at least 1, else EPicaxoError). allowEnlarge is the resolved choice of the current
// image (entry's EnlargeChoice, else settings.AllowEnlarge).
// No side of the image or the frame is ever below 1, and sides beyond the 32-bit range saturate
// (the pipeline refuses anything above kMaxRasterPixels). The padded frame applies only while
// resizing is on: with Resize off the geometry is the unscaled picture.
OutputGeometry ComputeOutputGeometry(int32_t baseWidth, int32_t baseHeight,
                                     const TResizeSettings& settings, bool allowEnlarge);

// Base size of the computation: the selection when there is one (normalised and clamped to the
// source first, as MakeSelection does; what is left of a single pixel counts as none), otherwise
// the source.
OutputGeometry ComputeOutputGeometry(int32_t sourceWidth, int32_t sourceHeight,
                                     const std::optional<TSelection>& selection,
                                     const TResizeSettings& settings, bool allowEnlarge);

// Texts of the dimension and selection labels.
std::string DimensionText(const OutputGeometry& geometry);  // "%dx%d" of the frame
std::string SelectionText(
    const std::optional<TSelection>& selection);  // "(%d,%d) - %dx%d" or "[all]"

// Top-left corner of a picture of pictureWidth x pictureHeight inside a frame of frameWidth x
// frameHeight for alignment 1 ... 9 (others act as 5). Negative when the picture is larger.
struct TPlacement {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TPlacement&) const = default;
};
TPlacement PlacePicture(uint8_t alignment, int32_t frameWidth, int32_t frameHeight,
                        int32_t pictureWidth, int32_t pictureHeight);

}  // namespace picaxo
