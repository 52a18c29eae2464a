#include "imaging/pipeline.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "base/file_util.h"
#include "imaging/bmp.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "imaging/orient.h"
#include "imaging/pipeline_stream.h"
#include "imaging/resample.h"
#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

std::string SizeText(double width, double height) {
  char text[96];
  std::snprintf(text, sizeof text, "%.0f x %.0f", width, height);
  return text;
}

// Refuses a raster of the given size, in doubles so that no product can overflow first.
void CheckPlannedRaster(const char* what, double width, double height) {
  if (width >= 1.0 && height >= 1.0 && width * height <= static_cast<double>(kMaxRasterPixels))
    return;
  throw ERasterTooLarge(std::string("The ") + what + " of " + SizeText(width, height) +
                        " pixels is too large (the limit is " +
                        std::to_string(kMaxRasterPixels / 1'000'000) + " megapixels)");
}

}  // namespace

TColorProfilePolicy ColorProfilePolicyOf(const TResizeSettings& settings) {
  return settings.ColorProfile <= 2 ? static_cast<TColorProfilePolicy>(settings.ColorProfile)
                                    : TColorProfilePolicy::Convert;
}

TMetadataPolicy MetadataPolicyOf(const TResizeSettings& settings) {
  return settings.Metadata <= 2 ? static_cast<TMetadataPolicy>(settings.Metadata)
                                : TMetadataPolicy::Strip;
}

EOutputFormat OutputFormatOf(const TResizeSettings& settings) {
  return settings.OutputFormat <= 3 ? static_cast<EOutputFormat>(settings.OutputFormat)
                                    : EOutputFormat::Jpeg;
}

void AddWarning(std::string& warning, const std::string& more) {
  if (more.empty()) return;
  if (!warning.empty()) warning += "; ";
  warning += more;
}

TSourceNotes SourceOrientation(std::string_view jpegFile, const TSourceOptions& options) {
  TSourceNotes notes;
  if (!options.AutoOrient) return notes;
  const TExifOrientation exif = ReadExifOrientation(jpegFile);
  notes.AppliedOrientation = exif.Orientation;
  notes.Ignored = exif.Ignored;
  return notes;
}

TLoadedSource LoadSource(const std::string& path, const TSourceOptions& options,
                         std::string* warning) {
  TLoadedSource loaded;
  const std::optional<EImageFormat> format = SourceFormatFromName(path);
  if (format && *format != EImageFormat::Jpeg && *format != EImageFormat::Bmp)
    return LoadSourceBytes(ReadWholeFile(path), *format, options, kMaxRasterPixels, warning);
  if (format != EImageFormat::Jpeg) {
    loaded.Picture = ReadBitmapFile(path);
    return loaded;
  }
  std::string file = ReadWholeFile(path);
  loaded.Notes = SourceOrientation(file, options);
  // A turned picture is turned as it is decoded: the stored one never exists whole.
  if (loaded.Notes.AppliedOrientation != 1)
    return LoadUprightJpeg(std::move(file), options, warning);
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(std::move(file));
  jpeg.SetColorTransform(SourceColorTransform(jpeg.CompressedData(), options.Color, warning));
  // The component's raster is handed over, not copied: a 20-megapixel source exists once.
  loaded.Picture = jpeg.TakeRaster();
  loaded.Notes.Damaged = jpeg.DamageCount() > 0;
  return loaded;
}

TLoadedSource LoadSourceBytes(std::string_view file, EImageFormat format,
                              const TSourceOptions& options, int64_t maxPixels,
                              std::string* warning) {
  TDecodedPicture decoded = DecodeSourceFormat(format, file, options.Background, maxPixels);
  TLoadedSource loaded;
  loaded.Notes.HadAlpha = decoded.HadAlpha;
  // HEIF's rotation and mirror are applied by its reader; the EXIF orientation such files also
  // carry describes the stored picture before them and would turn it twice.
  const bool heif = format == EImageFormat::Heif || format == EImageFormat::Avif;
  if (options.AutoOrient && decoded.Orientation != 0) {
    loaded.Notes.AppliedOrientation = decoded.Orientation;
  } else if (options.AutoOrient && !heif && !decoded.Exif.empty()) {
    const TExifOrientation exif = ReadExifOrientationTiff(decoded.Exif);
    loaded.Notes.AppliedOrientation = exif.Orientation;
    loaded.Notes.Ignored = exif.Ignored;
  }
  TRasterImage& picture = decoded.Picture;
  if (options.Color == TColorProfilePolicy::Convert && !decoded.Icc.empty()) {
    TIccProfile profile;
    profile.State = TIccProfile::TState::Present;
    profile.Data = std::move(decoded.Icc);
    const std::shared_ptr<const TColorTransform> transform = ColorTransformFor(
        profile, decoded.Gray ? TDecodedColors::Gray : TDecodedColors::Rgb, warning);
    if (transform && !transform->Cmyk())
      for (int y = 0; y < picture.Height(); ++y)
        transform->ConvertBgr(picture.ScanLine(y), picture.Width());
  }
  const int orientation = loaded.Notes.AppliedOrientation;
  if (orientation != 1 && !OrientRasterInPlace(picture, orientation))
    picture = OrientRaster(picture, orientation);
  loaded.Picture = std::move(picture);
  return loaded;
}

