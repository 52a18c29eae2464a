#pragma once
// The conversion of the current image into the bytes of its destination file.
#include <cstdint>
#include <optional>
#include <string>

#include "imaging/geometry.h"
#include "imaging/pipeline.h"
#include "imaging/pipeline_stream.h"
#include "imaging/raster.h"
#include "jobs/entry.h"

namespace picaxo {

// Geometry of the current image: the entry's enlarge choice resolved against settings, the base
// being the selection when there is one. Defined only for a non-empty sourceImage.
OutputGeometry ComputeCurrentGeometry(const TFileEntry* entry, const TRasterImage& sourceImage,
                                      const std::optional<TSelection>& selection,
                                      const TResizeSettings& settings);
// The same from the source's size alone (a streamed source has no raster).
OutputGeometry ComputeCurrentGeometry(const TFileEntry* entry, int32_t sourceWidth,
                                      int32_t sourceHeight,
                                      const std::optional<TSelection>& selection,
                                      const TResizeSettings& settings);

// Writes the complete destination file of the current image: appends its bytes to output (either
// the source file's own bytes, for a direct copy, or a fresh JPEG encoding). Returns false, having
// appended nothing, when there is no entry or sourceImage is empty. The entry's enlarge and
// recompression choices are resolved against settings; selection is the view's selection.
// sourceImage is only read (the view may be showing it). Errors of reading,
// decoding, resampling or encoding are thrown (EPicaxoError and its kinds).
// appliedOrientation is the EXIF orientation sourceImage was turned by on loading.
bool ConvertCurrentImage(const TFileEntry* entry, const TRasterImage& sourceImage,
                         const std::optional<TSelection>& selection,
                         const TResizeSettings& settings, std::string& output,
                         int appliedOrientation = 1);

// The same, with the details a caller may report (copied or encoded, geometry).
TConversion ConvertCurrentImageDetailed(const TFileEntry* entry, const TRasterImage& sourceImage,
                                        const std::optional<TSelection>& selection,
                                        const TResizeSettings& settings,
                                        int appliedOrientation = 1);

// The same over the rows of a streamed source: the same request, the same bytes. Nothing to
// convert without an entry or a source.
TConversion ConvertCurrentRows(const TFileEntry* entry, TRowSource* source,
                               const std::optional<TSelection>& selection,
                               const TResizeSettings& settings);

// The preview of the current image: the bytes a save would write, decoded again. An empty preview
// (ByteSize 0) when there is nothing to convert.
TPreview RenderCurrentPreview(const TFileEntry* entry, const TRasterImage& sourceImage,
                              const std::optional<TSelection>& selection,
                              const TResizeSettings& settings, int appliedOrientation = 1);

}  // namespace picaxo
