#include "imaging/pipeline.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "base/file_util.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "imaging/resample.h"

namespace picaxo {

namespace {

// Support radius that goes with the Lanczos-3 kernel.
constexpr float kLanczos3Support = 3.0f;

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

TRasterImage LoadSourceImage(const std::string& path) {
  if (HasExtension(path, ".jpg")) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path);
    // The component's raster is handed over, not copied: a 20-megapixel source exists once.
    return jpeg.TakeRaster();
  }
  return ReadBitmapFile(path);
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
  plan.DirectCopy = !request.ForceRecompress && !plan.Composed && !plan.Resampled &&
                    HasExtension(request.SourcePath, ".jpg");
  return plan;
}

TConversion ConvertImage(TRasterImage& source, const TConvertRequest& request) {
  TConversion result;
  if (source.Empty()) return result;
  const TConversionPlan plan = PlanConversion(source.Width(), source.Height(), request);
  result.Geometry = plan.Geometry;
  const bool releaseSource = request.Retention == TSourceRetention::Release;

  if (plan.DirectCopy) {
    if (releaseSource) source = TRasterImage();
    // The source file itself, read-only and whole: every marker survives.
    result.Bytes = ReadWholeFile(request.SourcePath);
    result.Kind = TOutputKind::DirectCopy;
    return result;
  }

  // Work is the source itself unless a crop or a padded frame is needed.
  TRasterImage work;
  TRasterImage* workImage = &source;
  if (plan.Composed) {
    if (source.PixelFormat() != TPixelFormat::pf24bit) source.SetPixelFormat(TPixelFormat::pf24bit);
    work = TRasterImage(plan.WorkWidth, plan.WorkHeight);
    if (plan.Geometry.Padded())
      work.FillRect(0, 0, work.Width(), work.Height(), request.Settings.PaddingColor);
    work.CopyRect(plan.PictureX, plan.PictureY, source, plan.Crop.Left, plan.Crop.Top,
                  plan.Crop.Width(), plan.Crop.Height());
    workImage = &work;
    if (releaseSource) source = TRasterImage();
  }

  TRasterImage out;
  TRasterImage* outImage = workImage;
  if (plan.Resampled) {
    out = TRasterImage(plan.Geometry.FrameWidth, plan.Geometry.FrameHeight);
    ResampleImage(*workImage, out, Lanczos3Kernel, kLanczos3Support);
    outImage = &out;
  }

  TJPEGImage jpeg;
  jpeg.Assign(*outImage);
  // The codec holds its own copy now: drop the temporaries (and the source when allowed) before
  // the encoder makes its working copy.
  work = TRasterImage();
  out = TRasterImage();
  if (releaseSource) source = TRasterImage();
  jpeg.SetCompressionQuality(request.Settings.JpegQuality);
  jpeg.Compress();
  result.Bytes = jpeg.CompressedData();
  result.Kind = TOutputKind::Encoded;
  return result;
}

TPreview DecodePreview(const std::string& jpegBytes) {
  TPreview preview;
  preview.ByteSize = static_cast<int64_t>(jpegBytes.size());
  TJPEGImage jpeg;
  jpeg.LoadFromBytes(jpegBytes);
  preview.Picture = jpeg.TakeRaster();
  preview.Width = preview.Picture.Width();
  preview.Height = preview.Picture.Height();
  return preview;
}

TPreview RenderPreview(TRasterImage& source, const TConvertRequest& request) {
  TConvertRequest keep = request;
  keep.Retention = TSourceRetention::Keep;  // the view keeps showing the source afterwards
  const TConversion conversion = ConvertImage(source, keep);
  if (conversion.Kind == TOutputKind::Nothing) return {};
  return DecodePreview(conversion.Bytes);
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
