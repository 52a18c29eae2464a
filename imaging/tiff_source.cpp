// The TIFF reader, on libtiff: the first image of the file. Strips of 8 or 16-bit RGB, grey and
// 8-bit palette samples, the pictures photographers and scanners write, are read sample by sample
// (16 bits rounded to 8); every other layout libtiff knows (tiles, separate planes, YCbCr, CMYK,
// other depths) goes through libtiff's own RGBA reader.
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/metadata.h"
#include "imaging/source_decoders.h"

namespace picaxo {

namespace {

// What libtiff reads from: bytes in memory, or an open file read piece by piece.
struct TTiffInput {
  const char* data = nullptr;
  int fd = -1;
  uint64_t size = 0;
  uint64_t at = 0;
  std::string error;  // libtiff's first complaint
};

tsize_t ReadProc(thandle_t h, tdata_t buffer, tsize_t n) {
  auto* in = static_cast<TTiffInput*>(h);
  if (n <= 0 || in->at >= in->size) return 0;
  const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(n), in->size - in->at);
  if (in->data) {
    std::memcpy(buffer, in->data + in->at, count);
  } else {
    const ssize_t got = ::pread(in->fd, buffer, count, static_cast<off_t>(in->at));
    if (got < 0) return -1;
    in->at += static_cast<uint64_t>(got);
    return got;
  }
  in->at += count;
  return static_cast<tsize_t>(count);
}

tsize_t WriteProc(thandle_t, tdata_t, tsize_t) {
  return -1;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* in = static_cast<TTiffInput*>(h);
  uint64_t to = offset;
  if (whence == SEEK_CUR)
    to = in->at + offset;
  else if (whence == SEEK_END)
    to = in->size + offset;
  in->at = to;
  return to;
}

int CloseProc(thandle_t) {
  return 0;
}

toff_t SizeProc(thandle_t h) {
  return static_cast<TTiffInput*>(h)->size;
}

int MapProc(thandle_t h, tdata_t* base, toff_t* size) {
  auto* in = static_cast<TTiffInput*>(h);
  if (!in->data) return 0;
  *base = const_cast<char*>(in->data);
  *size = in->size;
  return 1;
}

void UnmapProc(thandle_t, tdata_t, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
  auto* in = static_cast<TTiffInput*>(user);
  if (in->error.empty()) {
    char text[300];
    std::vsnprintf(text, sizeof text, format, args);
    in->error = OneLine(text);
  }
  return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

using TTiff = std::unique_ptr<TIFF, void (*)(TIFF*)>;

TTiff OpenTiff(TTiffInput& in) {
  std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                       TIFFOpenOptionsFree);
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &in);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &in);
  // No single buffer beyond what the largest allowed raster needs in 16-bit RGBA.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t{1} << 31);
  TIFF* tif = TIFFClientOpenExt("source", in.data ? "r" : "rm", &in, ReadProc, WriteProc, SeekProc,
                                CloseProc, SizeProc, MapProc, UnmapProc, options.get());
  return TTiff(tif, TIFFClose);
}

[[noreturn]] void Damaged(const TTiffInput& in, const char* fallback) {
  throw ESourceFormatError(std::string("Damaged TIFF file: ") +
                           (in.error.empty() ? fallback : in.error.c_str()));
}

}  // namespace

