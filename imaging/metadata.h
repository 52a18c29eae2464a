#pragma once
// The metadata a re-encoded output takes over from its JPEG source (EXIF, XMP, IPTC, comments),
// read and written with exiv2; the markers that carry them are assembled by jpeg_markers.
//
// Private fields, which "keep public" leaves out: location (the EXIF GPS data, XMP GPS and
// location fields, IPTC location), serial numbers (body, lens, the maker's internal ones, which
// live in maker notes), owner names and maker notes.
#include <cstdint>
#include <string>
#include <string_view>

namespace picaxo {

// What a re-encode does with a source's metadata. The numbers are the settings values.
enum class TMetadataPolicy : uint8_t {
  Strip = 0,       // nothing of the source goes into the output
  Keep = 1,        // EXIF, XMP, IPTC and comments go into the output
  KeepPublic = 2,  // the same without private fields
};

// What a re-encode changed about the picture, which the kept EXIF must then say.
struct TPictureChanges {
  int32_t Width = 0;  // the output's size: the EXIF pixel dimensions
  int32_t Height = 0;
  // The pixels were turned upright by the source's orientation: the EXIF orientation becomes 1.
  bool PixelsTurned = false;
};

// The metadata segments of a source header for a re-encoded output (APP1 EXIF, APP1 XMP, APP13
// IPTC, COM, in the source's order), under Keep or KeepPublic; empty under Strip. The EXIF
// thumbnail is dropped, since it shows the source's pixels. Parts exiv2 cannot read are left out
// and warning (when given) names them.
std::string MetadataSegments(std::string_view sourceHeader, TMetadataPolicy policy,
                             const TPictureChanges& changes, std::string* warning);

// A direct copy under KeepPublic: file itself when its header holds no private field, otherwise
// file with those fields removed from its metadata segments; every other byte, the entropy-coded
// data included, is copied unchanged. An EXIF, XMP or IPTC segment that cannot be read is left
// out (it might hold private fields); warning names it.
std::string WithoutPrivateMetadata(std::string file, std::string* warning);

// The EXIF of a TIFF file as a block of its own (a TIFF structure for an EXIF chunk or marker):
// the first directory's descriptive tags (camera, date, author, orientation, ...) with its EXIF,
// GPS and interoperability directories and maker notes, without the tags that describe the file's
// own layout (sizes, samples, strips, tiles, compression, embedded profile, XMP, IPTC); empty
// when there is nothing else or exiv2 cannot read it.
std::string ExifOfTiffFile(std::string_view file);

}  // namespace picaxo
