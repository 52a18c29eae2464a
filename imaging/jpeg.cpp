#include "imaging/jpeg.h"

// clang-format off
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <istream>
#include <iterator>
#include <ostream>
#include <vector>

#include "base/file_util.h"
#include "imaging/decode_cancel.h"
#include "imaging/jpeg_glue.h"
#include "imaging/jpeg_rows.h"

namespace picaxo {

EJPEG::EJPEG(int libraryCode, const std::string& reason)
    : EPicaxoError("JPEG error #" + std::to_string(libraryCode) +
                   (reason.empty() ? std::string() : ": " + reason)),
      code_(libraryCode) {}

namespace {

// Runs one step of libjpeg work; a fatal library error inside it becomes EJPEG. The step must
// not create objects with destructors: the error leaves it through longjmp (see jpeg_glue.h).
template <class Step>
void Guarded(TJpegErrorManager& err, const Step& step) {
  if (setjmp(*err.jump) != 0) {
    if (err.ownMessage) throw EJPEG(std::string(err.message));
    throw EJPEG(err.pub.msg_code, err.message);
  }
  step();
}

// Reads the in-memory file through 4096-byte windows, behaving at the end like the library's
// stdio source: no byte at all is the empty-input error, otherwise a premature-end warning and a
// fake EOI marker so that the decoder finishes what it has.
constexpr size_t kSourceBufferSize = 4096;
const JOCTET kFakeEOI[2] = {0xFF, JPEG_EOI};

struct SourceManager {
  jpeg_source_mgr pub;
  const JOCTET* data;
  size_t size;
  size_t position;
  bool startOfFile;
};

void InitSource(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  src->position = 0;
  src->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (src->position >= src->size) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kFakeEOI;
    src->pub.bytes_in_buffer = sizeof kFakeEOI;
  } else {
    const size_t n = std::min(kSourceBufferSize, src->size - src->position);
    src->pub.next_input_byte = src->data + src->position;
    src->pub.bytes_in_buffer = n;
    src->position += n;
  }
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long numBytes) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (numBytes <= 0) return;
  size_t remaining = static_cast<size_t>(numBytes);
  while (remaining > src->pub.bytes_in_buffer) {
    remaining -= src->pub.bytes_in_buffer;
    FillInputBuffer(cinfo);  // never suspends
  }
  src->pub.next_input_byte += remaining;
  src->pub.bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

// One decompressor with its error and source managers; destroyed on every path.
class Decompressor {
 public:
  Decompressor(const std::string& data, int64_t maxPixels) {
    InitJpegErrorManager(err_, &jump_);
    cinfo_.err = &err_.pub;
    Guarded(err_, [&] { jpeg_create_decompress(&cinfo_); });
    // libjpeg's working memory (the coefficient buffers of progressive files) in proportion to
    // the largest image accepted: 8 bytes per pixel covers four full-resolution components.
    cinfo_.mem->max_memory_to_use =
        static_cast<long>(std::max<int64_t>(maxPixels * 8, int64_t{64} << 20));
    LimitJpegScans(cinfo_, progress_);
    src_.pub.init_source = InitSource;
    src_.pub.fill_input_buffer = FillInputBuffer;
    src_.pub.skip_input_data = SkipInputData;
    src_.pub.resync_to_restart = jpeg_resync_to_restart;
    src_.pub.term_source = TermSource;
    src_.pub.next_input_byte = nullptr;
    src_.pub.bytes_in_buffer = 0;
    src_.data = reinterpret_cast<const JOCTET*>(data.data());
    src_.size = data.size();
    src_.position = 0;
    src_.startOfFile = true;
    cinfo_.src = &src_.pub;
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct& cinfo() { return cinfo_; }
  TJpegErrorManager& err() { return err_; }

 private:
  jpeg_decompress_struct cinfo_{};
  std::jmp_buf jump_;
  TJpegErrorManager err_{};
  SourceManager src_{};
  jpeg_progress_mgr progress_{};
};

constexpr size_t kInitialOutputSize = 64 * 1024;

class Compressor {
 public:
  explicit Compressor(std::string& out) {
    InitJpegErrorManager(err_, &jump_);
    cinfo_.err = &err_.pub;
    Guarded(err_, [&] { jpeg_create_compress(&cinfo_); });
    SetJpegStringDestination(cinfo_, dest_, out, kInitialOutputSize);
  }
  ~Compressor() { jpeg_destroy_compress(&cinfo_); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  jpeg_compress_struct& cinfo() { return cinfo_; }
  TJpegErrorManager& err() { return err_; }

 private:
  jpeg_compress_struct cinfo_{};
  std::jmp_buf jump_;
  TJpegErrorManager err_{};
  TJpegStringDestination dest_{};
};

// Converts one row of CMYK samples to blue-green-red. Adobe files store the inks inverted (255 =
// no ink), which is what the library hands over for them, YCCK included.
void CmykRowToBgr(const JSAMPLE* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

constexpr int kMaxRowsPerCall = 16;
// Calls in a row that may return no scanline before the decoder counts as stuck.
constexpr int kMaxIdleCalls = 64;

}  // namespace

struct TJpegRowDecoder::TImpl {
  TImpl(const std::string& data, int64_t maxPixels) : d(data, maxPixels) {}
  Decompressor d;
  bool cmyk = false;
  bool inverted = false;
  int rowsPerCall = 1;
  JSAMPARRAY cmykRow = nullptr;
  std::vector<TRGBQuad> palette;
  std::shared_ptr<const TColorTransform> transform;
};

TJpegRowDecoder::TJpegRowDecoder(const std::string& data, int64_t maxPixels)
    : impl_(std::make_unique<TImpl>(data, maxPixels)) {
  jpeg_decompress_struct& cinfo = impl_->d.cinfo();
  TJpegErrorManager& err = impl_->d.err();
  Guarded(err, [&] { jpeg_read_header(&cinfo, TRUE); });

  // Refuse before the library or the raster allocates anything in proportion to the frame.
  const int64_t pixels = int64_t{cinfo.image_width} * int64_t{cinfo.image_height};
  if (pixels > maxPixels)
    throw EJPEG(RasterTooLargeMessage(cinfo.image_width, cinfo.image_height, maxPixels));
  // A few hundred bytes claiming hundreds of megapixels would cost gigabytes of grey picture.
  const std::string refusal = JpegSizeRefusal(cinfo, data.size());
  if (!refusal.empty()) throw EJPEG(refusal);

  cinfo.scale_num = 1;
  cinfo.scale_denom = 1;
  cinfo.dct_method = JDCT_FLOAT;
  cinfo.do_block_smoothing = TRUE;
  cinfo.buffered_image = FALSE;
  impl_->cmyk = cinfo.out_color_space == JCS_CMYK;
  const bool gray = cinfo.out_color_space == JCS_GRAYSCALE;
  if (gray) {
    cinfo.quantize_colors = TRUE;
    cinfo.desired_number_of_colors = 236;
  } else if (!impl_->cmyk) {
    cinfo.out_color_space = JCS_EXT_BGR;  // the raster's own byte order
  }
  Guarded(err, [&] { jpeg_start_decompress(&cinfo); });

  if (gray) {
    impl_->palette.resize(static_cast<size_t>(cinfo.actual_number_of_colors));
    for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
      const uint8_t v = cinfo.colormap[0][i];
      impl_->palette[static_cast<size_t>(i)] = {v, v, v, 0};
    }
  }
  if (impl_->cmyk) {
    impl_->inverted = cinfo.saw_Adobe_marker;
    Guarded(err, [&] {
      impl_->cmykRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                  JPOOL_IMAGE, cinfo.output_width * 4, 1);
    });
  } else {
    impl_->rowsPerCall = std::clamp(cinfo.rec_outbuf_height, 1, kMaxRowsPerCall);
  }
}

TJpegRowDecoder::~TJpegRowDecoder() = default;

int TJpegRowDecoder::Width() const {
  return static_cast<int>(impl_->d.cinfo().output_width);
}
int TJpegRowDecoder::Height() const {
  return static_cast<int>(impl_->d.cinfo().output_height);
}
TPixelFormat TJpegRowDecoder::Format() const {
  return impl_->d.cinfo().out_color_space == JCS_GRAYSCALE ? TPixelFormat::pf8bit
                                                           : TPixelFormat::pf24bit;
}
const std::vector<TRGBQuad>& TJpegRowDecoder::Palette() const {
  return impl_->palette;
}
int TJpegRowDecoder::NextRow() const {
  return static_cast<int>(impl_->d.cinfo().output_scanline);
}
int TJpegRowDecoder::RowsPerCall() const {
  return impl_->rowsPerCall;
}
int TJpegRowDecoder::Warnings() const {
  return impl_->d.err().warnings;
}
int TJpegRowDecoder::DamageWarnings() const {
  return impl_->d.err().damage;
}

std::string DamagedSourceText(const std::string& name) {
  return "The image data of " + name +
         " is damaged (corrupt or missing data): part of the picture may be grey or wrong";
}

void TJpegRowDecoder::ReadRows(uint8_t* const* rows, int count) {
  // A picture nobody waits for any more stops here, a few rows after it was given up.
  ThrowIfDecodeCancelled();
  jpeg_decompress_struct& cinfo = impl_->d.cinfo();
  TJpegErrorManager& err = impl_->d.err();
  if (impl_->cmyk) {
    const JSAMPARRAY row = impl_->cmykRow;
    int idle = 0;
    for (int r = 0; r < count;) {
      JDIMENSION got = 0;
      Guarded(err, [&] { got = jpeg_read_scanlines(&cinfo, row, 1); });
      if (got == 1) {
        if (impl_->transform)
          impl_->transform->ConvertCmyk(row[0], rows[r], static_cast<int>(cinfo.output_width),
                                        impl_->inverted);
        else
          CmykRowToBgr(row[0], rows[r], cinfo.output_width, impl_->inverted);
        ++r;
      } else if (++idle > kMaxIdleCalls) {
        throw EJPEG(std::string("The JPEG decoder delivered no row"));
      }
    }
    return;
  }
  JSAMPROW out[kMaxRowsPerCall];
  int done = 0, idle = 0;
  while (done < count) {
    const int n = std::min(count - done, kMaxRowsPerCall);
    for (int i = 0; i < n; ++i)
      out[i] = rows[done + i];
    JDIMENSION got = 0;
    Guarded(err, [&] { got = jpeg_read_scanlines(&cinfo, out, static_cast<JDIMENSION>(n)); });
    // The library may return without a row; it never does so for long with data in memory.
    if (got == 0 && ++idle > kMaxIdleCalls)
      throw EJPEG(std::string("The JPEG decoder delivered no row"));
    // Converted while the rows are still in the cache.
    if (impl_->transform)
      for (JDIMENSION i = 0; i < got; ++i)
        impl_->transform->ConvertBgr(out[i], static_cast<int>(cinfo.output_width));
    done += static_cast<int>(got);
  }
}

void TJpegRowDecoder::SetColorTransform(std::shared_ptr<const TColorTransform> transform) {
  // Only a transform of the file's own kind applies; one-channel files keep their gray levels.
  if (transform && (transform->Cmyk() != impl_->cmyk || Format() != TPixelFormat::pf24bit))
    transform.reset();
  impl_->transform = std::move(transform);
}

void TJpegRowDecoder::Finish() {
  Guarded(impl_->d.err(), [&] { jpeg_finish_decompress(&impl_->d.cinfo()); });
}

struct TJpegRowEncoder::TImpl {
  explicit TImpl(std::string& out) : c(out) {}
  Compressor c;
};

TJpegRowEncoder::TJpegRowEncoder(int width, int height, int quality, std::string& out)
    : impl_(std::make_unique<TImpl>(out)) {
  jpeg_compress_struct& cinfo = impl_->c.cinfo();
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;  // the raster's byte order: no reordering
  Guarded(impl_->c.err(), [&] {
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
  });
}

TJpegRowEncoder::~TJpegRowEncoder() = default;

void TJpegRowEncoder::WriteRows(const uint8_t* const* rows, int count) {
  jpeg_compress_struct& cinfo = impl_->c.cinfo();
  // The library only reads the rows; its row type is not const.
  JSAMPARRAY library = const_cast<JSAMPARRAY>(rows);
  int done = 0;
  Guarded(impl_->c.err(), [&] {
    while (done < count && cinfo.next_scanline < cinfo.image_height)
      done += static_cast<int>(
          jpeg_write_scanlines(&cinfo, library + done, static_cast<JDIMENSION>(count - done)));
  });
}

void TJpegRowEncoder::Finish() {
  Guarded(impl_->c.err(), [&] { jpeg_finish_compress(&impl_->c.cinfo()); });
}

int TJpegRowEncoder::Warnings() const {
  return impl_->c.err().warnings;
}

void TJPEGImage::LoadFromFile(const std::string& path) {
  LoadFromBytes(ReadWholeFile(path));
}

void TJPEGImage::LoadFromStream(std::istream& stream) {
  LoadFromBytes(std::string(std::istreambuf_iterator<char>(stream), {}));
}

void TJPEGImage::LoadFromBytes(std::string data) {
  data_ = std::move(data);
  raster_.reset();
  headerWidth_ = headerHeight_ = 0;
  grayscale_ = progressive_ = false;
  warnings_ = damage_ = 0;
  if (!data_.empty()) ParseHeader();
}

void TJPEGImage::Assign(const TRasterImage& raster) {
  raster_ = raster;
  data_.clear();
  headerWidth_ = headerHeight_ = 0;
  grayscale_ = progressive_ = false;
}

int TJPEGImage::Width() const {
  return raster_ ? raster_->Width() : headerWidth_;
}
int TJPEGImage::Height() const {
  return raster_ ? raster_->Height() : headerHeight_;
}

void TJPEGImage::SetWidth(int) {
  throw EJPEG(std::string("Cannot change the size of a JPEG image"));
}
void TJPEGImage::SetHeight(int) {
  throw EJPEG(std::string("Cannot change the size of a JPEG image"));
}

void TJPEGImage::SetCompressionQuality(int quality) {
  quality_ = std::clamp(quality, 1, 100);
}

void TJPEGImage::ParseHeader() {
  Decompressor d(data_, maxPixels_);
  jpeg_decompress_struct& cinfo = d.cinfo();
  Guarded(d.err(), [&] { jpeg_read_header(&cinfo, TRUE); });
  warnings_ = d.err().warnings;
  headerWidth_ = static_cast<int>(cinfo.image_width);
  headerHeight_ = static_cast<int>(cinfo.image_height);
  grayscale_ = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  progressive_ = jpeg_has_multiple_scans(&cinfo);
}

void TJPEGImage::Decode() {
  raster_.reset();
  TJpegRowDecoder decoder(data_, maxPixels_);
  decoder.SetColorTransform(transform_);
  const int height = decoder.Height();
  TRasterImage raster(decoder.Width(), height, decoder.Format());
  raster.Palette() = decoder.Palette();
  // Rows are top-down at a positive stride that is a multiple of 4, so the library writes
  // several of them per call straight into the raster.
  uint8_t* rows[kMaxRowsPerCall];
  while (decoder.NextRow() < height) {
    const int first = decoder.NextRow();
    const int n = std::min(decoder.RowsPerCall(), height - first);
    for (int i = 0; i < n; ++i)
      rows[i] = raster.ScanLine(first + i);
    decoder.ReadRows(rows, n);
  }
  decoder.Finish();
  warnings_ = decoder.Warnings();
  damage_ = decoder.DamageWarnings();
  raster_ = std::move(raster);
}

void TJPEGImage::DecodeTo(TRasterImage& dest) {
  if (!raster_) Decode();
  dest = *raster_;
}

TRasterImage TJPEGImage::TakeRaster() {
  if (!raster_) Decode();
  TRasterImage result = std::move(*raster_);
  raster_.reset();
  if (data_.empty()) headerWidth_ = headerHeight_ = 0;
  return result;
}

void TJPEGImage::Compress() {
  if (!data_.empty()) return;
  if (!raster_ || raster_->Empty()) return;
  try {
    // Palette and mask formats are widened on a temporary copy; 24-bit rows go as they are.
    std::optional<TRasterImage> widened;
    TRasterImage* source = &*raster_;
    if (source->PixelFormat() != TPixelFormat::pf24bit) {
      widened = *raster_;
      widened->SetPixelFormat(TPixelFormat::pf24bit);
      source = &*widened;
    }
    std::vector<const uint8_t*> rows(static_cast<size_t>(source->Height()));
    for (int y = 0; y < source->Height(); ++y)
      rows[static_cast<size_t>(y)] = source->ScanLine(y);
    TJpegRowEncoder encoder(source->Width(), source->Height(), quality_, data_);
    encoder.WriteRows(rows.data(), source->Height());
    encoder.Finish();
    warnings_ = encoder.Warnings();
    headerWidth_ = source->Width();
    headerHeight_ = source->Height();
  } catch (...) {
    data_.clear();
    throw;
  }
}

void TJPEGImage::SaveToStream(std::ostream& stream) {
  Compress();
  stream.write(data_.data(), static_cast<std::streamsize>(data_.size()));
}

}  // namespace picaxo
