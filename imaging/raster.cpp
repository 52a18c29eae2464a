#include "imaging/raster.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace picaxo {

void AdviseHugePages([[maybe_unused]] void* memory, [[maybe_unused]] size_t bytes) {
#ifdef __linux__
  constexpr size_t kHugePage = size_t{2} << 20;
  if (!memory || bytes < 2 * kHugePage) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(memory) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + bytes) & ~(kHugePage - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

int64_t RasterRowBytes(int64_t width, int bitsPerPixel) {
  return ((width * bitsPerPixel + 31) / 32) * 4;
}

void CheckRasterSize(int64_t width, int64_t height) {
  if (width < 0 || height < 0)
    throw ERasterTooLarge("Invalid image size " + std::to_string(width) + " x " +
                          std::to_string(height));
  if (width > 0 && height > kMaxRasterPixels / width)
    throw ERasterTooLarge(RasterTooLargeMessage(width, height, kMaxRasterPixels));
}

std::string RasterTooLargeMessage(int64_t width, int64_t height, int64_t maxPixels) {
  return "Image of " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels is too large (the limit is " + std::to_string(maxPixels / 1'000'000) +
         " megapixels)";
}

TRasterImage::TRasterImage(int width, int height, TPixelFormat format) {
  Allocate(width, height, format);
}

TRasterImage::TRasterImage(const TRasterImage& other) {
  *this = other;
}

TRasterImage& TRasterImage::operator=(const TRasterImage& other) {
  if (this == &other) return *this;
  Allocate(other.width_, other.height_, other.format_);
  if (ByteSize() > 0) std::memcpy(pixels_.get(), other.pixels_.get(), ByteSize());
  palette_ = other.palette_;
  std::copy(std::begin(other.masks_), std::end(other.masks_), masks_);
  return *this;
}

TRasterImage::TRasterImage(TRasterImage&& other) noexcept {
  *this = std::move(other);
}

TRasterImage& TRasterImage::operator=(TRasterImage&& other) noexcept {
  if (this == &other) return *this;
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  stride_ = std::exchange(other.stride_, 0);
  format_ = other.format_;
  pixels_ = std::move(other.pixels_);
  palette_ = std::move(other.palette_);
  other.palette_.clear();
  std::copy(std::begin(other.masks_), std::end(other.masks_), masks_);
  return *this;
}

void TRasterImage::Allocate(int width, int height, TPixelFormat format) {
  CheckRasterSize(width, height);
  const int64_t row = RasterRowBytes(width, static_cast<int>(format));
  const size_t bytes = static_cast<size_t>(row) * static_cast<size_t>(height);
  // Content after a size change is unspecified, so skip the zero fill on large buffers.
  pixels_ = bytes > 0 ? std::make_unique_for_overwrite<uint8_t[]>(bytes) : nullptr;
  AdviseHugePages(pixels_.get(), bytes);
  width_ = width;
  height_ = height;
  stride_ = static_cast<ptrdiff_t>(row);
  if (format != format_) {
    format_ = format;
    DefaultMasks();
  }
}

void TRasterImage::DefaultMasks() {
  if (format_ == TPixelFormat::pf32bit) {
    masks_[0] = 0x00FF0000;
    masks_[1] = 0x0000FF00;
    masks_[2] = 0x000000FF;
  } else {
    masks_[0] = 0x7C00;
    masks_[1] = 0x03E0;
    masks_[2] = 0x001F;
  }
}

void TRasterImage::SetSize(int width, int height) {
  if (width == width_ && height == height_ && (pixels_ || ByteSize() == 0)) return;
  Allocate(width, height, format_);
}

void TRasterImage::SetBitMasks(uint32_t red, uint32_t green, uint32_t blue) {
  masks_[0] = red;
  masks_[1] = green;
  masks_[2] = blue;
}

namespace {

// Scales the field selected by mask to 0..255, rounding to nearest.
struct ChannelMask {
  explicit ChannelMask(uint32_t mask)
      : shift(mask ? std::countr_zero(mask) : 0), max(mask ? (mask >> shift) : 0) {}
  uint8_t operator()(uint32_t value) const {
    if (max == 0) return 0;
    const uint64_t v = (value >> shift) & max;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
  int shift;
  uint32_t max;
};

}  // namespace

void TRasterImage::WidenRow(int y, uint8_t* dst) const {
  const uint8_t* src = ScanLine(y);
  if (format_ == TPixelFormat::pf24bit) {
    std::copy_n(src, 3 * static_cast<size_t>(width_), dst);
    return;
  }
  const int bpp = BitsPerPixel();
  const ChannelMask red(masks_[0]), green(masks_[1]), blue(masks_[2]);
  for (int x = 0; x < width_; ++x, dst += 3) {
    if (bpp <= 8) {
      unsigned index;
      if (bpp == 8) {
        index = src[x];
      } else if (bpp == 4) {
        index = (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
      } else {
        index = (src[x >> 3] >> (7 - (x & 7))) & 1;
      }
      const TRGBQuad c = index < palette_.size() ? palette_[index] : TRGBQuad{};
      dst[0] = c.blue;
      dst[1] = c.green;
      dst[2] = c.red;
    } else {
      uint32_t v;
      if (bpp == 16) {
        v = static_cast<uint32_t>(src[2 * x]) | (static_cast<uint32_t>(src[2 * x + 1]) << 8);
      } else {
        const uint8_t* p = src + 4 * x;
        v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
            (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
      }
      dst[0] = blue(v);
      dst[1] = green(v);
      dst[2] = red(v);
    }
  }
}

void TRasterImage::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  if (format != TPixelFormat::pf24bit) {
    Allocate(width_, height_, format);
    return;
  }
  TRasterImage converted(width_, height_, TPixelFormat::pf24bit);
  for (int y = 0; y < height_; ++y)
    WidenRow(y, converted.ScanLine(y));
  converted.palette_.clear();
  *this = std::move(converted);
}

void TRasterImage::FillRect(int left, int top, int right, int bottom, uint32_t colorBGR) {
  if (format_ != TPixelFormat::pf24bit) throw EPicaxoError("FillRect needs a 24-bit raster");
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  if (left >= right || top >= bottom) return;
  const uint8_t r = colorBGR & 0xFF, g = (colorBGR >> 8) & 0xFF, b = (colorBGR >> 16) & 0xFF;
  uint8_t* first = ScanLine(top) + 3 * static_cast<ptrdiff_t>(left);
  for (int x = left; x < right; ++x) {
    uint8_t* p = first + 3 * static_cast<ptrdiff_t>(x - left);
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
  const size_t span = 3 * static_cast<size_t>(right - left);
  for (int y = top + 1; y < bottom; ++y)
    std::memcpy(ScanLine(y) + 3 * static_cast<ptrdiff_t>(left), first, span);
}

void TRasterImage::CopyRect(int dstLeft, int dstTop, const TRasterImage& source, int srcLeft,
                            int srcTop, int width, int height) {
  if (format_ != TPixelFormat::pf24bit || source.format_ != TPixelFormat::pf24bit)
    throw EPicaxoError("CopyRect needs 24-bit rasters");
  // Clip against both rasters, in 64 bits so that no combination of arguments overflows.
  int64_t sx = srcLeft, sy = srcTop, dx = dstLeft, dy = dstTop, w = width, h = height;
  const int64_t shiftX = std::max({int64_t{0}, -sx, -dx});
  const int64_t shiftY = std::max({int64_t{0}, -sy, -dy});
  sx += shiftX;
  dx += shiftX;
  w -= shiftX;
  sy += shiftY;
  dy += shiftY;
  h -= shiftY;
  w = std::min({w, int64_t{source.width_} - sx, int64_t{width_} - dx});
  h = std::min({h, int64_t{source.height_} - sy, int64_t{height_} - dy});
  if (w <= 0 || h <= 0) return;
  srcLeft = static_cast<int>(sx);
  srcTop = static_cast<int>(sy);
  dstLeft = static_cast<int>(dx);
  dstTop = static_cast<int>(dy);
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  for (int y = 0; y < height; ++y)
    std::memmove(ScanLine(dstTop + y) + 3 * static_cast<ptrdiff_t>(dstLeft),
                 source.ScanLine(srcTop + y) + 3 * static_cast<ptrdiff_t>(srcLeft),
                 3 * static_cast<size_t>(width));
}

}  // namespace picaxo
