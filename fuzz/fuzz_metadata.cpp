// libFuzzer target for the metadata a re-encode or a direct copy takes over (EXIF, XMP, IPTC,
// comments), read and written through exiv2:
// - under keep and keep public, the segments for a re-encoded output must be whole metadata
//   segments, and those of keep public must hold nothing private any more: filtering them again
//   changes nothing;
// - a direct copy under keep public must leave every byte from the first scan on as it was, and
//   filtering its result again must change nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "imaging/jpeg_markers.h"
#include "imaging/metadata.h"

namespace {

using namespace picaxo;

// A header of a few full segments is all the metadata path reads; larger inputs only slow the
// search down.
constexpr size_t kMaxInput = 256 * 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The bytes after the last header segment: the scans and whatever follows them.
std::string_view AfterHeader(std::string_view file) {
  const auto segments = ReadJpegSegments(file);
  if (segments.empty()) return {};
  return file.substr(segments.back().Offset + segments.back().Length);
}

// segments, as MetadataSegments gives them, must parse back completely as metadata segments.
void CheckWholeSegments(const std::string& segments) {
  const std::string file = "\xFF\xD8" + segments + "\xFF\xD9";
  size_t covered = 2;
  for (const TJpegSegment& s : ReadJpegSegments(file)) {
    Check(s.Offset == covered);
    Check((s.Marker == 0xE1 || s.Marker == 0xED || s.Marker == 0xFE));
    covered += s.Length;
  }
  Check(covered == 2 + segments.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string file(reinterpret_cast<const char*>(data), size);
  const TPictureChanges changes{640, 480, true};

  std::string warning;
  CheckWholeSegments(MetadataSegments(file, TMetadataPolicy::Keep, changes, &warning));
  const std::string kept = MetadataSegments(file, TMetadataPolicy::KeepPublic, changes, &warning);
  CheckWholeSegments(kept);
  const std::string keptFile = "\xFF\xD8" + kept + "\xFF\xD9";
  Check(WithoutPrivateMetadata(keptFile, &warning) == keptFile);

  const std::string copied = WithoutPrivateMetadata(file, &warning);
  if (copied != file) {
    Check(std::string_view(copied).ends_with(AfterHeader(file)));
    Check(WithoutPrivateMetadata(copied, &warning) == copied);
  }
  return 0;
}
