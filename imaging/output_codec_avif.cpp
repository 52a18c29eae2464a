// AVIF output through libheif and the AV1 encoder built into Debian's libheif (libaom).
#include <libheif/heif.h>

#include <cstring>
#include <memory>

#include "imaging/output_codec.h"
#include "imaging/output_codec_util.h"

namespace picaxo {

namespace {

// Throws the library's reason when err is an error.
void Check(const heif_error& err, const char* doing) {
  if (err.code == heif_error_Ok) return;
  throw EPicaxoError(std::string(doing) + ": " +
                     (err.message && *err.message ? err.message : "the library failed"));
}

struct TContext {
  heif_context* context = heif_context_alloc();
  ~TContext() { heif_context_free(context); }
};

heif_error AppendToString(heif_context*, const void* data, size_t size, void* target) {
  static_cast<std::string*>(target)->append(static_cast<const char*>(data), size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

std::string EncodeAvif(const TRasterImage& picture, int quality, const TOutputExtras& extras) {
  constexpr const char* kWriting = "Cannot write the AVIF file";
  const TRasterImage* bgr = &picture;
  TRasterImage widened;
  if (picture.PixelFormat() != TPixelFormat::pf24bit) bgr = &(widened = Widened(picture));
  const int width = bgr->Width(), height = bgr->Height();
  quality = ClampQuality(quality);

  heif_image* rawImage = nullptr;
  Check(
      heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage),
      kWriting);
  const std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage,
                                                                       heif_image_release);
  Check(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8), kWriting);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = bgr->ScanLine(y);
    uint8_t* out = plane + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  if (!extras.IccProfile.empty())
    Check(heif_image_set_raw_color_profile(image.get(), "prof", extras.IccProfile.data(),
                                           extras.IccProfile.size()),
          kWriting);

  TContext ctx;
  if (!ctx.context) throw EPicaxoError(std::string(kWriting) + ": not enough memory");
  heif_encoder* rawEncoder = nullptr;
  Check(heif_context_get_encoder_for_format(ctx.context, heif_compression_AV1, &rawEncoder),
        "Cannot write the AVIF file: no AV1 encoder");
  const std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder,
                                                                       heif_encoder_release);
  Check(heif_encoder_set_lossy_quality(encoder.get(), quality), kWriting);
  Check(heif_encoder_set_parameter_integer(encoder.get(), "speed", kAvifSpeed), kWriting);
  Check(heif_encoder_set_parameter_string(encoder.get(), "chroma",
                                          quality >= kAvifFullChromaQuality ? "444" : "420"),
        kWriting);
  heif_image_handle* rawHandle = nullptr;
  Check(heif_context_encode_image(ctx.context, image.get(), encoder.get(), nullptr, &rawHandle),
        kWriting);
  const std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(
      rawHandle, heif_image_handle_release);
  if (!extras.Exif.empty())
    Check(heif_context_add_exif_metadata(ctx.context, handle.get(), extras.Exif.data(),
                                         static_cast<int>(extras.Exif.size())),
          kWriting);
  if (!extras.Xmp.empty())
    Check(heif_context_add_XMP_metadata(ctx.context, handle.get(), extras.Xmp.data(),
                                        static_cast<int>(extras.Xmp.size())),
          kWriting);
  std::string file;
  heif_writer writer{};
  writer.writer_api_version = 1;
  writer.write = AppendToString;
  Check(heif_context_write(ctx.context, &writer, &file), kWriting);
  return file;
}

TRasterImage DecodeAvif(std::string_view file) {
  constexpr const char* kReading = "Cannot read the AVIF file";
  TContext ctx;
  if (!ctx.context) throw EPicaxoError(std::string(kReading) + ": not enough memory");
  Check(heif_context_read_from_memory_without_copy(ctx.context, file.data(), file.size(), nullptr),
        kReading);
  heif_image_handle* rawHandle = nullptr;
  Check(heif_context_get_primary_image_handle(ctx.context, &rawHandle), kReading);
  const std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(
      rawHandle, heif_image_handle_release);
  CheckRasterSize(heif_image_handle_get_width(handle.get()),
                  heif_image_handle_get_height(handle.get()));
  heif_image* rawImage = nullptr;
  Check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                          nullptr),
        kReading);
  const std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage,
                                                                       heif_image_release);
  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || width <= 0 || height <= 0)
    throw EPicaxoError(std::string(kReading) + ": it holds no picture");
  TRasterImage picture(width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = plane + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* out = picture.ScanLine(y);
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return picture;
}

}  // namespace picaxo
