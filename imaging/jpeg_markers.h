#pragma once
// The marker segments of a JPEG file's header: what lies between SOI and the first SOS. The colour
// profile and the metadata of a source live here (APP1 EXIF and XMP, APP2 ICC_PROFILE, APP13
// IPTC, COM); the entropy-coded data after SOS is never looked at.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace picaxo {

struct TJpegSegment {
  uint8_t Marker = 0;        // the second byte of the marker: 0xE0 ... 0xEF for APPn, 0xFE for COM
  size_t Offset = 0;         // where the marker's 0xFF lies in the file
  size_t Length = 0;         // the whole segment: marker, length field and payload
  std::string_view Payload;  // after the length field; it points into the file's bytes
};

// The header segments of file in file order, up to (not including) the first SOS. A file that
// does not start with SOI gives none; a segment that runs past the end ends the list (the
// decoder decides whether such a file is usable).
std::vector<TJpegSegment> ReadJpegSegments(std::string_view file);

// The component count of the frame header among segments (1 gray, 3 colour, 4 CMYK or YCCK), or
// 0 when there is none.
int JpegComponentCount(const std::vector<TJpegSegment>& segments);

// The bytes of path up to its first SOS marker (or the whole file when it has none): enough for
// ReadJpegSegments without reading megabytes of entropy-coded data. Throws as ReadWholeFile.
std::string ReadJpegHeaderBytes(const std::string& path);

// Whether payload starts with the identifier id (which includes its terminating zero, if any).
bool PayloadStartsWith(std::string_view payload, std::string_view id);

// A marker segment: 0xFF, marker, two length bytes, payload (at most 65533 bytes).
std::string MakeSegment(uint8_t marker, std::string_view payload);

// Inserts segments (complete, as MakeSegment builds them) into a file after SOI and the APP0
// segments that directly follow it (the encoder's JFIF header stays first).
std::string InsertSegmentsAfterApp0(std::string_view file, std::string_view segments);

}  // namespace picaxo
