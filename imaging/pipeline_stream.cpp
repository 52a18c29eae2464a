#include "imaging/pipeline_stream.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "base/file_util.h"
#include "imaging/bmp.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_rows.h"
#include "imaging/orient.h"
#include "imaging/resample.h"
#include "imaging/source_decoders.h"
#include "imaging/turned_resample.h"

namespace picaxo {

namespace {

// Marks the source as failed when one of its steps throws, and lets the error pass on.
template <class Step>
void SourceStep(bool& failed, const Step& step) {
  try {
    step();
  } catch (...) {
    failed = true;
    throw;
  }
}

class TJpegRowSource final : public TRowSource {
 public:
  // mirror: each row is delivered mirrored left to right (orientation 2).
  TJpegRowSource(std::string data, int64_t maxPixels, bool mirror, TColorProfilePolicy color)
      : data_(std::move(data)), mirror_(mirror) {
    SourceStep(failed_, [&] {
      decoder_.emplace(data_, maxPixels);
      decoder_->SetColorTransform(SourceColorTransform(data_, color, &warning_));
      if (decoder_->Format() != TPixelFormat::pf24bit) {
        // Palette indices go through a one-row raster of the decoded format, which widens them
        // by the raster's own rule.
        indices_ = TRasterImage(decoder_->Width(), 1, decoder_->Format());
        indices_.Palette() = decoder_->Palette();
      }
    });
  }
  int Width() const override { return decoder_->Width(); }
  int Height() const override { return decoder_->Height(); }
  int NextRow() const override { return decoder_->NextRow(); }
  int PreferredRows() const override { return decoder_->RowsPerCall(); }
  bool Damaged() const override { return decoder_ && decoder_->DamageWarnings() > 0; }

  void ReadRows(uint8_t* const* rows, int count) override {
    SourceStep(failed_, [&] {
      if (indices_.Empty()) {
        decoder_->ReadRows(rows, count);
      } else {
        uint8_t* row = indices_.ScanLine(0);
        for (int r = 0; r < count; ++r) {
          decoder_->ReadRows(&row, 1);
          indices_.WidenRow(0, rows[r]);
        }
      }
      if (mirror_)
        for (int r = 0; r < count; ++r)
          MirrorRow(rows[r], Width());
    });
  }

  void Finish() override {
    SourceStep(failed_, [&] {
      std::vector<uint8_t> scratch(3 * static_cast<size_t>(Width()));
      uint8_t* row = scratch.data();
      // The remaining rows are decoded in the decoder's own format: nothing looks at them.
      while (decoder_->NextRow() < Height())
        decoder_->ReadRows(&row, 1);
      decoder_->Finish();
    });
  }