TRasterImage LoadSourceImage(const std::string& path, bool* damaged) {
  TLoadedSource loaded = LoadSource(path, TSourceOptions{});
  if (damaged) *damaged = loaded.Notes.Damaged;
  return std::move(loaded.Picture);
}

TRasterImage LoadSourceImage(const std::string& path, TColorProfilePolicy color,
                             std::string* warning) {
  TSourceOptions options;
  options.Color = color;
  return std::move(LoadSource(path, options, warning).Picture);
}

TConversionPlan PlanConversion(int32_t sourceWidth, int32_t sourceHeight,
                               const TConvertRequest& request) {
  TConversionPlan plan;
  // A selection kept from an earlier state of the file (rotated since, for example) is held to the
  // picture as it is now.
  std::optional<TSelection> selection;
  if (request.Selection)
    selection =
        MakeSelection(request.Selection->Left, request.Selection->Top, request.Selection->Right,
                      request.Selection->Bottom, sourceWidth, sourceHeight);
  plan.Geometry = ComputeOutputGeometry(sourceWidth, sourceHeight, selection, request.Settings,
                                        request.AllowEnlarge);
  const OutputGeometry& g = plan.Geometry;
  CheckPlannedRaster("destination image", g.FrameWidth, g.FrameHeight);

  plan.Crop = selection.value_or(TSelection{0, 0, sourceWidth - 1, sourceHeight - 1});
  const int32_t pictureWidth = plan.Crop.Width();
  const int32_t pictureHeight = plan.Crop.Height();
  plan.WorkWidth = pictureWidth;
  plan.WorkHeight = pictureHeight;
  if (g.Padded()) {
    // The frame expressed in source pixels; the border is resampled together with the picture.
    const double workWidth = RoundHalfEven(g.FrameWidth / g.Scale);
    const double workHeight = RoundHalfEven(g.FrameHeight / g.Scale);
    CheckPlannedRaster("padded working image", workWidth, workHeight);
    plan.WorkWidth = static_cast<int32_t>(workWidth);
    plan.WorkHeight = static_cast<int32_t>(workHeight);
    const TPlacement at = PlacePicture(request.Settings.PaddedAlignment, plan.WorkWidth,
                                       plan.WorkHeight, pictureWidth, pictureHeight);
    plan.PictureX = at.X;
    plan.PictureY = at.Y;
  }
  plan.Composed = g.Padded() || selection.has_value();
  // Both sides are compared: a picture whose width already fits but whose height does not is
  // still resampled.
  plan.Resampled = plan.WorkWidth != g.FrameWidth || plan.WorkHeight != g.FrameHeight;
  // A source in the output format is copied. Only a JPEG's private metadata can be taken out of a
  // copy, so under KeepPublic the other formats are encoded (they then carry none of it).
  const EOutputFormat format = OutputFormatOf(request.Settings);
  const bool sameFormat = SourceFormatFromName(request.SourcePath) == ImageFormatOf(format) &&
                          (format == EOutputFormat::Jpeg ||
                           MetadataPolicyOf(request.Settings) != TMetadataPolicy::KeepPublic);
  plan.DirectCopy = !request.ForceRecompress && !plan.Composed && !plan.Resampled && sameFormat;
  return plan;
}

