#pragma once
// The destination formats besides JPEG: WebP (libwebp), AVIF (libheif with its built-in AV1
// encoder) and PNG (libpng), each encoded from a 24-bit picture, and decoded again for the
// preview.
//
// Codec settings, fixed here so that a comparison with another program can give it the same ones:
// - WebP: lossy at the image's quality, method 4 (libwebp's own default effort), 4:2:0.
// - AVIF: lossy at the image's quality, encoder speed 6 (0 slowest ... 9 fastest), chroma 4:2:0
//   below quality 90 and 4:4:4 from 90 on (as the JPEG encoders of other programs do), the
//   encoder's own thread count.
// - PNG: lossless, 8-bit RGB, zlib level 6, the adaptive row filter (every filter tried per row).
//
// What each file carries besides its pixels (TOutputExtras): WebP the ICC profile, EXIF and XMP
// (ICCP, EXIF and XMP chunks); AVIF the same (the colour property and the Exif and XMP items);
// PNG the same (iCCP, eXIf and an iTXt "XML:com.adobe.xmp" chunk). IPTC and comments live in
// JPEG markers only, so no other format keeps them.
#include <string>
#include <string_view>

#include "imaging/image_format.h"
#include "imaging/raster.h"

namespace picaxo {

inline constexpr int kWebPMethod = 4;
inline constexpr int kAvifSpeed = 6;
inline constexpr int kAvifFullChromaQuality = 90;
inline constexpr int kPngCompressionLevel = 6;

// What an output carries besides its pixels; empty parts are left out.
struct TOutputExtras {
  std::string IccProfile;  // the whole profile
  std::string Exif;        // the TIFF structure, from its byte-order mark ("II*\0" or "MM\0*")
  std::string Xmp;         // the XMP packet
  bool Empty() const { return IccProfile.empty() && Exif.empty() && Xmp.empty(); }
};

// The complete file of picture (any pixel format; it is widened to 24 bits on the way) in a
// format other than JPEG; quality 1 ... 100 is ignored by PNG. Throws EPicaxoError with the
// library's reason when encoding fails.
std::string EncodeWebP(const TRasterImage& picture, int quality, const TOutputExtras& extras);
std::string EncodeAvif(const TRasterImage& picture, int quality, const TOutputExtras& extras);
std::string EncodePng(const TRasterImage& picture, const TOutputExtras& extras);

// The pixels of a file those encoders wrote, as a 24-bit raster. Throws EPicaxoError with the
// library's reason when the bytes cannot be decoded.
TRasterImage DecodeWebP(std::string_view file);
TRasterImage DecodeAvif(std::string_view file);
TRasterImage DecodePng(std::string_view file);

// Whether file's first bytes are those of the format: the JPEG start marker, the PNG signature,
// a RIFF "WEBP" header, an ISO media "ftyp" box naming the AVIF brand, a BMP "BM", a TIFF
// byte-order mark or a HEIF brand. A direct copy asks it, so that a file named like the output
// format but holding another one is never written under that name.
bool FileHoldsFormat(std::string_view file, EImageFormat format);

}  // namespace picaxo
