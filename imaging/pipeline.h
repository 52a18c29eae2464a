#pragma once
// The conversion of one source picture into the bytes of its destination file (JPEG, WebP, AVIF or
// PNG).
//
// Data flow of a save: the source file is decoded once into a raster (LoadSourceImage). For each
// conversion the geometry gives the frame; the picture is cropped to the selection and placed into
// the padded frame when either applies (the working raster, "composed"), resampled with the
// Lanczos-3 kernel when its size differs from the frame, and encoded at the chosen quality in the
// chosen format. When nothing would change the pixels of a source already in that format and
// recompression is not forced, the source file's own bytes are the output instead ("direct
// copy"). Every temporary raster and codec object
// lives for one call and is released on every path, errors included.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/color_profile.h"
#include "imaging/geometry.h"
#include "imaging/image_format.h"
#include "imaging/metadata.h"
#include "imaging/output_codec.h"
#include "imaging/raster.h"

namespace picaxo {

// Support radius that goes with the Lanczos-3 kernel the conversion resamples with.
inline constexpr float kLanczos3Support = 3.0f;

// The policies of settings (values out of range read as the defaults).
TColorProfilePolicy ColorProfilePolicyOf(const TResizeSettings& settings);
TMetadataPolicy MetadataPolicyOf(const TResizeSettings& settings);
EOutputFormat OutputFormatOf(const TResizeSettings& settings);

// How a source is read besides decoding it.
struct TSourceOptions {
  // Turn a JPEG upright by its EXIF orientation right after decoding, before anything sees it.
  bool AutoOrient = true;
  // Under Convert a JPEG's colours are converted to sRGB by its profile as they are decoded.
  TColorProfilePolicy Color = TColorProfilePolicy::Convert;
  // The colour a transparent picture (PNG, WebP, HEIF, AVIF, TIFF) is composited over, as
  // 0x00BBGGRR: the padding colour, since the output has no alpha.
  uint32_t Background = 0;

