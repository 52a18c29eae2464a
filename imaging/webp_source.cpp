// The WebP reader, on libwebp; the EXIF and ICC chunks come through its demuxer.
#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <vector>

#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

const char* StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "the bitstream is damaged";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "a feature this reader does not support (an animation?)";
    case VP8_STATUS_SUSPENDED:
      return "decoding was suspended";
    case VP8_STATUS_USER_ABORT:
      return "decoding was stopped";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "the file is truncated";
    default:
      return "unknown error";
  }
}

// The payload of the chunk fourcc, or empty.
std::string ChunkOf(const WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator chunk;
  std::string data;
  if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) {
    data.assign(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
  }
  return data;
}

}  // namespace

TOutputExtras WebPExtras(std::string_view file) {
  TOutputExtras out;
  WebPData data{reinterpret_cast<const uint8_t*>(file.data()), file.size()};
  std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&data), WebPDemuxDelete);
  if (!demux) return out;
  const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  if (flags & ICCP_FLAG) out.IccProfile = ChunkOf(demux.get(), "ICCP");
  if (flags & EXIF_FLAG) out.Exif = ChunkOf(demux.get(), "EXIF");
  if (flags & XMP_FLAG) out.Xmp = ChunkOf(demux.get(), "XMP ");
  if (out.Exif.compare(0, 6, std::string_view("Exif\0\0", 6)) == 0) out.Exif.erase(0, 6);
  return out;
}

TDecodedPicture DecodeWebP(std::string_view file, uint32_t background, int64_t maxPixels) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) throw ESourceFormatError("The WebP library is unusable");
  const VP8StatusCode header = WebPGetFeatures(bytes, file.size(), &config.input);
  if (header != VP8_STATUS_OK)
    throw ESourceFormatError(std::string("Damaged WebP file: ") + StatusText(header));
  const int width = config.input.width, height = config.input.height;
  if (int64_t{width} * height > maxPixels)
    throw ERasterTooLarge(RasterTooLargeMessage(width, height, maxPixels));
  if (config.input.has_animation) throw ESourceFormatError("Animated WebP files are not supported");

  TDecodedPicture out;
  WebPData data{bytes, file.size()};
  if (std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&data), WebPDemuxDelete);
      demux) {
    const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    if (flags & EXIF_FLAG) out.Exif = ChunkOf(demux.get(), "EXIF");
    if (flags & ICCP_FLAG) out.Icc = ChunkOf(demux.get(), "ICCP");
  }
  // Some writers put the "Exif\0\0" marker header before the TIFF structure.
  if (out.Exif.compare(0, 6, std::string_view("Exif\0\0", 6)) == 0) out.Exif.erase(0, 6);

  out.HadAlpha = config.input.has_alpha != 0;
  out.Picture = TRasterImage(width, height);
  std::vector<uint8_t> bgra;
  config.output.is_external_memory = 1;
  if (!out.HadAlpha) {
    // Straight into the raster's rows.
    config.output.colorspace = MODE_BGR;
    config.output.u.RGBA.rgba = out.Picture.ScanLine(0);
    config.output.u.RGBA.stride = static_cast<int>(out.Picture.Stride());
    config.output.u.RGBA.size = out.Picture.ByteSize();
  } else {
    bgra.resize(size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height));
    config.output.colorspace = MODE_BGRA;
    config.output.u.RGBA.rgba = bgra.data();
    config.output.u.RGBA.stride = 4 * width;
    config.output.u.RGBA.size = bgra.size();
  }
  const VP8StatusCode status = WebPDecode(bytes, file.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK)
    throw ESourceFormatError(std::string("Damaged WebP file: ") + StatusText(status));
  if (out.HadAlpha) {
    const uint32_t bb = background >> 16 & 0xFF, bg = background >> 8 & 0xFF,
                   br = background & 0xFF;
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = bgra.data() + size_t{4} * static_cast<size_t>(width) * y;
      uint8_t* q = out.Picture.ScanLine(y);
      for (int x = 0; x < width; ++x, p += 4, q += 3) {
        const uint32_t a = p[3];
        q[0] = OverBackground(p[0], a, bb);
        q[1] = OverBackground(p[1], a, bg);
        q[2] = OverBackground(p[2], a, br);
      }
    }
  }
  return out;
}

}  // namespace picaxo
