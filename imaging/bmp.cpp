#include "imaging/bmp.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/file_util.h"

namespace picaxo {

namespace {

// Header sizes: BITMAPCOREHEADER, then BITMAPINFOHEADER and its versions 2 to 5.
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kInfoHeaderV2 = 52;  // + red, green, blue masks
constexpr uint32_t kInfoHeaderV3 = 56;  // + alpha mask
constexpr uint32_t kInfoHeaderV4 = 108;
constexpr uint32_t kInfoHeaderV5 = 124;
constexpr size_t kFileHeader = 14;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

[[noreturn]] void Fail(const std::string& problem) {
  throw EBitmapError("Cannot read the BMP file: " + problem);
}

[[noreturn]] void Truncated() {
  Fail("the file is truncated");
}

// Little-endian fields at a checked position of the file.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  size_t size() const { return data_.size(); }
  const uint8_t* at(size_t offset, size_t length) const {
    if (offset > data_.size() || length > data_.size() - offset) Truncated();
    return reinterpret_cast<const uint8_t*>(data_.data()) + offset;
  }
  uint16_t U16(size_t offset) const {
    const uint8_t* p = at(offset, 2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t U32(size_t offset) const {
    const uint8_t* p = at(offset, 4);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }

 private:
  std::string_view data_;
};

// A channel mask must be one run of set bits inside the pixel; masks must not overlap.
void CheckMasks(uint32_t red, uint32_t green, uint32_t blue, int bitsPerPixel) {
  const uint64_t pixelBits = bitsPerPixel == 32 ? 0xFFFFFFFFull : (1ull << bitsPerPixel) - 1;
  for (uint32_t mask : {red, green, blue}) {
    if (mask == 0 || mask > pixelBits) Fail("a colour mask is invalid");
    const uint32_t run = mask >> std::countr_zero(mask);
    if ((run & (run + 1)) != 0) Fail("a colour mask is not contiguous");
  }
  if ((red & green) || (red & blue) || (green & blue)) Fail("the colour masks overlap");
}

// Run-length decoding of BI_RLE8 and BI_RLE4 into a zeroed, bottom-up raster. Rows and columns
// beyond the raster are dropped, never written; the stream must end with its end-of-bitmap code
// unless every row has been reached.
void DecodeRle(const uint8_t* p, size_t size, TRasterImage& raster, bool four) {
  const int width = raster.Width(), height = raster.Height();
  auto put = [&](int x, int y, unsigned index) {
    if (x < 0 || x >= width || y >= height) return;
    uint8_t* row = raster.ScanLine(height - 1 - y);
    if (!four) {
      row[x] = static_cast<uint8_t>(index);
    } else {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
    }
  };
  size_t i = 0;
  int64_t x = 0, y = 0;
  while (y < height) {
    if (size - i < 2) Truncated();
    const unsigned count = p[i], value = p[i + 1];
    i += 2;
    if (count > 0) {
      for (unsigned k = 0; k < count && x < width; ++k, ++x)
        put(static_cast<int>(x), static_cast<int>(y),
            four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2:  // delta
        if (size - i < 2) Truncated();
        x += p[i];
        y += p[i + 1];
        i += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
        const size_t bytes = four ? (value + 1) / 2 : value;
        const size_t padded = (bytes + 1) & ~size_t{1};
        if (size - i < padded) Truncated();
        for (unsigned k = 0; k < value; ++k, ++x) {
          if (x >= width) continue;
          const unsigned index =
              four ? ((k & 1) ? p[i + k / 2] & 0x0F : p[i + k / 2] >> 4) : p[i + k];
          put(static_cast<int>(x), static_cast<int>(y), index);
        }
        i += padded;
        break;
      }
    }
  }
}

}  // namespace

TRasterImage ReadBitmapFile(const std::string& path) {
  return ReadBitmap(ReadWholeFile(path));
}

TRasterImage ReadBitmap(std::string_view data, int64_t maxPixels) {
  const Bytes file(data);
  if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') Fail("it is not a BMP file");
  const uint32_t pixelOffset = file.U32(10);
  const uint32_t headerSize = file.U32(kFileHeader);

  int64_t width, height;
  int bitsPerPixel;
  uint32_t compression = kBiRgb;
  uint32_t colorsUsed = 0;
  int planes;
  size_t paletteStart = kFileHeader + headerSize;
  size_t paletteEntrySize = 4;
  uint32_t masks[3] = {0, 0, 0};
  bool haveMasks = false;

  if (headerSize == kCoreHeader) {
    width = file.U16(18);
    height = file.U16(20);
    planes = file.U16(22);
    bitsPerPixel = file.U16(24);
    paletteEntrySize = 3;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24)
      Fail("unsupported bit depth " + std::to_string(bitsPerPixel));
  } else if (headerSize == kInfoHeader || headerSize == kInfoHeaderV2 ||
             headerSize == kInfoHeaderV3 || headerSize == kInfoHeaderV4 ||
             headerSize == kInfoHeaderV5) {
    width = file.I32(18);
    height = file.I32(22);
    planes = file.U16(26);
    bitsPerPixel = file.U16(28);
    compression = file.U32(30);
    colorsUsed = file.U32(46);
    if (compression == kBiBitfields) {
      // Version 1 keeps the masks right after the header, later versions inside it.
      const size_t at = kFileHeader + kInfoHeader;
      masks[0] = file.U32(at);
      masks[1] = file.U32(at + 4);
      masks[2] = file.U32(at + 8);
      haveMasks = true;
      if (headerSize == kInfoHeader) paletteStart += 12;
    }
  } else {
    Fail("unsupported header size " + std::to_string(headerSize));
  }
  if (data.size() < paletteStart) Truncated();
  if (planes != 1) Fail("the number of planes is " + std::to_string(planes) + ", not 1");

  switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      Fail("unsupported bit depth " + std::to_string(bitsPerPixel));
  }
  switch (compression) {
    case kBiRgb:
      break;
    case kBiRle8:
      if (bitsPerPixel != 8) Fail("RLE8 compression needs 8 bits per pixel");
      break;
    case kBiRle4:
      if (bitsPerPixel != 4) Fail("RLE4 compression needs 4 bits per pixel");
      break;
    case kBiBitfields:
      if (bitsPerPixel != 16 && bitsPerPixel != 32)
        Fail("bit-field compression needs 16 or 32 bits per pixel");
      break;
    default:
      Fail("unsupported compression " + std::to_string(compression));
  }

  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (topDown && (compression == kBiRle8 || compression == kBiRle4))
    Fail("a compressed image cannot be stored top-down");
  if (width <= 0 || height == 0)
    Fail("invalid image size " + std::to_string(width) + " x " + std::to_string(height));
  if (height > maxPixels / width)
    Fail("the image of " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels is too large (the limit is " + std::to_string(maxPixels / 1'000'000) +
         " megapixels)");
  if (pixelOffset < paletteStart || pixelOffset > data.size())
    Fail("invalid pixel data offset " + std::to_string(pixelOffset));

  const int64_t rowBytes = RasterRowBytes(width, bitsPerPixel);
  const bool rle = compression == kBiRle8 || compression == kBiRle4;
  // Uncompressed pixels must all be in the file before anything is allocated for them.
  const int64_t pixelBytes = static_cast<int64_t>(data.size() - pixelOffset);
  if (!rle && rowBytes * height > pixelBytes) Truncated();
  // A run codes at most 255 pixels in two bytes: compressed data that could not cover the picture
  // in runs belongs to a damaged file, refused before the raster is allocated. (Skipping parts of
  // the picture with delta or end-of-bitmap codes is legal, but no encoder makes most of a
  // picture undefined that way.)
  if (rle && width * height > pixelBytes / 2 * 255)
    Fail("the file is damaged: its header claims " + std::to_string(width) + " x " +
         std::to_string(height) + " pixels, far more than its " + std::to_string(pixelBytes) +
         " bytes of compressed data can hold");

  TRasterImage raster(static_cast<int>(width), static_cast<int>(height),
                      static_cast<TPixelFormat>(bitsPerPixel));
  if (bitsPerPixel <= 8) {
    // Entries between the header and the pixels; colorsUsed may ask for fewer than the depth
    // allows, and missing entries read as black.
    const size_t maxEntries = size_t{1} << bitsPerPixel;
    size_t entries = colorsUsed == 0 ? maxEntries : std::min<size_t>(colorsUsed, maxEntries);
    entries = std::min(entries, (pixelOffset - paletteStart) / paletteEntrySize);
    const uint8_t* p = file.at(paletteStart, entries * paletteEntrySize);
    raster.Palette().resize(entries);
    for (size_t i = 0; i < entries; ++i, p += paletteEntrySize)
      raster.Palette()[i] = {p[0], p[1], p[2], 0};
  } else if (haveMasks) {
    CheckMasks(masks[0], masks[1], masks[2], bitsPerPixel);
    raster.SetBitMasks(masks[0], masks[1], masks[2]);
  } else if (bitsPerPixel == 16) {
    raster.SetBitMasks(0x7C00, 0x03E0, 0x001F);
  } else if (bitsPerPixel == 32) {
    raster.SetBitMasks(0x00FF0000, 0x0000FF00, 0x000000FF);
  }

  if (rle) {
    std::memset(raster.ScanLine(0), 0, raster.ByteSize());
    DecodeRle(file.at(pixelOffset, 0), data.size() - pixelOffset, raster, compression == kBiRle4);
    return raster;
  }
  // The file's rows have the raster's layout (same depth, padded to 4 bytes).
  const uint8_t* pixels = file.at(pixelOffset, static_cast<size_t>(rowBytes * height));
  for (int64_t y = 0; y < height; ++y) {
    const int64_t target = topDown ? y : height - 1 - y;
    std::memcpy(raster.ScanLine(static_cast<int>(target)), pixels + y * rowBytes,
                static_cast<size_t>(rowBytes));
  }
  return raster;
}

}  // namespace picaxo