  // A picture decoded under other options is another picture.
  bool operator==(const TSourceOptions&) const = default;
};

// What reading a source did besides decoding it.
struct TSourceNotes {
  // The EXIF orientation (1 ... 8) the pixels were turned by; 1 when they are as stored.
  int AppliedOrientation = 1;
  // What of the file's metadata was ignored as broken, for a warning (empty when nothing was).
  std::string Ignored;
  // The decoder warned of corrupt or missing image data: part of the picture is made up.
  bool Damaged = false;
  // The picture had an alpha channel, composited over TSourceOptions::Background.
  bool HadAlpha = false;
};

// The EXIF orientation a JPEG source held in memory is turned by under options, and what was
// ignored reading it.
TSourceNotes SourceOrientation(std::string_view jpegFile, const TSourceOptions& options);

struct TLoadedSource {
  TRasterImage Picture;
  TSourceNotes Notes;
};

// Decodes a source file by the format its name announces (SourceFormatFromName): ".jpg" and
// ".jpeg" through the JPEG codec, ".png", ".webp", ".heic", ".heif", ".avif", ".tif" and ".tiff"
// through their readers (whose EXIF orientation and colour profile are applied as a JPEG's are;
// transparency over options.Background), anything else through the BMP reader. The raster keeps the
// stored pixel format (a palette BMP stays 8-bit) unless it is turned upright, which gives 24 bits.
// Colours are handled by options.Color; a profile that cannot be used is ignored and warning (when
// given) says so. Throws the codec's or the reader's error.
TLoadedSource LoadSource(const std::string& path, const TSourceOptions& options,
                         std::string* warning = nullptr);
// LoadSource of a PNG, WebP, HEIF, AVIF or TIFF file held in memory; pictures above maxPixels
// are refused before their pixels are allocated.
TLoadedSource LoadSourceBytes(std::string_view file, EImageFormat format,
                              const TSourceOptions& options, int64_t maxPixels,
                              std::string* warning = nullptr);
// The picture of LoadSource with the default options. *damaged tells whether the decoder warned
// of corrupt or missing image data, so that part of the picture is made up.
TRasterImage LoadSourceImage(const std::string& path, bool* damaged);
// The picture of LoadSource with the default options but the colour policy.
TRasterImage LoadSourceImage(const std::string& path,
                             TColorProfilePolicy color = TColorProfilePolicy::Convert,
                             std::string* warning = nullptr);

enum class TOutputKind {
  Nothing,     // no source picture: nothing was produced
  DirectCopy,  // the bytes are the source file's, unchanged
  Encoded,     // the bytes are a fresh encoding in the output format
};

// Whether the conversion may free the caller's source raster once it is no longer needed (before
// encoding), to lower the peak memory of a one-shot conversion.
enum class TSourceRetention { Keep, Release };

struct TConvertRequest {
  std::string SourcePath;  // read for a direct copy; its name (and then its bytes) give its format
  std::optional<TSelection> Selection;  // crop, in source pixels (normalised, inclusive, clamped)
  TResizeSettings Settings;
  bool AllowEnlarge = false;     // resolved per image (entry's choice, else the settings)
  bool ForceRecompress = false;  // resolved per image (entry's choice, else AlwaysRecompress)
  TSourceRetention Retention = TSourceRetention::Keep;
  // The EXIF orientation the source raster was turned by on loading (TSourceNotes), passed on to
  // the result.
  int AppliedOrientation = 1;
};

// What a conversion will do, decided from sizes and names alone (no pixels touched).
struct TConversionPlan {
  OutputGeometry Geometry;
  bool Composed = false;    // a working raster is built (selection and/or padded frame)
  bool Resampled = false;   // the working raster's size differs from the frame
  bool DirectCopy = false;  // the source file's bytes are written unchanged
  TSelection Crop;          // the source rectangle used: the selection, or the whole source
  int32_t WorkWidth = 0;    // working raster (the source or selection when not composed)
  int32_t WorkHeight = 0;
  int32_t PictureX = 0;  // where the picture sits in the working raster
  int32_t PictureY = 0;
};

// Plans the conversion of a source of sourceWidth x sourceHeight (both at least 1). Throws
// ERasterTooLarge when the frame or the working raster would exceed kMaxRasterPixels.
TConversionPlan PlanConversion(int32_t sourceWidth, int32_t sourceHeight,
                               const TConvertRequest& request);

struct TConversion {
  TOutputKind Kind = TOutputKind::Nothing;
  OutputGeometry Geometry;
  std::string Bytes;  // the complete destination file
  // The EXIF orientation (1 ... 8) the source's pixels were turned by before the conversion saw
  // them; 1 when they are as stored. Kept metadata must then say 1.
  int AppliedOrientation = 1;
  // The source's image data was damaged (corrupt or missing); known to conversions that decode
  // the source themselves (ConvertRows).
  bool SourceDamaged = false;
  // What was ignored on the way (a broken colour profile, unreadable metadata), one line; empty
  // when nothing was.
  std::string Warning;
};

// The source file of a planned direct copy, read whole, when its bytes are those of the output
// format; nothing when they are not (a file misnamed), which is then encoded instead.
std::optional<std::string> ReadDirectCopy(const TConvertRequest& request);
// The bytes of a direct copy of file: the file itself, without its private metadata under
// KeepPublic (a JPEG; other formats are not copied under KeepPublic, see PlanConversion).
std::string DirectCopyBytes(std::string file, const TConvertRequest& request, std::string& warning);
// Adds to a fresh encoding what the request's policies take over from a JPEG source: its
// metadata (Keep, KeepPublic) and its colour profile (Keep).
std::string WithSourceMarkers(std::string encoded, const TConvertRequest& request,
                              const OutputGeometry& geometry, std::string& warning);
// What an output in a format other than JPEG takes over from a JPEG source under the request's
// policies: the RGB colour profile (Keep), the EXIF (with the new size, orientation 1 when the
// pixels were turned, no thumbnail) and the XMP (Keep, KeepPublic without private fields).
TOutputExtras SourceExtras(const TConvertRequest& request, const OutputGeometry& geometry,
                           std::string& warning);
// The complete file of picture in the request's output format at its quality, with what the
// policies take over from the source.
std::string EncodeOutput(const TRasterImage& picture, const TConvertRequest& request,
                         const OutputGeometry& geometry, std::string& warning);
// Joins two warnings into one line.
void AddWarning(std::string& warning, const std::string& more);

// Converts source (which may be converted to 24-bit in place, and is emptied when the request
// allows it) into the complete destination file. An empty source gives TOutputKind::Nothing.
TConversion ConvertImage(TRasterImage& source, const TConvertRequest& request);
// The same bytes from a source that is only read, such as a raster the view shows at the same
// time: a source that is not 24-bit is widened into temporaries (row by row where the picture is
// composed, whole where it is resampled as it is). Retention is ignored.
TConversion ConvertImage(const TRasterImage& source, const TConvertRequest& request);

// The preview's round trip: the bytes a save would write, decoded again.
struct TPreview {
  TRasterImage Picture;  // decoded output
  int64_t ByteSize = 0;  // size of the file a save would write
  int32_t Width = 0;     // decoded size
  int32_t Height = 0;
};
// The bytes of a file in format decoded (the preview's second half).
TPreview DecodePreview(const std::string& bytes, EOutputFormat format = EOutputFormat::Jpeg);
TPreview RenderPreview(TRasterImage& source, const TConvertRequest& request);
// The preview of a source that is only read (see the const ConvertImage).
TPreview RenderPreview(const TRasterImage& source, const TConvertRequest& request);

// "%dKB" with Round(n / 1024) (ties to even) when that is not 0, otherwise "%d bytes".
std::string FormatFileSize(int64_t n);
// FormatFileSize(n), and with a ratio (when width and height are at least 1) "  [%.1f%%]" of the
// uncompressed 24-bit size.
enum class TRatio { Omit, Include };
std::string SizeAndRatioText(int64_t n, int32_t width, int32_t height, TRatio ratio);

}  // namespace picaxo