 private:
  std::string data_;  // the whole file, which the decoder reads
  bool mirror_;
  std::optional<TJpegRowDecoder> decoder_;
  TRasterImage indices_;
};

// The rows of a picture that must be turned by a transposing or upside-down orientation: the
// first row needs the last stored one, so the stored picture is decoded whole, once, at the first
// read (the size, known from the header, is the upright one before that). The decoded rows are
// turned a band at a time as they come, straight into the upright picture.
class TTurnedRowSource final : public TRowSource {
 public:
  TTurnedRowSource(std::unique_ptr<TRowSource> stored, int orientation)
      : stored_(std::move(stored)),
        orientation_(orientation),
        width_(OrientationSwapsSides(orientation) ? stored_->Height() : stored_->Width()),
        height_(OrientationSwapsSides(orientation) ? stored_->Width() : stored_->Height()) {
    warning_ = stored_->Warning();
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int NextRow() const override { return next_; }
  int PreferredRows() const override { return 16; }
  bool Damaged() const override { return stored_->Damaged(); }

  void ReadRows(uint8_t* const* rows, int count) override {
    Decode();
    for (int r = 0; r < count; ++r, ++next_)
      std::memcpy(rows[r], picture_.ScanLine(next_), 3 * static_cast<size_t>(width_));
  }
  void Finish() override {
    Decode();
    next_ = height_;
  }
  // Converts straight from the stored rows when no row has been read and ResampleTurned serves
  // the plan, handing the output rows to write; false, reading nothing, otherwise.
  bool ConvertStreamed(const TConversionPlan& plan, uint32_t paddingColor,
                       resample_detail::TResamplePath path,
                       const std::function<void(const uint8_t* const*, int)>& write) {
    if (decoded_ || next_ > 0 || !CanResampleTurned(plan)) return false;
    try {
      ResampleTurned(*stored_, orientation_, plan, paddingColor, path, write);
    } catch (...) {
      failed_ = failed_ || stored_->Failed();
      throw;
    }
    decoded_ = true;
    next_ = height_;
    return true;
  }
  // The whole upright picture, handed over instead of read row by row.
  TRasterImage TakePicture() {
    Finish();
    return std::move(picture_);
  }

 private:
  void Decode() {
    if (decoded_) return;
    SourceStep(failed_, [&] {
      TUprightFill fill(stored_->Width(), stored_->Height(), orientation_);
      uint8_t* rows[TUprightFill::kBandRows];
      for (int y = 0; y < stored_->Height(); y += TUprightFill::kBandRows) {
        const int count = std::min(TUprightFill::kBandRows, stored_->Height() - y);
        fill.Targets(y, count, rows);
        stored_->ReadRows(rows, count);
        fill.Place(y, count);
      }
      stored_->Finish();
      picture_ = fill.Take();
    });
    decoded_ = true;
  }

  std::unique_ptr<TRowSource> stored_;
  int orientation_;
  int width_;
  int height_;
  int next_ = 0;
  bool decoded_ = false;
  TRasterImage picture_;
};

class TRasterRowSource final : public TRowSource {
 public:
  explicit TRasterRowSource(const TRasterImage& raster) : raster_(raster) {}
  explicit TRasterRowSource(TRasterImage&& raster) : owned_(std::move(raster)), raster_(owned_) {}
  void SetWarning(std::string warning) { warning_ = std::move(warning); }
  int Width() const override { return raster_.Width(); }
  int Height() const override { return raster_.Height(); }
  int NextRow() const override { return next_; }
  void ReadRows(uint8_t* const* rows, int count) override {
    for (int r = 0; r < count; ++r)
      raster_.WidenRow(next_++, rows[r]);
  }
  void Finish() override { next_ = raster_.Height(); }

 private:
  TRasterImage owned_;
  const TRasterImage& raster_;
  int next_ = 0;
};

// A PNG's rows as libpng decodes them, coloured as LoadSourceBytes colours them. Only a picture
// that stays as stored streams; one its EXIF turns is decoded whole instead (Streamable()).
class TPngRowSource final : public TRowSource {
 public:
  // Over the file in memory, or (when file is empty) over the file at path.
  TPngRowSource(std::string file, const std::string& path, const TSourceOptions& options,
                int64_t maxPixels)
      : file_(std::move(file)) {
    SourceStep(failed_, [&] {
      if (file_.empty())
        rows_ = std::make_unique<TPngRows>(path, options.Background, maxPixels);
      else
        rows_ = std::make_unique<TPngRows>(std::string_view(file_), options.Background, maxPixels);
      TDecodedPicture& info = rows_->Info();
      TSourceNotes notes;
      notes.HadAlpha = info.HadAlpha;
      if (options.AutoOrient && !info.Exif.empty()) {
        const TExifOrientation exif = ReadExifOrientationTiff(info.Exif);
        notes.AppliedOrientation = exif.Orientation;
        notes.Ignored = exif.Ignored;
      }
      streamable_ = notes.AppliedOrientation == 1;
      SetNotes(std::move(notes));
      if (!streamable_ || options.Color != TColorProfilePolicy::Convert || info.Icc.empty()) return;
      TIccProfile profile;
      profile.State = TIccProfile::TState::Present;
      profile.Data = std::move(info.Icc);
      transform_ = ColorTransformFor(
          profile, info.Gray ? TDecodedColors::Gray : TDecodedColors::Rgb, &warning_);
      if (transform_ && transform_->Cmyk()) transform_.reset();
    });
  }
  bool Streamable() const { return streamable_; }
  std::string TakeFile() {
    rows_.reset();
    return std::move(file_);
  }
  int Width() const override { return rows_->Width(); }
  int Height() const override { return rows_->Height(); }
  int NextRow() const override { return rows_->NextRow(); }
  void ReadRows(uint8_t* const* rows, int count) override {
    SourceStep(failed_, [&] {
      for (int r = 0; r < count; ++r) {
        rows_->ReadRow(rows[r]);
        if (transform_) transform_->ConvertBgr(rows[r], Width());
      }
    });
  }
  void Finish() override {
    SourceStep(failed_, [&] { rows_->Finish(); });
  }

