#pragma once
// TRasterImage: the in-memory bitmap every processing step works on.
//
// Working format: 24 bits per pixel, three bytes per pixel in the order blue, green, red, each row
// padded to a multiple of 4 bytes, row 0 at the top (Stride() > 0). Decoders may deliver other
// formats (1/4/8-bit palette, 16 and 32-bit with bit masks); SetPixelFormat(pf24bit) converts them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/error.h"

namespace picaxo {

enum class TPixelFormat : int {
  pf1bit = 1,
  pf4bit = 4,
  pf8bit = 8,
  pf16bit = 16,
  pf24bit = 24,
  pf32bit = 32,
};

struct TRGBQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
};

// The largest raster the program will allocate, in pixels. 500 megapixels of 24-bit pixels are
// 1.5 GB; anything beyond is refused before allocation so that a hostile header or a huge frame
// cannot exhaust memory.
inline constexpr int64_t kMaxRasterPixels = 500'000'000;

// Thrown when a raster of more than kMaxRasterPixels pixels (or a negative size) is requested.
class ERasterTooLarge : public EPicaxoError {
 public:
  using EPicaxoError::EPicaxoError;
};

// Row length in bytes of a bitmap of the given width and bit depth, padded to 4 bytes.
int64_t RasterRowBytes(int64_t width, int bitsPerPixel);

// A buffer of tens of megabytes is touched page by page as a decoder fills it; with 4 KiB pages
// the kernel spends a fifth of a resize in page faults. Asking for huge pages for the untouched
// block removes most of them. Advice only: small blocks and any failure are ignored.
void AdviseHugePages(void* memory, size_t bytes);

// Throws ERasterTooLarge when width x height is negative or above kMaxRasterPixels.
void CheckRasterSize(int64_t width, int64_t height);
// "Image of W x H pixels is too large (the limit is N megapixels)" for a limit of maxPixels.
std::string RasterTooLargeMessage(int64_t width, int64_t height, int64_t maxPixels);

class TRasterImage {
 public:
  TRasterImage() = default;
  TRasterImage(int width, int height, TPixelFormat format = TPixelFormat::pf24bit);
  TRasterImage(const TRasterImage& other);
  TRasterImage& operator=(const TRasterImage& other);
  // Moving leaves the other raster empty (0 x 0), never a size without pixels.
  TRasterImage(TRasterImage&& other) noexcept;
  TRasterImage& operator=(TRasterImage&& other) noexcept;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  // Sets the size in the current pixel format. The content afterwards is unspecified.
  void SetSize(int width, int height);

  TPixelFormat PixelFormat() const { return format_; }
  int BitsPerPixel() const { return static_cast<int>(format_); }
  // Changing to pf24bit converts the pixels; any other change reallocates with unspecified content.
  void SetPixelFormat(TPixelFormat format);
  // Row y converted to 24 bits (3 x Width() bytes written to dst), as SetPixelFormat(pf24bit)
  // converts it.
  void WidenRow(int y, uint8_t* dst) const;

  uint8_t* ScanLine(int y) { return pixels_.get() + static_cast<ptrdiff_t>(y) * stride_; }
  const uint8_t* ScanLine(int y) const {
    return pixels_.get() + static_cast<ptrdiff_t>(y) * stride_;
  }
  // Distance in bytes from row y to row y + 1.
  ptrdiff_t Stride() const { return stride_; }
  size_t ByteSize() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_); }

  // Palette of the 1, 4 and 8-bit formats (missing entries read as black).
  std::vector<TRGBQuad>& Palette() { return palette_; }
  const std::vector<TRGBQuad>& Palette() const { return palette_; }

  // Channel masks of the 16 and 32-bit formats; the defaults are 5-5-5 and 8-8-8 (B in the low
  // bits).
  void SetBitMasks(uint32_t red, uint32_t green, uint32_t blue);
  uint32_t RedMask() const { return masks_[0]; }
  uint32_t GreenMask() const { return masks_[1]; }
  uint32_t BlueMask() const { return masks_[2]; }

  // Fills the half-open rectangle [left, right) x [top, bottom), clipped to the raster, with a
  // colour given as 0x00BBGGRR. 24-bit only.
  void FillRect(int left, int top, int right, int bottom, uint32_t colorBGR);

  // Copies width x height pixels from source (x = srcLeft, y = srcTop) to (dstLeft, dstTop),
  // clipped to both rasters. Both must be 24-bit.
  void CopyRect(int dstLeft, int dstTop, const TRasterImage& source, int srcLeft, int srcTop,
                int width, int height);

 private:
  void Allocate(int width, int height, TPixelFormat format);
  void DefaultMasks();

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  ptrdiff_t stride_ = 0;
  std::unique_ptr<uint8_t[]> pixels_;
  std::vector<TRGBQuad> palette_;
  uint32_t masks_[3] = {0x7C00, 0x03E0, 0x001F};
};

}  // namespace picaxo
