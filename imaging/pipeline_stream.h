#pragma once
// The conversion without a whole decoded source: rows flow from the decoder through the crop and
// the padded frame, the horizontal pass, a small ring of horizontally resampled rows and the
// vertical pass straight into the encoder. It follows the same plan (PlanConversion) and the same
// pass and codec code as ConvertImage, so it writes the same bytes; only the memory differs (a
// few rows instead of the source, the working raster and the output). The command line uses it;
// the window keeps the decoded source for display and converts that.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "imaging/pipeline.h"
#include "imaging/raster.h"
#include "imaging/resample_detail.h"

namespace picaxo {

// 24-bit rows of a source picture, top row first, each row exactly once.
class TRowSource {
 public:
  virtual ~TRowSource() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Rows read so far.
  virtual int NextRow() const = 0;
  // Rows one ReadRows call delivers most cheaply.
  virtual int PreferredRows() const { return 1; }
  // The next count rows (not past the last) into rows[0 .. count - 1], 3 x Width() bytes each.
  virtual void ReadRows(uint8_t* const* rows, int count) = 0;
  // Reads the rows not yet read and, for a file, the rest of it: a file that is broken past the
  // rows a crop needs fails as it does when decoded whole.
  virtual void Finish() = 0;
  // Whether reading or decoding the source has thrown (as opposed to the conversion itself).
  bool Failed() const { return failed_; }
  // How the rows were turned upright, and what of the file was ignored.
  const TSourceNotes& Notes() const { return notes_; }
  void SetNotes(TSourceNotes notes) { notes_ = std::move(notes); }
  // Whether the decoder has warned of corrupt or missing image data so far (after Finish: in the
  // whole file).
  virtual bool Damaged() const { return false; }
  // What was ignored when the source was opened (a broken colour profile), or empty.
  const std::string& Warning() const { return warning_; }

 protected:
  bool failed_ = false;
  std::string warning_;

 private:
  TSourceNotes notes_;
};

// Opens a source file for streaming, by the rule LoadSource decodes it with: a ".jpg" or ".jpeg"
// name (any case) through the JPEG decoder, the other source formats through their readers,
// anything else through the BMP reader. A JPEG is read into
// memory whole and its header parsed (a progressive one is decoded into coefficients here); a
// BMP is read into its stored format and widened row by row. The rows are those of the upright
// picture LoadSource gives: as stored, or mirrored row by row (orientation 2), stream straight
// from the decoder; the other turns need the whole picture, which is decoded at the first read of
// rows. A JPEG's colours are handled as LoadSource handles them. Throws the codec's or the
// reader's error.
std::unique_ptr<TRowSource> OpenRowSource(const std::string& path,
                                          const TSourceOptions& options = {});

// The same over a file already in memory: a JPEG when jpeg is set, else a BMP; frames above
// maxPixels are refused as the decoders refuse them.
std::unique_ptr<TRowSource> RowSourceFromBytes(std::string file, bool jpeg, int64_t maxPixels,
                                               const TSourceOptions& options = {});
// The same for a file of any source format. A PNG that stays as stored streams row by row from
// libpng; WebP, HEIF, AVIF and TIFF files (and a PNG its EXIF turns) are decoded whole
// (LoadSourceBytes) and their rows handed out.
std::unique_ptr<TRowSource> RowSourceFromBytes(std::string file, EImageFormat format,
                                               int64_t maxPixels,
                                               const TSourceOptions& options = {});

// LoadSource of a JPEG file held in memory whose picture is turned upright: the rows are turned as
// they are decoded, a band at a time, so the stored picture is never held whole.
TLoadedSource LoadUprightJpeg(std::string file, const TSourceOptions& options,
                              std::string* warning);

// The rows of a raster of any pixel format, widened as SetPixelFormat(pf24bit) would. The raster
// must outlive the source.
std::unique_ptr<TRowSource> RasterRowSource(const TRasterImage& raster);

// Converts the source's rows into the complete destination file, as ConvertImage converts the
// decoded picture: the same plan, the same output kind, the same bytes. A source without pixels
// gives TOutputKind::Nothing. A direct copy still reads every row, so that a broken file fails.
TConversion ConvertRows(TRowSource& source, const TConvertRequest& request);

namespace resample_detail {
// ConvertRows with the resampling passes of a chosen path (tests compare every path).
TConversion ConvertRowsOnPath(TRowSource& source, const TConvertRequest& request,
                              TResamplePath path);
}  // namespace resample_detail

}  // namespace picaxo