 private:
  std::string file_;
  std::unique_ptr<TPngRows> rows_;
  std::shared_ptr<const TColorTransform> transform_;
  bool streamable_ = false;
};

// The working raster of the plan, one row at a time: the source itself, or the crop placed into
// the padded frame (rows and columns outside it dropped, the rest the padding colour).
class TWorkRows {
 public:
  TWorkRows(TRowSource& source, const TConversionPlan& plan, uint32_t paddingColor)
      : source_(source), plan_(plan), color_(paddingColor) {
    if (plan.Composed) sourceRow_ = TRasterImage(source.Width(), 1);
  }

  // Writes the next count working rows into rows first .. first + count - 1 of block (24-bit, at
  // least the working width).
  void Read(TRasterImage& block, int first, int count) {
    if (!plan_.Composed) {
      // The source rows are the working rows: the decoder writes straight into the block.
      uint8_t* rows[kMaxBlockRows];
      for (int done = 0; done < count;) {
        const int n = std::min(count - done, kMaxBlockRows);
        for (int r = 0; r < n; ++r)
          rows[r] = block.ScanLine(first + done + r);
        source_.ReadRows(rows, n);
        done += n;
      }
      next_ += count;
      return;
    }
    for (int r = first; r < first + count; ++r, ++next_) {
      if (plan_.Geometry.Padded()) block.FillRect(0, r, block.Width(), r + 1, color_);
      const int64_t pictureRow = int64_t{next_} - plan_.PictureY;
      if (pictureRow < 0 || pictureRow >= plan_.Crop.Height()) continue;
      const int sourceRow = plan_.Crop.Top + static_cast<int>(pictureRow);
      uint8_t* row = sourceRow_.ScanLine(0);
      // Rows above the crop (and above a picture taller than the frame) are read and dropped.
      while (source_.NextRow() <= sourceRow)
        source_.ReadRows(&row, 1);
      block.CopyRect(plan_.PictureX, r, sourceRow_, plan_.Crop.Left, 0, plan_.Crop.Width(), 1);
    }
  }

 private:
  static constexpr int kMaxBlockRows = 32;
  TRowSource& source_;
  const TConversionPlan& plan_;
  uint32_t color_;
  TRasterImage sourceRow_;
  int next_ = 0;  // next working row
};

// Resamples the working rows into the frame and hands each destination row to the encoder as soon
// as the rows of its vertical window are in the ring.
template <class TSink>
void ResampleRows(TWorkRows& work, const TConversionPlan& plan, TSink& encoder,
                  resample_detail::TResamplePath path) {
  using namespace resample_detail;
  const int ww = plan.WorkWidth, wh = plan.WorkHeight;
  const int fw = plan.Geometry.FrameWidth, fh = plan.Geometry.FrameHeight;
  CheckResampleArguments(ww, wh, fw, fh, kLanczos3Support);
  TRowPasses passes =
      MakeRowPasses(path, BuildWeightLists(ww, fw, Lanczos3Kernel, kLanczos3Support), fw);
  const std::vector<TWeightList> vertical =
      BuildWeightLists(wh, fh, Lanczos3Kernel, kLanczos3Support);

  // Destination row i can be computed once working rows up to readyAfter[i] exist; from then on
  // it and every later row read no working row below keepFrom[i].
  std::vector<int> readyAfter(static_cast<size_t>(fh)), keepFrom(static_cast<size_t>(fh));
  int highest = -1;
  for (int i = 0; i < fh; ++i) {
    for (const TWeightEntry& e : vertical[static_cast<size_t>(i)])
      highest = std::max(highest, e.Index);
    readyAfter[static_cast<size_t>(i)] = highest;
  }
  int lowest = wh;
  int span = 1;
  for (int i = fh - 1; i >= 0; --i) {
    for (const TWeightEntry& e : vertical[static_cast<size_t>(i)])
      lowest = std::min(lowest, e.Index);
    keepFrom[static_cast<size_t>(i)] = lowest;
    span = std::max(span, readyAfter[static_cast<size_t>(i)] - lowest + 1);
  }
  const int blockRows = std::max(1, passes.Horizontal->BlockRows());
  // A block of new rows lands while the oldest unfinished destination row still needs its window.
  const int ringRows = static_cast<int>(std::min<int64_t>(wh, int64_t{span} + blockRows));

  TRasterImage block(ww, blockRows);
  TRasterImage ring(fw, ringRows);
  std::vector<uint8_t> out(3 * static_cast<size_t>(fw) + 1);
  std::vector<const uint8_t*> src(static_cast<size_t>(blockRows));
  std::vector<uint8_t*> dst(static_cast<size_t>(blockRows));
  std::vector<const uint8_t*> window;
  const uint8_t* outRow = out.data();

  int produced = 0, emitted = 0;
  while (produced < wh) {
    const int count = std::min(blockRows, wh - produced);
    work.Read(block, 0, count);
    for (int r = 0; r < count; ++r) {
      src[static_cast<size_t>(r)] = block.ScanLine(r);
      dst[static_cast<size_t>(r)] = ring.ScanLine((produced + r) % ringRows);
    }
    passes.Horizontal->Run(src.data(), dst.data(), count);
    produced += count;
    while (emitted < fh && readyAfter[static_cast<size_t>(emitted)] < produced) {
      const TWeightList& list = vertical[static_cast<size_t>(emitted)];
      window.resize(list.size());
      for (size_t k = 0; k < list.size(); ++k)
        window[k] = ring.ScanLine(list[k].Index % ringRows);
      passes.Vertical(list, window.data(), out.data(), 3 * static_cast<ptrdiff_t>(fw));
      encoder.WriteRows(&outRow, 1);
      ++emitted;
    }
  }
}

// Collects the output rows into a raster, for the encoders that take a whole picture.
class TRasterSink {
 public:
  explicit TRasterSink(TRasterImage& picture) : picture_(picture) {}
  void WriteRows(const uint8_t* const* rows, int count) {
    for (int r = 0; r < count; ++r, ++next_)
      std::memcpy(picture_.ScanLine(next_), rows[r], 3 * static_cast<size_t>(picture_.Width()));
  }

