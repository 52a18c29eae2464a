// The PNG reader, on libpng. libpng reports errors by longjmp: nothing with a destructor is made
// between setjmp and the calls that may jump; what is allocated is owned by the caller's frame.
#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/file_util.h"
#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

// What libpng reads: bytes in memory (file), or an open file (fd >= 0) read in blocks, so that a
// file read row by row is never held whole.
struct TPngReader {
  std::string_view file;
  size_t at = 0;
  int fd = -1;
  std::vector<char> block;
  char message[200] = "";
};

// Refills the reader's block from its file: false at its end or on an error.
bool ReadBlock(TPngReader& reader) {
  for (;;) {
    const ssize_t n = ::read(reader.fd, reader.block.data(), reader.block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    reader.file = std::string_view(reader.block.data(), static_cast<size_t>(n));
    reader.at = 0;
    return true;
  }
}

void ReadData(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<TPngReader*>(png_get_io_ptr(png));
  while (length > reader->file.size() - reader->at) {
    if (reader->fd < 0) png_error(png, "the file is truncated");
    const size_t part = reader->file.size() - reader->at;
    std::memcpy(out, reader->file.data() + reader->at, part);
    out += part;
    length -= part;
    if (!ReadBlock(*reader)) png_error(png, "the file is truncated");
  }
  std::memcpy(out, reader->file.data() + reader->at, length);
  reader->at += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* reader = static_cast<TPngReader*>(png_get_error_ptr(png));
  std::snprintf(reader->message, sizeof reader->message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

struct TPngHandles {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~TPngHandles() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Widens one row of 8 or 16-bit RGBA (file order) into blue-green-red over background.
// The embedded profile and EXIF block, read from the chunks before the picture data.
void ReadProfileAndExif(TPngHandles& h, std::string& icc, std::string& exif) {
  png_charp name = nullptr;
  png_bytep profile = nullptr;
  png_uint_32 profileLength = 0;
  int compression = 0;
  if (png_get_iCCP(h.png, h.info, &name, &compression, &profile, &profileLength) && profile)
    icc.assign(reinterpret_cast<const char*>(profile), profileLength);
  png_bytep block = nullptr;
  png_uint_32 blockLength = 0;
  if (png_get_eXIf_1(h.png, h.info, &blockLength, &block) && block)
    exif.assign(reinterpret_cast<const char*>(block), blockLength);
}

void StoreRow(const uint8_t* rgba, bool wide, int width, uint32_t background, uint8_t* bgr) {
  const uint32_t bb = background >> 16 & 0xFF, bg = background >> 8 & 0xFF, br = background & 0xFF;
  for (int x = 0; x < width; ++x, bgr += 3) {
    uint32_t r, g, b, a;
    if (wide) {
      const uint8_t* p = rgba + 8 * x;
      r = Reduce16(p[0] << 8 | p[1]);
      g = Reduce16(p[2] << 8 | p[3]);
      b = Reduce16(p[4] << 8 | p[5]);
      a = Reduce16(p[6] << 8 | p[7]);
    } else {
      const uint8_t* p = rgba + 4 * x;
      r = p[0], g = p[1], b = p[2], a = p[3];
    }
    if (a != 255) {
      r = OverBackground(r, a, br);
      g = OverBackground(g, a, bg);
      b = OverBackground(b, a, bb);
    }
    bgr[0] = static_cast<uint8_t>(b);
    bgr[1] = static_cast<uint8_t>(g);
    bgr[2] = static_cast<uint8_t>(r);
  }
}

// What reading rows needs besides libpng's handles.
struct TRowState {
  uint32_t background = 0;
  int width = 0;
  int height = 0;
  int next = 0;         // rows handed out
  bool direct = false;  // 8-bit RGB without alpha: libpng writes blue-green-red rows itself
  bool wide = false;    // 16-bit RGBA rows
  int passes = 1;
  size_t rowBytes = 0;  // of a row as libpng delivers it
  // One row, or for an interlaced picture all of them (its passes run over whole rows).
  std::vector<uint8_t> buffer;
};

// The steps that may jump; false when libpng gave up (its reason is in the reader). tooLarge
// is set, without reading further, when the picture is above maxPixels.
bool OpenPng(TPngHandles& h, TPngReader& reader, int64_t maxPixels, TDecodedPicture& out,
             TRowState& rows, bool& tooLarge) {
  if (setjmp(png_jmpbuf(h.png))) return false;
  png_set_read_fn(h.png, &reader, ReadData);
  // The pixel limit is ours; libpng's own default of a million columns would refuse earlier.
  png_set_user_limits(h.png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(h.png, 64 << 20);
  png_read_info(h.png, h.info);
  const png_uint_32 width = png_get_image_width(h.png, h.info);
  const png_uint_32 height = png_get_image_height(h.png, h.info);
  rows.width = static_cast<int>(width);
  rows.height = static_cast<int>(height);
  if (static_cast<int64_t>(width) * height > maxPixels) {
    tooLarge = true;
    return true;
  }
  const int colorType = png_get_color_type(h.png, h.info);
  const int depth = png_get_bit_depth(h.png, h.info);
  out.Gray = (colorType & PNG_COLOR_MASK_COLOR) == 0;
  ReadProfileAndExif(h, out.Icc, out.Exif);

  out.HadAlpha =
      (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(h.png, h.info, PNG_INFO_tRNS) != 0;
  rows.passes = png_set_interlace_handling(h.png);
  rows.direct = depth == 8 && colorType == PNG_COLOR_TYPE_RGB && !out.HadAlpha;
  if (rows.direct) {
    // The common photo case needs no conversion.
    png_set_bgr(h.png);
  } else {
    // Everything else becomes 8 or 16-bit RGBA first; 16-bit samples stay big-endian.
    png_set_expand(h.png);  // palette to RGB, tRNS to alpha, 1/2/4-bit grey to 8
    png_set_gray_to_rgb(h.png);
    png_set_add_alpha(h.png, depth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  }
  png_read_update_info(h.png, h.info);
  rows.wide = !rows.direct && png_get_bit_depth(h.png, h.info) == 16;
  rows.rowBytes = static_cast<size_t>(width) * (rows.direct ? 3 : rows.wide ? 8 : 4);
  return true;
}

// The next row into bgr (3 x width bytes).
bool ReadPngRow(TPngHandles& h, TRowState& rows, uint8_t* bgr) {
  if (setjmp(png_jmpbuf(h.png))) return false;
  if (rows.passes > 1) {
    // An interlaced picture is gathered whole at the first row.
    if (rows.next == 0) {
      rows.buffer.resize(rows.rowBytes * static_cast<size_t>(rows.height));
      for (int pass = 0; pass < rows.passes; ++pass)
        for (int y = 0; y < rows.height; ++y)
          png_read_row(h.png, rows.buffer.data() + rows.rowBytes * static_cast<size_t>(y), nullptr);
    }
    const uint8_t* row = rows.buffer.data() + rows.rowBytes * static_cast<size_t>(rows.next);
    if (rows.direct)
      std::memcpy(bgr, row, rows.rowBytes);
    else
      StoreRow(row, rows.wide, rows.width, rows.background, bgr);
  } else if (rows.direct) {
    png_read_row(h.png, bgr, nullptr);
  } else {
    rows.buffer.resize(rows.rowBytes);
    png_read_row(h.png, rows.buffer.data(), nullptr);
    StoreRow(rows.buffer.data(), rows.wide, rows.width, rows.background, bgr);
  }
  ++rows.next;
  return true;
}

bool EndPng(TPngHandles& h) {
  if (setjmp(png_jmpbuf(h.png))) return false;
  png_read_end(h.png, nullptr);
  return true;
}

// The chunks before the picture data that carry the profile, the EXIF and the XMP.
bool ReadPngExtras(TPngHandles& h, TPngReader& reader, TOutputExtras& out) {
  if (setjmp(png_jmpbuf(h.png))) return false;
  png_set_read_fn(h.png, &reader, ReadData);
  png_set_user_limits(h.png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(h.png, 64 << 20);
  png_read_info(h.png, h.info);
  ReadProfileAndExif(h, out.IccProfile, out.Exif);
  png_textp text = nullptr;
  int count = 0;
  png_get_text(h.png, h.info, &text, &count);
  for (int i = 0; i < count && out.Xmp.empty(); ++i)
    if (text[i].key && std::strcmp(text[i].key, "XML:com.adobe.xmp") == 0 && text[i].text)
      out.Xmp.assign(text[i].text, text[i].compression >= PNG_ITXT_COMPRESSION_NONE
                                       ? text[i].itxt_length
                                       : text[i].text_length);
  return true;
}

}  // namespace

TOutputExtras PngExtras(std::string_view file) {
  TOutputExtras out;
  if (file.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(file.data()), 0, 8) != 0)
    return out;
  TPngReader reader;
  reader.file = file;
  TPngHandles h;
  h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, OnError, OnWarning);
  if (!h.png) throw std::bad_alloc();
  h.info = png_create_info_struct(h.png);
  if (!h.info) throw std::bad_alloc();
  if (!ReadPngExtras(h, reader, out)) return {};
  // Some writers put the "Exif\0\0" marker header before the TIFF structure.
  if (out.Exif.compare(0, 6, std::string_view("Exif\0\0", 6)) == 0) out.Exif.erase(0, 6);
  return out;
}

struct TPngRows::TState {
  TPngReader reader;
  TPngHandles h;
  TRowState rows;
  ~TState() {
    if (reader.fd >= 0) ::close(reader.fd);
  }
};

TPngRows::TPngRows(std::string_view file, uint32_t background, int64_t maxPixels)
    : state_(std::make_unique<TState>()) {
  state_->reader.file = file;
  Open(background, maxPixels);
}

TPngRows::TPngRows(const std::string& path, uint32_t background, int64_t maxPixels)
    : state_(std::make_unique<TState>()) {
  TPngReader& reader = state_->reader;
  reader.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (reader.fd < 0) throw EPicaxoError("Could not read \"" + path + "\": " + std::strerror(errno));
  RegularFileSize(reader.fd, path);
  reader.block.resize(256 << 10);
  if (!ReadBlock(reader)) reader.file = {};
  Open(background, maxPixels);
}

void TPngRows::Open(uint32_t background, int64_t maxPixels) {
  TState& s = *state_;
  const std::string_view file = s.reader.file;
  if (file.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(file.data()), 0, 8) != 0)
    throw ESourceFormatError("Not a PNG file");
  s.rows.background = background;
  s.h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.reader, OnError, OnWarning);
  if (!s.h.png) throw std::bad_alloc();
  s.h.info = png_create_info_struct(s.h.png);
  if (!s.h.info) throw std::bad_alloc();
  bool tooLarge = false;
  if (!OpenPng(s.h, s.reader, maxPixels, info_, s.rows, tooLarge))
    throw ESourceFormatError("Damaged PNG file: " + OneLine(s.reader.message));
  if (tooLarge)
    throw ERasterTooLarge(RasterTooLargeMessage(s.rows.width, s.rows.height, maxPixels));
}

TPngRows::~TPngRows() = default;

int TPngRows::Width() const {
  return state_->rows.width;
}

int TPngRows::Height() const {
  return state_->rows.height;
}

int TPngRows::NextRow() const {
  return state_->rows.next;
}

void TPngRows::ReadRow(uint8_t* bgr) {
  if (!ReadPngRow(state_->h, state_->rows, bgr))
    throw ESourceFormatError("Damaged PNG file: " + OneLine(state_->reader.message));
}

void TPngRows::Finish() {
  std::vector<uint8_t> scratch(3 * static_cast<size_t>(Width()));
  while (NextRow() < Height())
    ReadRow(scratch.data());
  if (!EndPng(state_->h))
    throw ESourceFormatError("Damaged PNG file: " + OneLine(state_->reader.message));
}

TDecodedPicture DecodePng(std::string_view file, uint32_t background, int64_t maxPixels) {
  TPngRows rows(file, background, maxPixels);
  TDecodedPicture out = std::move(rows.Info());
  out.Picture = TRasterImage(rows.Width(), rows.Height());
  for (int y = 0; y < rows.Height(); ++y)
    rows.ReadRow(out.Picture.ScanLine(y));
  rows.Finish();
  return out;
}

}  // namespace picaxo
