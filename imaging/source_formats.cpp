// The dispatch over the readers of source_decoders.h, and the header-only picture sizes.
#include <fcntl.h>
#include <unistd.h>
#include <webp/decode.h>

#include <cerrno>
#include <cstdlib>

#include "base/file_util.h"
#include "imaging/jpeg_markers.h"
#include "imaging/source_decoders.h"

namespace picaxo {

// In heif_source.cpp and tiff_source.cpp: the size from an open file, read piece by piece.
TPictureSize HeifSizeOfFile(int fd, int64_t size);
TPictureSize TiffSizeOfFile(int fd, int64_t size);

TDecodedPicture DecodeSourceFormat(EImageFormat format, std::string_view file, uint32_t background,
                                   int64_t maxPixels) {
  switch (format) {
    case EImageFormat::Png:
      return DecodePng(file, background, maxPixels);
    case EImageFormat::WebP:
      return DecodeWebP(file, background, maxPixels);
    case EImageFormat::Heif:
    case EImageFormat::Avif:
      return DecodeHeif(file, background, maxPixels);
    case EImageFormat::Tiff:
      return DecodeTiff(file, background, maxPixels);
    case EImageFormat::Jpeg:
    case EImageFormat::Bmp:
      break;
  }
  throw ESourceFormatError("Not a format of the general readers");
}

TOutputExtras ReadFormatExtras(EImageFormat format, std::string_view file) {
  switch (format) {
    case EImageFormat::Png:
      return PngExtras(file);
    case EImageFormat::WebP:
      return WebPExtras(file);
    case EImageFormat::Heif:
    case EImageFormat::Avif:
      return HeifExtras(file);
    case EImageFormat::Tiff:
      return TiffExtras(file);
    case EImageFormat::Jpeg:
    case EImageFormat::Bmp:
      break;
  }
  return {};
}

std::string OneLine(std::string_view text) {
  std::string line;
  for (const char c : text)
    line += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

namespace {

uint32_t BigEndian32(std::string_view b, size_t at) {
  const auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])); };
  return u(0) << 24 | u(1) << 16 | u(2) << 8 | u(3);
}

uint32_t LittleEndian32(std::string_view b, size_t at) {
  const auto u = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])); };
  return u(3) << 24 | u(2) << 16 | u(1) << 8 | u(0);
}

[[noreturn]] void BadHeader(const char* format) {
  throw ESourceFormatError(std::string("Damaged ") + format + " file: its header is unreadable");
}

TPictureSize Checked(int64_t width, int64_t height, const char* format) {
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) BadHeader(format);
  return {static_cast<int>(width), static_cast<int>(height)};
}

// The first bytes of the open file fd, at most n.
std::string ReadHead(int fd, size_t n, const std::string& path) {
  std::string head(n, '\0');
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, head.data() + done, n - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw EPicaxoError("Could not read \"" + path + "\"");
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  head.resize(done);
  return head;
}

TPictureSize JpegSize(const std::string& path) {
  for (const TJpegSegment& s : ReadJpegSegments(ReadJpegHeaderBytes(path))) {
    const bool frame = s.Marker >= 0xC0 && s.Marker <= 0xCF && s.Marker != 0xC4 &&
                       s.Marker != 0xC8 && s.Marker != 0xCC;
    if (!frame || s.Payload.size() < 5) continue;
    const auto u = [&](size_t i) { return static_cast<uint8_t>(s.Payload[i]); };
    return Checked(u(3) << 8 | u(4), u(1) << 8 | u(2), "JPEG");
  }
  BadHeader("JPEG");
}

}  // namespace

TPictureSize ReadPictureSize(const std::string& path, EImageFormat format) {
  if (format == EImageFormat::Jpeg) return JpegSize(path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EPicaxoError("Could not read \"" + path + "\"");
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  const int64_t size = RegularFileSize(fd, path);
  switch (format) {
    case EImageFormat::Png: {
      // The signature, then IHDR with the width and height.
      const std::string head = ReadHead(fd, 24, path);
      if (head.size() < 24 || head.compare(12, 4, "IHDR") != 0) BadHeader("PNG");
      return Checked(BigEndian32(head, 16), BigEndian32(head, 20), "PNG");
    }
    case EImageFormat::WebP: {
      int width = 0, height = 0;
      const std::string head = ReadHead(fd, 4096, path);
      if (!WebPGetInfo(reinterpret_cast<const uint8_t*>(head.data()), head.size(), &width, &height))
        BadHeader("WebP");
      return Checked(width, height, "WebP");
    }
    case EImageFormat::Heif:
    case EImageFormat::Avif: {
      const TPictureSize s = HeifSizeOfFile(fd, size);
      return Checked(s.Width, s.Height, "HEIF");
    }
    case EImageFormat::Tiff: {
      const TPictureSize s = TiffSizeOfFile(fd, size);
      return Checked(s.Width, s.Height, "TIFF");
    }
    case EImageFormat::Bmp: {
      const std::string head = ReadHead(fd, 26, path);
      if (head.size() < 18 || head.compare(0, 2, "BM") != 0) BadHeader("BMP");
      if (LittleEndian32(head, 14) == 12) {  // the old core header: 16-bit sides
        const auto u = [&](size_t i) { return static_cast<uint8_t>(head[i]); };
        return Checked(u(18) | u(19) << 8, u(20) | u(21) << 8, "BMP");
      }
      if (head.size() < 26) BadHeader("BMP");
      const int64_t height = static_cast<int32_t>(LittleEndian32(head, 22));
      return Checked(static_cast<int32_t>(LittleEndian32(head, 18)), std::llabs(height), "BMP");
    }
    case EImageFormat::Jpeg:
      break;
  }
  BadHeader("picture");
}

}  // namespace picaxo
