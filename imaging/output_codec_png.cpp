// PNG output through libpng. Fatal library errors leave through longjmp to the one frame that
// called setjmp, which holds no object with a destructor; the message is kept and thrown after
// the library's objects are destroyed.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "imaging/output_codec.h"
#include "imaging/output_codec_util.h"

namespace picaxo {

namespace {

struct TPngWrite {
  std::string* file = nullptr;
  char message[200] = "the library failed";
};

void PngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<TPngWrite*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngAppend(png_structp png, png_bytep data, size_t size) {
  auto* state = static_cast<TPngWrite*>(png_get_io_ptr(png));
  state->file->append(reinterpret_cast<const char*>(data), size);
}

void PngFlush(png_structp) {}

// Writes the whole file into state.file; false (state.message says why) when the library failed.
bool WritePng(png_structp png, png_infop info, const TRasterImage& bgr, const TOutputExtras& extras,
              TPngWrite& state) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &state, PngAppend, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bgr.Width()),
               static_cast<png_uint_32>(bgr.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, kPngCompressionLevel);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  if (!extras.IccProfile.empty())
    png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE,
                 reinterpret_cast<png_const_bytep>(extras.IccProfile.data()),
                 static_cast<png_uint_32>(extras.IccProfile.size()));
  if (!extras.Exif.empty())
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(extras.Exif.size()),
                   reinterpret_cast<png_bytep>(const_cast<char*>(extras.Exif.data())));
  png_text xmp{};
  if (!extras.Xmp.empty()) {
    xmp.compression = PNG_ITXT_COMPRESSION_NONE;
    xmp.key = const_cast<char*>("XML:com.adobe.xmp");
    xmp.text = const_cast<char*>(extras.Xmp.data());
    xmp.itxt_length = extras.Xmp.size();
    png_set_text(png, info, &xmp, 1);
  }
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < bgr.Height(); ++y)
    png_write_row(png, bgr.ScanLine(y));
  png_write_end(png, info);
  return true;
}

}  // namespace

std::string EncodePng(const TRasterImage& picture, const TOutputExtras& extras) {
  const TRasterImage* bgr = &picture;
  TRasterImage widened;
  if (picture.PixelFormat() != TPixelFormat::pf24bit) bgr = &(widened = Widened(picture));
  std::string file;
  TPngWrite state;
  state.file = &file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    throw EPicaxoError("Cannot write the PNG file: not enough memory");
  }
  const bool ok = WritePng(png, info, *bgr, extras, state);
  png_destroy_write_struct(&png, &info);
  if (!ok) throw EPicaxoError(std::string("Cannot write the PNG file: ") + state.message);
  return file;
}

TRasterImage DecodePng(std::string_view file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  const auto fail = [&image]() -> TRasterImage {
    const std::string reason = image.message[0] ? image.message : "it is damaged";
    png_image_free(&image);
    throw EPicaxoError("Cannot read the PNG file: " + reason);
  };
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return fail();
  image.format = PNG_FORMAT_BGR;
  if (int64_t{image.width} * image.height > kMaxRasterPixels) {
    png_image_free(&image);
    CheckRasterSize(image.width, image.height);
  }
  TRasterImage picture(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, picture.ScanLine(0),
                             static_cast<png_int_32>(picture.Stride()), nullptr))
    return fail();
  return picture;
}

}  // namespace picaxo