 private:
  TRasterImage& picture_;
  int next_ = 0;
};

// Every output row of the plan into sink, resampled or as the working rows are.
template <class TSink>
void WriteOutputRows(TWorkRows& work, const TConversionPlan& plan, TRowSource& source, TSink& sink,
                     uint32_t paddingColor, resample_detail::TResamplePath path) {
  // A turned picture is resampled from its stored rows rather than held upright.
  if (auto* turned = dynamic_cast<TTurnedRowSource*>(&source);
      turned && turned->ConvertStreamed(
                    plan, paddingColor, path,
                    [&](const uint8_t* const* rows, int count) { sink.WriteRows(rows, count); }))
    return;
  if (plan.Resampled) {
    ResampleRows(work, plan, sink, path);
    return;
  }
  // The working raster has the frame's size: its rows are the output's.
  const int rows = std::max(1, std::min(source.PreferredRows(), 16));
  TRasterImage block(plan.WorkWidth, rows);
  std::vector<const uint8_t*> pointers(static_cast<size_t>(rows));
  for (int y = 0; y < plan.WorkHeight; y += rows) {
    const int count = std::min(rows, plan.WorkHeight - y);
    work.Read(block, 0, count);
    for (int r = 0; r < count; ++r)
      pointers[static_cast<size_t>(r)] = block.ScanLine(r);
    sink.WriteRows(pointers.data(), count);
  }
}

}  // namespace

std::unique_ptr<TRowSource> OpenRowSource(const std::string& path, const TSourceOptions& options) {
  // A PNG streams from the file itself: its compressed bytes are never held whole either.
  if (SourceFormatFromName(path) == EImageFormat::Png) {
    auto png = std::make_unique<TPngRowSource>(std::string(), path, options, kMaxRasterPixels);
    if (png->Streamable()) return png;
  }
  return RowSourceFromBytes(ReadWholeFile(path),
                            SourceFormatFromName(path).value_or(EImageFormat::Bmp),
                            kMaxRasterPixels, options);
}

std::unique_ptr<TRowSource> RowSourceFromBytes(std::string file, EImageFormat format,
                                               int64_t maxPixels, const TSourceOptions& options) {
  if (format == EImageFormat::Jpeg || format == EImageFormat::Bmp)
    return RowSourceFromBytes(std::move(file), format == EImageFormat::Jpeg, maxPixels, options);
  if (format == EImageFormat::Png) {
    auto png = std::make_unique<TPngRowSource>(std::move(file), "", options, maxPixels);
    if (png->Streamable()) return png;
    file = png->TakeFile();
  }
  std::string warning;
  TLoadedSource loaded = LoadSourceBytes(file, format, options, maxPixels, &warning);
  file = std::string();  // the compressed bytes are not needed once decoded
  auto source = std::make_unique<TRasterRowSource>(std::move(loaded.Picture));
  source->SetNotes(std::move(loaded.Notes));
  source->SetWarning(std::move(warning));
  return source;
}

std::unique_ptr<TRowSource> RowSourceFromBytes(std::string file, bool jpeg, int64_t maxPixels,
                                               const TSourceOptions& options) {
  if (!jpeg) return std::make_unique<TRasterRowSource>(ReadBitmap(file, maxPixels));
  TSourceNotes notes = SourceOrientation(file, options);
  const int orientation = notes.AppliedOrientation;
  std::unique_ptr<TRowSource> source =
      std::make_unique<TJpegRowSource>(std::move(file), maxPixels, orientation == 2, options.Color);
  if (orientation > 2) source = std::make_unique<TTurnedRowSource>(std::move(source), orientation);
  source->SetNotes(std::move(notes));
  return source;
}

TLoadedSource LoadUprightJpeg(std::string file, const TSourceOptions& options,
                              std::string* warning) {
  TLoadedSource loaded;
  loaded.Notes = SourceOrientation(file, options);
  TTurnedRowSource turned(
      std::make_unique<TJpegRowSource>(std::move(file), kMaxRasterPixels, false, options.Color),
      loaded.Notes.AppliedOrientation);
  loaded.Picture = turned.TakePicture();
  loaded.Notes.Damaged = turned.Damaged();
  if (warning && !turned.Warning().empty()) *warning = turned.Warning();
  return loaded;
}

std::unique_ptr<TRowSource> RasterRowSource(const TRasterImage& raster) {
  return std::make_unique<TRasterRowSource>(raster);
}

TConversion ConvertRows(TRowSource& source, const TConvertRequest& request) {
  return resample_detail::ConvertRowsOnPath(source, request, resample_detail::TResamplePath::Auto);
}

namespace resample_detail {

TConversion ConvertRowsOnPath(TRowSource& source, const TConvertRequest& request,
                              TResamplePath path) {
  TConversion result;
  if (source.Width() <= 0 || source.Height() <= 0) return result;
  const TConversionPlan plan = PlanConversion(source.Width(), source.Height(), request);
  result.Geometry = plan.Geometry;
  result.AppliedOrientation = source.Notes().AppliedOrientation;

  result.Warning = source.Warning();
  if (plan.DirectCopy) {
    if (std::optional<std::string> file = ReadDirectCopy(request)) {
      source.Finish();
      result.SourceDamaged = source.Damaged();
      result.Bytes = DirectCopyBytes(std::move(*file), request, result.Warning);
      result.Kind = TOutputKind::DirectCopy;
      return result;
    }
  }

  TWorkRows work(source, plan, request.Settings.PaddingColor);
  // Kept metadata must say how the rows were turned, whatever the caller knew of it.
  TConvertRequest turned = request;
  turned.AppliedOrientation = result.AppliedOrientation;
  if (OutputFormatOf(request.Settings) != EOutputFormat::Jpeg) {
    // These encoders take the whole picture: the output (not the source) is held.
    TRasterImage picture(plan.Geometry.FrameWidth, plan.Geometry.FrameHeight);
    TRasterSink sink(picture);
    WriteOutputRows(work, plan, source, sink, request.Settings.PaddingColor, path);
    source.Finish();
    result.SourceDamaged = source.Damaged();
    result.Bytes = EncodeOutput(picture, turned, plan.Geometry, result.Warning);
    result.Kind = TOutputKind::Encoded;
    return result;
  }
  std::string bytes;
  TJpegRowEncoder encoder(plan.Geometry.FrameWidth, plan.Geometry.FrameHeight,
                          std::clamp<int>(request.Settings.JpegQuality, 1, 100), bytes);
  WriteOutputRows(work, plan, source, encoder, request.Settings.PaddingColor, path);
  source.Finish();
  result.SourceDamaged = source.Damaged();
  encoder.Finish();
  result.Bytes = WithSourceMarkers(std::move(bytes), turned, plan.Geometry, result.Warning);
  result.Kind = TOutputKind::Encoded;
  return result;
}

}  // namespace resample_detail

}  // namespace picaxo
