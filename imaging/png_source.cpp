// The PNG reader, on libpng. libpng reports errors by longjmp: nothing with a destructor is made
// between setjmp and the calls that may jump; what is allocated is owned by the caller's frame.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

struct TPngReader {
  std::string_view file;
  size_t at = 0;
  char message[200] = "";
};

void ReadData(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<TPngReader*>(png_get_io_ptr(png));
  if (length > reader->file.size() - reader->at) png_error(png, "the file is truncated");
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

// The steps that may jump; false when libpng gave up (its reason is in the reader).
bool ReadPng(TPngHandles& h, TPngReader& reader, uint32_t background, int64_t maxPixels,
             TDecodedPicture& out, std::vector<uint8_t>& buffer, bool& tooLarge) {
  if (setjmp(png_jmpbuf(h.png))) return false;
  png_set_read_fn(h.png, &reader, ReadData);
  // The pixel limit is ours; libpng's own default of a million columns would refuse earlier.
  png_set_user_limits(h.png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(h.png, 64 << 20);
  png_read_info(h.png, h.info);
  const png_uint_32 width = png_get_image_width(h.png, h.info);
  const png_uint_32 height = png_get_image_height(h.png, h.info);
  if (static_cast<int64_t>(width) * height > maxPixels) {
    tooLarge = true;
    return true;
  }
  const int colorType = png_get_color_type(h.png, h.info);
  const int depth = png_get_bit_depth(h.png, h.info);
  out.Gray = (colorType & PNG_COLOR_MASK_COLOR) == 0;
  png_charp name = nullptr;
  png_bytep profile = nullptr;
  png_uint_32 profileLength = 0;
  int compression = 0;
  if (png_get_iCCP(h.png, h.info, &name, &compression, &profile, &profileLength) && profile)
    out.Icc.assign(reinterpret_cast<const char*>(profile), profileLength);
  png_bytep exif = nullptr;
  png_uint_32 exifLength = 0;
  if (png_get_eXIf_1(h.png, h.info, &exifLength, &exif) && exif)
    out.Exif.assign(reinterpret_cast<const char*>(exif), exifLength);

  out.HadAlpha =
      (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(h.png, h.info, PNG_INFO_tRNS) != 0;
  const int passes = png_set_interlace_handling(h.png);
  out.Picture = TRasterImage(static_cast<int>(width), static_cast<int>(height));
  const int w = static_cast<int>(width);
  if (depth == 8 && colorType == PNG_COLOR_TYPE_RGB && !out.HadAlpha) {
    // The common photo case needs no conversion: libpng writes the raster's rows itself.
    png_set_bgr(h.png);
    png_read_update_info(h.png, h.info);
    for (int pass = 0; pass < passes; ++pass)
      for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(h.png, out.Picture.ScanLine(static_cast<int>(y)), nullptr);
    png_read_end(h.png, nullptr);
    return true;
  }
  // Everything else becomes 8 or 16-bit RGBA first; 16-bit samples stay big-endian.
  png_set_expand(h.png);  // palette to RGB, tRNS to alpha, 1/2/4-bit grey to 8
  png_set_gray_to_rgb(h.png);
  png_set_add_alpha(h.png, depth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(h.png, h.info);
  const bool wide = png_get_bit_depth(h.png, h.info) == 16;
  const size_t rowBytes = static_cast<size_t>(width) * (wide ? 8 : 4);
  // An interlaced picture is read in passes over whole rows: it is gathered whole first.
  buffer.resize(passes > 1 ? rowBytes * height : rowBytes);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      uint8_t* rgba = passes > 1 ? buffer.data() + rowBytes * y : buffer.data();
      png_read_row(h.png, rgba, nullptr);
      if (pass + 1 == passes)
        StoreRow(rgba, wide, w, background, out.Picture.ScanLine(static_cast<int>(y)));
    }
  }
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
  png_charp name = nullptr;
  png_bytep profile = nullptr;
  png_uint_32 profileLength = 0;
  int compression = 0;
  if (png_get_iCCP(h.png, h.info, &name, &compression, &profile, &profileLength) && profile)
    out.IccProfile.assign(reinterpret_cast<const char*>(profile), profileLength);
  png_bytep exif = nullptr;
  png_uint_32 exifLength = 0;
  if (png_get_eXIf_1(h.png, h.info, &exifLength, &exif) && exif)
    out.Exif.assign(reinterpret_cast<const char*>(exif), exifLength);
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
  TPngReader reader{file};
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

TDecodedPicture DecodePng(std::string_view file, uint32_t background, int64_t maxPixels) {
  if (file.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(file.data()), 0, 8) != 0)
    throw ESourceFormatError("Not a PNG file");
  TPngReader reader{file};
  TPngHandles h;
  h.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, OnError, OnWarning);
  if (!h.png) throw std::bad_alloc();
  h.info = png_create_info_struct(h.png);
  if (!h.info) throw std::bad_alloc();
  TDecodedPicture out;
  std::vector<uint8_t> buffer;
  bool tooLarge = false;
  if (!ReadPng(h, reader, background, maxPixels, out, buffer, tooLarge))
    throw ESourceFormatError("Damaged PNG file: " + OneLine(reader.message));
  if (tooLarge)
    throw ERasterTooLarge(RasterTooLargeMessage(png_get_image_width(h.png, h.info),
                                                png_get_image_height(h.png, h.info), maxPixels));
  return out;
}

}  // namespace picaxo