TDecodedPicture DecodeTiff(std::string_view file, uint32_t background, int64_t maxPixels) {
  TTiffInput in;
  in.data = file.data();
  in.size = file.size();
  TTiff tif = OpenTiff(in);
  if (!tif) Damaged(in, "not a TIFF file");
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
    Damaged(in, "no picture size");
  if (int64_t{width} * height > maxPixels)
    throw ERasterTooLarge(RasterTooLargeMessage(width, height, maxPixels));

  TDecodedPicture out;
  uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, photometric = 0, orientation = 1;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  const bool hasPhotometric = TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric) != 0;
  out.Orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
  uint32_t profileLength = 0;
  void* profile = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &profileLength, &profile) && profile)
    out.Icc.assign(static_cast<const char*>(profile), profileLength);
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  out.Gray = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;

  const int colors = photometric == PHOTOMETRIC_RGB ? 3 : 1;
  const bool plain =
      hasPhotometric && !TIFFIsTiled(tif.get()) && planar == PLANARCONFIG_CONTIG &&
      (bits == 8 || (bits == 16 && photometric != PHOTOMETRIC_PALETTE)) &&
      (photometric == PHOTOMETRIC_RGB || out.Gray || photometric == PHOTOMETRIC_PALETTE) &&
      samples >= colors;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  const uint32_t bb = background >> 16 & 0xFF, bg = background >> 8 & 0xFF, br = background & 0xFF;
  out.Picture = TRasterImage(w, h);

  if (plain) {
    int alphaAt = -1;
    bool associated = false;
    if (samples > colors && extraCount > 0 && extraTypes &&
        (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA)) {
      alphaAt = colors;
      associated = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    out.HadAlpha = alphaAt >= 0;
    uint16_t *mapR = nullptr, *mapG = nullptr, *mapB = nullptr;
    uint8_t palette[3][256] = {};
    if (photometric == PHOTOMETRIC_PALETTE) {
      if (!TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &mapR, &mapG, &mapB))
        Damaged(in, "a palette picture without a palette");
      // Old writers stored 8-bit entries; the others are 16-bit, reduced with rounding.
      bool eightBit = true;
      for (int i = 0; i < 256; ++i)
        eightBit = eightBit && mapR[i] < 256 && mapG[i] < 256 && mapB[i] < 256;
      for (int i = 0; i < 256; ++i) {
        palette[0][i] = eightBit ? static_cast<uint8_t>(mapR[i]) : Reduce16(mapR[i]);
        palette[1][i] = eightBit ? static_cast<uint8_t>(mapG[i]) : Reduce16(mapG[i]);
        palette[2][i] = eightBit ? static_cast<uint8_t>(mapB[i]) : Reduce16(mapB[i]);
      }
    }
    const tmsize_t lineBytes = TIFFScanlineSize(tif.get());
    if (lineBytes < static_cast<tmsize_t>(width) * samples * (bits / 8))
      Damaged(in, "inconsistent row size");
    std::vector<uint8_t> line(static_cast<size_t>(lineBytes));
    const bool white = photometric == PHOTOMETRIC_MINISWHITE;
    for (int y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif.get(), line.data(), static_cast<uint32_t>(y), 0) < 0)
        Damaged(in, "cannot read a row");
      uint8_t* q = out.Picture.ScanLine(y);
      const auto sample = [&](size_t i) -> uint32_t {
        if (bits == 8) return line[i];
        uint16_t v;
        std::memcpy(&v, line.data() + 2 * i, 2);
        return Reduce16(v);
      };
      for (int x = 0; x < w; ++x, q += 3) {
        const size_t at = static_cast<size_t>(x) * samples;
        uint32_t r, g, b;
        if (photometric == PHOTOMETRIC_RGB) {
          r = sample(at), g = sample(at + 1), b = sample(at + 2);
        } else if (photometric == PHOTOMETRIC_PALETTE) {
          const uint8_t i = line[at];
          r = palette[0][i], g = palette[1][i], b = palette[2][i];
        } else {
          r = g = b = white ? 255 - sample(at) : sample(at);
        }
        if (alphaAt >= 0) {
          const uint32_t a = sample(at + static_cast<size_t>(alphaAt));
          if (associated) {
            r = std::min<uint32_t>(255, r + OverBackground(0, a, br));
            g = std::min<uint32_t>(255, g + OverBackground(0, a, bg));
            b = std::min<uint32_t>(255, b + OverBackground(0, a, bb));
          } else {
            r = OverBackground(r, a, br), g = OverBackground(g, a, bg),
            b = OverBackground(b, a, bb);
          }
        }
        q[0] = static_cast<uint8_t>(b), q[1] = static_cast<uint8_t>(g),
        q[2] = static_cast<uint8_t>(r);
      }
    }
    return out;
  }

  char message[1024] = "";
  TIFFRGBAImage image;
  if (!TIFFRGBAImageOK(tif.get(), message) || !TIFFRGBAImageBegin(&image, tif.get(), 0, message))
    throw ESourceFormatError(std::string("Unsupported TIFF file: ") +
                             (*message ? message : in.error.c_str()));
  // Rows as stored, top first: the orientation is applied by the caller as for every format.
  image.req_orientation = ORIENTATION_TOPLEFT;
  image.orientation = ORIENTATION_TOPLEFT;
  out.HadAlpha = image.alpha != 0;
  std::vector<uint32_t> abgr(static_cast<size_t>(width) * height);
  const int ok = TIFFRGBAImageGet(&image, abgr.data(), width, height);
  TIFFRGBAImageEnd(&image);
  if (!ok) Damaged(in, "cannot read the picture");
  for (int y = 0; y < h; ++y) {
    const uint32_t* p = abgr.data() + static_cast<size_t>(width) * y;
    uint8_t* q = out.Picture.ScanLine(y);
    for (int x = 0; x < w; ++x, q += 3) {
      uint32_t r = TIFFGetR(p[x]), g = TIFFGetG(p[x]), b = TIFFGetB(p[x]);
      const uint32_t a = TIFFGetA(p[x]);
      // libtiff's reader hands out premultiplied colours.
      if (out.HadAlpha && a != 255) {
        r = std::min<uint32_t>(255, r + OverBackground(0, a, br));
        g = std::min<uint32_t>(255, g + OverBackground(0, a, bg));
        b = std::min<uint32_t>(255, b + OverBackground(0, a, bb));
      }
      q[0] = static_cast<uint8_t>(b), q[1] = static_cast<uint8_t>(g),
      q[2] = static_cast<uint8_t>(r);
    }
  }
  return out;
}

TOutputExtras TiffExtras(std::string_view file) {
  TOutputExtras out;
  TTiffInput in;
  in.data = file.data();
  in.size = file.size();
  TTiff tif = OpenTiff(in);
  if (!tif) return out;
  uint32_t length = 0;
  void* data = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &length, &data) && data)
    out.IccProfile.assign(static_cast<const char*>(data), length);
  length = 0;
  data = nullptr;
  if (TIFFGetField(tif.get(), TIFFTAG_XMLPACKET, &length, &data) && data)
    out.Xmp.assign(static_cast<const char*>(data), length);
  // The EXIF of a TIFF file is its first directory (camera, date, ...) with the EXIF and GPS
  // directories it points to, taken apart from the picture's own layout by exiv2.
  out.Exif = ExifOfTiffFile(file);
  return out;
}

// The size of the first image of the open TIFF file fd, from its first directory.
TPictureSize TiffSizeOfFile(int fd, int64_t size) {
  TTiffInput in;
  in.fd = fd;
  in.size = static_cast<uint64_t>(size);
  TTiff tif = OpenTiff(in);
  if (!tif) Damaged(in, "not a TIFF file");
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
    Damaged(in, "no picture size");
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) Damaged(in, "a picture size out of range");
  return {static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace picaxo