namespace {

// Copies the plan's crop of source into the working raster at the picture's place, with
// CopyRect's clipping. A source that is not 24-bit is widened one row at a time.
void PlaceSourcePicture(TRasterImage& work, const TRasterImage& source,
                        const TConversionPlan& plan) {
  if (source.PixelFormat() == TPixelFormat::pf24bit) {
    work.CopyRect(plan.PictureX, plan.PictureY, source, plan.Crop.Left, plan.Crop.Top,
                  plan.Crop.Width(), plan.Crop.Height());
    return;
  }
  TRasterImage row(source.Width(), 1);
  for (int y = 0; y < plan.Crop.Height(); ++y) {
    const int workRow = plan.PictureY + y;
    if (workRow < 0 || workRow >= work.Height()) continue;
    source.WidenRow(plan.Crop.Top + y, row.ScanLine(0));
    work.CopyRect(plan.PictureX, workRow, row, plan.Crop.Left, 0, plan.Crop.Width(), 1);
  }
}

// The conversion itself; source is only read. releasable is the caller's source when it may be
// freed once no longer needed (before encoding), otherwise null.
TConversion ConvertSource(const TRasterImage& source, TRasterImage* releasable,
                          const TConvertRequest& request) {
  TConversion result;
  if (source.Empty()) return result;
  const TConversionPlan plan = PlanConversion(source.Width(), source.Height(), request);
  result.Geometry = plan.Geometry;
  result.AppliedOrientation = request.AppliedOrientation;
  const auto release = [releasable] {
    if (releasable) *releasable = TRasterImage();
  };

  if (plan.DirectCopy) {
    if (std::optional<std::string> file = ReadDirectCopy(request)) {
      release();
      result.Bytes = DirectCopyBytes(std::move(*file), request, result.Warning);
      result.Kind = TOutputKind::DirectCopy;
      return result;
    }
  }

  // Work is the source itself unless a crop or a padded frame is needed.
  TRasterImage work;
  const TRasterImage* workImage = &source;
  if (plan.Composed) {
    work = TRasterImage(plan.WorkWidth, plan.WorkHeight);
    if (plan.Geometry.Padded())
      work.FillRect(0, 0, work.Width(), work.Height(), request.Settings.PaddingColor);
    PlaceSourcePicture(work, source, plan);
    workImage = &work;
    release();
  }

  TRasterImage out;
  const TRasterImage* outImage = workImage;
  if (plan.Resampled) {
    out = TRasterImage(plan.Geometry.FrameWidth, plan.Geometry.FrameHeight);
    if (workImage == &work) {
      ResampleImage(work, out, Lanczos3Kernel, kLanczos3Support);
    } else {
      ResampleImage(source, out, Lanczos3Kernel, kLanczos3Support);
    }
    outImage = &out;
  }

  if (OutputFormatOf(request.Settings) != EOutputFormat::Jpeg) {
    if (outImage != &source) release();
    result.Bytes = EncodeOutput(*outImage, request, plan.Geometry, result.Warning);
    result.Kind = TOutputKind::Encoded;
    return result;
  }
  TJPEGImage jpeg;
  jpeg.Assign(*outImage);
  // The codec holds its own copy now: drop the temporaries (and the source when allowed) before
  // the encoder makes its working copy.
  work = TRasterImage();
  out = TRasterImage();
  release();
  jpeg.SetCompressionQuality(request.Settings.JpegQuality);
  jpeg.Compress();
  result.Bytes = WithSourceMarkers(jpeg.CompressedData(), request, plan.Geometry, result.Warning);
  result.Kind = TOutputKind::Encoded;
  return result;
}

}  // namespace

namespace {

constexpr size_t kMaxSegmentPayload = 65533;

// The source's metadata and profile as the header segments of a JPEG (APP1 EXIF, APP1 XMP, APP2
// profile chunks), so that one path takes them over from every format: a JPEG's own header, the
// parts another format carries made into segments, nothing for a bitmap.
std::string SourceMetadataHeader(const std::string& path, std::string& warning) {
  const std::optional<EImageFormat> format = SourceFormatFromName(path);
  if (!format || *format == EImageFormat::Bmp) return {};
  if (*format == EImageFormat::Jpeg) return ReadJpegHeaderBytes(path);
  const TOutputExtras extras = ReadFormatExtras(*format, ReadWholeFile(path));
  std::string header = "\xFF\xD8";
  const auto add = [&](std::string_view id, const std::string& data, const char* part) {
    if (data.empty()) return;
    if (id.size() + data.size() > kMaxSegmentPayload)
      AddWarning(warning, std::string(part) + " too large for one segment was left out");
    else
      header += MakeSegment(0xE1, std::string(id) + data);
  };
  add(std::string_view("Exif\0\0", 6), extras.Exif, "EXIF");
  add(std::string_view("http://ns.adobe.com/xap/1.0/\0", 29), extras.Xmp, "XMP");
  if (!extras.IccProfile.empty()) header += IccProfileSegments(extras.IccProfile);
  return header;
}

// What the kept EXIF must say about the output: its size, and orientation 1 when the pixels were
// turned. A HEIF picture is always upright once read (its rotation is part of it), whatever
// orientation its EXIF states.
TPictureChanges ChangesOf(const TConvertRequest& request, const OutputGeometry& geometry) {
  const std::optional<EImageFormat> format = SourceFormatFromName(request.SourcePath);
  const bool heif = format == EImageFormat::Heif || format == EImageFormat::Avif;
  return {geometry.FrameWidth, geometry.FrameHeight, request.AppliedOrientation != 1 || heif};
}

}  // namespace

