// WebP output through libwebp's advanced encoder and its muxer for the extras.
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>
#include <memory>

#include "imaging/output_codec.h"
#include "imaging/output_codec_util.h"

namespace picaxo {

namespace {

const char* WebPEncodeReason(WebPEncodingError code) {
  switch (code) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
      return "not enough memory";
    case VP8_ENC_ERROR_BAD_DIMENSION:
      return "the picture is too large for WebP (at most 16383 pixels a side)";
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
      return "the picture's data exceeds a WebP partition";
    default:
      return "the encoder failed";
  }
}

struct TPictureGuard {
  WebPPicture* picture;
  ~TPictureGuard() { WebPPictureFree(picture); }
};

// The bitstream with the extras in their chunks.
std::string WithWebPChunks(const std::string& bitstream, const TOutputExtras& extras) {
  std::unique_ptr<WebPMux, void (*)(WebPMux*)> mux(WebPMuxNew(), WebPMuxDelete);
  if (!mux) throw EPicaxoError("Cannot write the WebP file: not enough memory");
  const auto data = [](const std::string& bytes) {
    return WebPData{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  };
  const WebPData image = data(bitstream);
  bool ok = WebPMuxSetImage(mux.get(), &image, 0) == WEBP_MUX_OK;
  const std::pair<const char*, const std::string*> chunks[] = {
      {"ICCP", &extras.IccProfile}, {"EXIF", &extras.Exif}, {"XMP ", &extras.Xmp}};
  for (const auto& [fourcc, bytes] : chunks) {
    if (!ok || bytes->empty()) continue;
    const WebPData chunk = data(*bytes);
    ok = WebPMuxSetChunk(mux.get(), fourcc, &chunk, 0) == WEBP_MUX_OK;
  }
  WebPData assembled;
  WebPDataInit(&assembled);
  if (ok) ok = WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
  std::string file;
  if (ok) file.assign(reinterpret_cast<const char*>(assembled.bytes), assembled.size);
  WebPDataClear(&assembled);
  if (!ok) throw EPicaxoError("Cannot write the WebP file: its metadata could not be added");
  return file;
}

}  // namespace

std::string EncodeWebP(const TRasterImage& picture, int quality, const TOutputExtras& extras) {
  const TRasterImage* bgr = &picture;
  TRasterImage widened;
  if (picture.PixelFormat() != TPixelFormat::pf24bit) bgr = &(widened = Widened(picture));

  WebPConfig config;
  if (!WebPConfigInit(&config)) throw EPicaxoError("Cannot write the WebP file: wrong libwebp");
  config.quality = static_cast<float>(ClampQuality(quality));
  config.method = kWebPMethod;
  WebPPicture pic;
  if (!WebPPictureInit(&pic)) throw EPicaxoError("Cannot write the WebP file: wrong libwebp");
  TPictureGuard guard{&pic};
  pic.use_argb = 0;
  pic.width = bgr->Width();
  pic.height = bgr->Height();
  if (pic.width > WEBP_MAX_DIMENSION || pic.height > WEBP_MAX_DIMENSION)
    throw EPicaxoError(std::string("Cannot write the WebP file: ") +
                       WebPEncodeReason(VP8_ENC_ERROR_BAD_DIMENSION));
  if (!WebPPictureImportBGR(&pic, bgr->ScanLine(0), static_cast<int>(bgr->Stride())))
    throw EPicaxoError("Cannot write the WebP file: not enough memory");
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  pic.writer = WebPMemoryWrite;
  pic.custom_ptr = &writer;
  const bool ok = WebPEncode(&config, &pic) != 0;
  std::string bitstream;
  if (ok) bitstream.assign(reinterpret_cast<const char*>(writer.mem), writer.size);
  WebPMemoryWriterClear(&writer);
  if (!ok)
    throw EPicaxoError(std::string("Cannot write the WebP file: ") +
                       WebPEncodeReason(pic.error_code));
  if (extras.Empty()) return bitstream;
  return WithWebPChunks(bitstream, extras);
}

TRasterImage DecodeWebP(std::string_view file) {
  const auto* data = reinterpret_cast<const uint8_t*>(file.data());
  int width = 0, height = 0;
  if (!WebPGetInfo(data, file.size(), &width, &height))
    throw EPicaxoError("Cannot read the WebP file: it is damaged or not a WebP file");
  CheckRasterSize(width, height);
  TRasterImage picture(width, height);
  if (!WebPDecodeBGRInto(data, file.size(), picture.ScanLine(0), picture.ByteSize(),
                         static_cast<int>(picture.Stride())))
    throw EPicaxoError("Cannot read the WebP file: its image data is damaged");
  return picture;
}

}  // namespace picaxo
