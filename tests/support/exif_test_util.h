#pragma once
// EXIF APP1 markers made on the spot, as cameras write them: IFD0 with a camera make and the
// orientation, and optionally an IFD1 thumbnail.
#include <algorithm>
#include <cstdint>
#include <string>

#include "imaging/raster.h"

namespace picaxo::testing {

struct TExifLayout {
  int orientation = 6;
  bool bigEndian = false;
  std::string thumbnail;  // JPEG bytes of an IFD1 thumbnail; none when empty
};

// The TIFF structure of an EXIF block (what follows "Exif\0\0").
inline std::string ExifTiff(const TExifLayout& layout) {
  std::string t;
  const auto put16 = [&](uint32_t v) {
    if (layout.bigEndian) {
      t += static_cast<char>(v >> 8 & 0xFF);
      t += static_cast<char>(v & 0xFF);
    } else {
      t += static_cast<char>(v & 0xFF);
      t += static_cast<char>(v >> 8 & 0xFF);
    }
  };
  const auto put32 = [&](uint32_t v) {
    if (layout.bigEndian) {
      put16(v >> 16);
      put16(v & 0xFFFF);
    } else {
      put16(v & 0xFFFF);
      put16(v >> 16);
    }
  };
  const bool thumb = !layout.thumbnail.empty();
  t += layout.bigEndian ? "MM" : "II";
  put16(42);
  put32(8);
  // IFD0 at 8: Make (ASCII, 8 bytes at an offset) and Orientation.
  const uint32_t ifd0Size = 2 + 2 * 12 + 4;
  const uint32_t makeAt = 8 + ifd0Size;
  const uint32_t ifd1At = makeAt + 8;
  const uint32_t ifd1Size = 2 + 2 * 12 + 4;
  const uint32_t thumbAt = ifd1At + ifd1Size;
  put16(2);
  put16(0x010F);
  put16(2);
  put32(8);
  put32(makeAt);
  put16(0x0112);
  put16(3);
  put32(1);
  put16(static_cast<uint32_t>(layout.orientation));
  put16(0);
  put32(thumb ? ifd1At : 0);
  t += std::string("Picaxo!\0", 8);
  if (thumb) {
    put16(2);
    put16(0x0201);  // JPEGInterchangeFormat
    put16(4);
    put32(1);
    put32(thumbAt);
    put16(0x0202);  // JPEGInterchangeFormatLength
    put16(4);
    put32(1);
    put32(static_cast<uint32_t>(layout.thumbnail.size()));
    put32(0);
    t += layout.thumbnail;
  }
  return t;
}

// A whole APP1 marker holding tiff.
inline std::string ExifMarker(const std::string& tiff) {
  const std::string data = std::string("Exif\0\0", 6) + tiff;
  const size_t length = data.size() + 2;
  return std::string("\xFF\xE1") + static_cast<char>(length >> 8 & 0xFF) +
         static_cast<char>(length & 0xFF) + data;
}

// jpeg with marker placed right after its start of image (and its JFIF APP0 when it has one).
inline std::string WithMarker(const std::string& jpeg, const std::string& marker) {
  size_t at = 2;
  if (jpeg.size() > 6 && static_cast<uint8_t>(jpeg[2]) == 0xFF &&
      static_cast<uint8_t>(jpeg[3]) == 0xE0)
    at = 4 + (static_cast<uint8_t>(jpeg[4]) << 8 | static_cast<uint8_t>(jpeg[5]));
  return jpeg.substr(0, at) + marker + jpeg.substr(at);
}

// jpeg carrying an EXIF orientation tag.
inline std::string WithOrientation(const std::string& jpeg, int orientation) {
  return WithMarker(jpeg, ExifMarker(ExifTiff({orientation, false, {}})));
}

// The upright picture by the EXIF table itself: for each orientation, the side of the upright
// picture where the stored row 0 and the stored column 0 end up.
inline picaxo::TRasterImage TurnByTable(const picaxo::TRasterImage& stored, int orientation) {
  enum Side { Top, Bottom, Left, Right };
  static const Side row0[9] = {Top, Top, Top, Bottom, Bottom, Left, Right, Right, Left};
  static const Side col0[9] = {Left, Left, Right, Right, Left, Top, Top, Bottom, Bottom};
  const bool swap = orientation >= 5;
  picaxo::TRasterImage up(swap ? stored.Height() : stored.Width(),
                          swap ? stored.Width() : stored.Height());
  for (int sy = 0; sy < stored.Height(); ++sy)
    for (int sx = 0; sx < stored.Width(); ++sx) {
      int x = 0, y = 0;
      switch (row0[orientation]) {
        case Top:
          y = sy;
          break;
        case Bottom:
          y = up.Height() - 1 - sy;
          break;
        case Left:
          x = sy;
          break;
        case Right:
          x = up.Width() - 1 - sy;
          break;
      }
      switch (col0[orientation]) {
        case Top:
          y = sx;
          break;
        case Bottom:
          y = up.Height() - 1 - sx;
          break;
        case Left:
          x = sx;
          break;
        case Right:
          x = up.Width() - 1 - sx;
          break;
      }
      std::copy_n(stored.ScanLine(sy) + 3 * sx, 3, up.ScanLine(y) + 3 * x);
    }
  return up;
}

}  // namespace picaxo::testing