std::optional<std::string> ReadDirectCopy(const TConvertRequest& request) {
  std::string file = ReadWholeFile(request.SourcePath);
  if (!FileHoldsFormat(file, ImageFormatOf(OutputFormatOf(request.Settings)))) return std::nullopt;
  return file;
}

std::string DirectCopyBytes(std::string file, const TConvertRequest& request,
                            std::string& warning) {
  // The source file itself, read-only and whole: every marker survives (but private ones).
  if (MetadataPolicyOf(request.Settings) != TMetadataPolicy::KeepPublic ||
      OutputFormatOf(request.Settings) != EOutputFormat::Jpeg)
    return file;
  std::string problem;
  file = WithoutPrivateMetadata(std::move(file), &problem);
  AddWarning(warning, problem);
  return file;
}

std::string WithSourceMarkers(std::string encoded, const TConvertRequest& request,
                              const OutputGeometry& geometry, std::string& warning) {
  const TColorProfilePolicy color = ColorProfilePolicyOf(request.Settings);
  const TMetadataPolicy metadata = MetadataPolicyOf(request.Settings);
  if ((color != TColorProfilePolicy::Keep && metadata == TMetadataPolicy::Strip) || encoded.empty())
    return encoded;
  const std::string header = SourceMetadataHeader(request.SourcePath, warning);
  if (header.empty()) return encoded;
  std::string segments;
  if (metadata != TMetadataPolicy::Strip) {
    std::string problem;
    const TPictureChanges changes = ChangesOf(request, geometry);
    segments = MetadataSegments(header, metadata, changes, &problem);
    AddWarning(warning, problem);
  }
  if (color == TColorProfilePolicy::Keep) {
    const TIccProfile profile = AssembleIccProfile(ReadJpegSegments(header));
    // The output is an RGB file: only an RGB profile describes it.
    if (profile.State == TIccProfile::TState::Present && profile.Data.compare(16, 4, "RGB ") == 0)
      segments += IccProfileSegments(profile.Data);
    else if (profile.State == TIccProfile::TState::Broken)
      AddWarning(warning, "the colour profile was ignored: " + profile.Problem);
  }
  if (segments.empty()) return encoded;
  return InsertSegmentsAfterApp0(encoded, segments);
}

TOutputExtras SourceExtras(const TConvertRequest& request, const OutputGeometry& geometry,
                           std::string& warning) {
  TOutputExtras extras;
  const TColorProfilePolicy color = ColorProfilePolicyOf(request.Settings);
  const TMetadataPolicy metadata = MetadataPolicyOf(request.Settings);
  if (color != TColorProfilePolicy::Keep && metadata == TMetadataPolicy::Strip) return extras;
  const std::string header = SourceMetadataHeader(request.SourcePath, warning);
  if (header.empty()) return extras;
  if (metadata != TMetadataPolicy::Strip) {
    std::string problem;
    const TPictureChanges changes = ChangesOf(request, geometry);
    // The segments a JPEG output would carry, taken apart again for the other containers.
    const std::string segments = "\xFF\xD8" + MetadataSegments(header, metadata, changes, &problem);
    AddWarning(warning, problem);
    static constexpr std::string_view kExif("Exif\0\0", 6);
    static constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    for (const TJpegSegment& segment : ReadJpegSegments(segments)) {
      if (segment.Marker != 0xE1) continue;
      if (PayloadStartsWith(segment.Payload, kExif) && extras.Exif.empty())
        extras.Exif = segment.Payload.substr(kExif.size());
      else if (PayloadStartsWith(segment.Payload, kXmp) && extras.Xmp.empty())
        extras.Xmp = segment.Payload.substr(kXmp.size());
    }
  }
  if (color == TColorProfilePolicy::Keep) {
    TIccProfile profile = AssembleIccProfile(ReadJpegSegments(header));
    // The output is an RGB file: only an RGB profile describes it.
    if (profile.State == TIccProfile::TState::Present && profile.Data.compare(16, 4, "RGB ") == 0)
      extras.IccProfile = std::move(profile.Data);
    else if (profile.State == TIccProfile::TState::Broken)
      AddWarning(warning, "the colour profile was ignored: " + profile.Problem);
  }
  return extras;
}

