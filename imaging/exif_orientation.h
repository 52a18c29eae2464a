#pragma once
// The EXIF orientation of a JPEG file, read from its APP1 marker without decoding anything.
//
// Cameras and phones store the picture as the sensor saw it and record in tag 0x0112 of the
// first image directory (IFD0) how it must be turned to stand upright. Only IFD0 is read (no
// chain of directories is followed), every offset is checked against the marker's end, and the
// walk over the markers stops at the first scan. Broken data (a truncated marker, an offset out
// of range, a value outside 1 ... 8, a tag of the wrong type) counts as no tag, and the reason
// is kept so that a caller can say what it ignored.
#include <cstdint>
#include <string>
#include <string_view>

namespace picaxo {

struct TExifOrientation {
  // 1 ... 8 as EXIF numbers them; 1 (as stored) when the file has no usable tag.
  int Orientation = 1;
  // Why a tag that is there was not used (empty when it was used or there is none).
  std::string Ignored;
  // Where the tag's 2-byte value lies in the bytes read, or -1: lets a caller set it in place.
  int64_t ValueOffset = -1;
  // Where IFD0's 4-byte link to the next directory (the thumbnail's) lies, or -1.
  int64_t NextIfdOffset = -1;
  bool BigEndian = false;  // byte order of the two fields above
};

// Reads the orientation of a JPEG file held in memory (any prefix of the file will do as long as
// it holds the markers before the first scan).
TExifOrientation ReadExifOrientation(std::string_view jpeg);

// The orientation in a bare EXIF block (the TIFF structure, from "II" or "MM" on), as PNG, WebP
// and HEIF files carry it.
TExifOrientation ReadExifOrientationTiff(std::string_view tiff);
// The same from a file, reading only its markers up to the EXIF one (a few small reads, not the
// whole file). A file that cannot be read counts as untagged.
TExifOrientation ReadExifOrientationFile(const std::string& path);

// Sets the orientation value recorded at info.ValueOffset to 1 and unlinks IFD0's next directory
// (the thumbnail, which would now show the picture turned the old way). jpeg must hold the same
// markers at the same offsets as the bytes info was read from.
void ResetExifOrientation(std::string& jpeg, const TExifOrientation& info);

// Whether the upright picture's width is the stored height (the transposing orientations).
inline bool OrientationSwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

}  // namespace picaxo
