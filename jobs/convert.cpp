#include "jobs/convert.h"

namespace picaxo {

namespace {

TConvertRequest RequestFor(const TFileEntry& entry, const std::optional<TSelection>& selection,
                           const TResizeSettings& settings, int appliedOrientation = 1) {
  TConvertRequest request;
  request.AppliedOrientation = appliedOrientation;
  request.SourcePath = entry.FileName;
  request.Selection = selection;
  request.Settings = settings;
  request.AllowEnlarge = ResolveAllowEnlarge(&entry, settings);
  request.ForceRecompress = ResolveForceRecompress(&entry, settings);
  return request;
}

}  // namespace

OutputGeometry ComputeCurrentGeometry(const TFileEntry* entry, const TRasterImage& sourceImage,
                                      const std::optional<TSelection>& selection,
                                      const TResizeSettings& settings) {
  return ComputeCurrentGeometry(entry, sourceImage.Width(), sourceImage.Height(), selection,
                                settings);
}

OutputGeometry ComputeCurrentGeometry(const TFileEntry* entry, int32_t sourceWidth,
                                      int32_t sourceHeight,
                                      const std::optional<TSelection>& selection,
                                      const TResizeSettings& settings) {
  return ComputeOutputGeometry(sourceWidth, sourceHeight, selection, settings,
                               ResolveAllowEnlarge(entry, settings));
}

TConversion ConvertCurrentImageDetailed(const TFileEntry* entry, const TRasterImage& sourceImage,
                                        const std::optional<TSelection>& selection,
                                        const TResizeSettings& settings, int appliedOrientation) {
  if (!entry || sourceImage.Empty()) return {};
  return ConvertImage(sourceImage, RequestFor(*entry, selection, settings, appliedOrientation));
}

TConversion ConvertCurrentRows(const TFileEntry* entry, TRowSource* source,
                               const std::optional<TSelection>& selection,
                               const TResizeSettings& settings) {
  if (!entry || !source) return {};
  return ConvertRows(*source, RequestFor(*entry, selection, settings));
}

bool ConvertCurrentImage(const TFileEntry* entry, const TRasterImage& sourceImage,
                         const std::optional<TSelection>& selection,
                         const TResizeSettings& settings, std::string& output,
                         int appliedOrientation) {
  TConversion conversion =
      ConvertCurrentImageDetailed(entry, sourceImage, selection, settings, appliedOrientation);
  if (conversion.Kind == TOutputKind::Nothing) return false;
  if (output.empty())
    output = std::move(conversion.Bytes);
  else
    output += conversion.Bytes;
  return true;
}

TPreview RenderCurrentPreview(const TFileEntry* entry, const TRasterImage& sourceImage,
                              const std::optional<TSelection>& selection,
                              const TResizeSettings& settings, int appliedOrientation) {
  if (!entry || sourceImage.Empty()) return {};
  return RenderPreview(sourceImage, RequestFor(*entry, selection, settings, appliedOrientation));
}

}  // namespace picaxo