std::string EncodeOutput(const TRasterImage& picture, const TConvertRequest& request,
                         const OutputGeometry& geometry, std::string& warning) {
  const int quality = request.Settings.JpegQuality;
  switch (OutputFormatOf(request.Settings)) {
    case EOutputFormat::WebP:
      return EncodeWebP(picture, quality, SourceExtras(request, geometry, warning));
    case EOutputFormat::Avif:
      return EncodeAvif(picture, quality, SourceExtras(request, geometry, warning));
    case EOutputFormat::Png:
      return EncodePng(picture, SourceExtras(request, geometry, warning));
    case EOutputFormat::Jpeg:
      break;
  }
  TJPEGImage jpeg;
  jpeg.Assign(picture);
  jpeg.SetCompressionQuality(request.Settings.JpegQuality);
  jpeg.Compress();
  return WithSourceMarkers(jpeg.CompressedData(), request, geometry, warning);
}

TConversion ConvertImage(TRasterImage& source, const TConvertRequest& request) {
  // Widened in place once, so that later conversions of the same raster read it as it is.
  if (!source.Empty() && source.PixelFormat() != TPixelFormat::pf24bit) {
    const TConversionPlan plan = PlanConversion(source.Width(), source.Height(), request);
    if (plan.Composed || plan.Resampled) source.SetPixelFormat(TPixelFormat::pf24bit);
  }
  return ConvertSource(source, request.Retention == TSourceRetention::Release ? &source : nullptr,
                       request);
}

TConversion ConvertImage(const TRasterImage& source, const TConvertRequest& request) {
  return ConvertSource(source, nullptr, request);
}

TPreview DecodePreview(const std::string& bytes, EOutputFormat format) {
  TPreview preview;
  preview.ByteSize = static_cast<int64_t>(bytes.size());
  switch (format) {
    case EOutputFormat::WebP:
      preview.Picture = DecodeWebP(bytes);
      break;
    case EOutputFormat::Avif:
      preview.Picture = DecodeAvif(bytes);
      break;
    case EOutputFormat::Png:
      preview.Picture = DecodePng(bytes);
      break;
    case EOutputFormat::Jpeg: {
      TJPEGImage jpeg;
      jpeg.LoadFromBytes(bytes);
      preview.Picture = jpeg.TakeRaster();
      break;
    }
  }
  preview.Width = preview.Picture.Width();
  preview.Height = preview.Picture.Height();
  return preview;
}

TPreview RenderPreview(TRasterImage& source, const TConvertRequest& request) {
  TConvertRequest keep = request;
  keep.Retention = TSourceRetention::Keep;  // the view keeps showing the source afterwards
  const TConversion conversion = ConvertImage(source, keep);
  if (conversion.Kind == TOutputKind::Nothing) return {};
  return DecodePreview(conversion.Bytes, OutputFormatOf(request.Settings));
}

TPreview RenderPreview(const TRasterImage& source, const TConvertRequest& request) {
  const TConversion conversion = ConvertImage(source, request);
  if (conversion.Kind == TOutputKind::Nothing) return {};
  return DecodePreview(conversion.Bytes, OutputFormatOf(request.Settings));
}

std::string FormatFileSize(int64_t n) {
  const double k = RoundHalfEven(static_cast<double>(n) / 1024.0);
  char text[48];
  if (k != 0)
    std::snprintf(text, sizeof text, "%.0fKB", k);
  else
    std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(n));
  return text;
}

std::string SizeAndRatioText(int64_t n, int32_t width, int32_t height, TRatio ratio) {
  std::string text = FormatFileSize(n);
  if (ratio == TRatio::Include && width >= 1 && height >= 1) {
    const double uncompressed = static_cast<double>(width) * static_cast<double>(height) * 3.0;
    char part[48];
    std::snprintf(part, sizeof part, "  [%.1f%%]", static_cast<double>(n) / uncompressed * 100.0);
    text += part;
  }
  return text;
}

}  // namespace picaxo
