#pragma once
// Lossless rotation of a source JPEG file in place: read whole, transform the coefficients in
// memory, replace the file in one atomic step.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/file_util.h"

#include "lossless/transupp.h"

namespace picaxo {

// Rotation directions of the window's commands.
inline constexpr uint8_t kRotateRight = 0;
inline constexpr uint8_t kRotateHalf = 1;
inline constexpr uint8_t kRotateLeft = 2;

// 0 -> TransformRot90, 1 -> TransformRot180, 2 -> TransformRot270; anything else is an error.
TTransformCode TransformForDirection(uint8_t direction);

// The one transform of the stored coefficients that shows a file tagged with EXIF orientation
// `orientation` (1 ... 8; others act as 1) turned by `turn`: first upright, then turned.
TTransformCode ComposeWithOrientation(int orientation, TTransformCode turn);

struct TTransformedJPEG {
  std::string data;  // the whole output file
  int warnings = 0;  // warnings of the decoder
  int damage = 0;    // those that mean corrupt or missing image data
};

// A source whose image data is damaged is never rotated: the file stays as it was.
class EDamagedJPEG : public EPicaxoError {
 public:
  using EPicaxoError::EPicaxoError;
};

// Transforms a whole JPEG file held in memory, copying every COM and APPn marker. The output is
// sequential Huffman with the library's standard tables and its own JFIF header at the default
// density (or its Adobe marker). Fatal library errors are thrown as EPicaxoError carrying the
// library's message; warnings are counted and processing goes on.
TTransformedJPEG TransformJPEGData(std::string_view jpeg, TTransformCode code);
// The same, freeing the source bytes as soon as the coefficients are read (lower peak memory).
TTransformedJPEG TransformJPEGData(std::string&& jpeg, TTransformCode code);

// What of the source file the replacement keeps.
struct TSourceFileState {
  std::optional<std::filesystem::file_time_type> modificationTime;
  std::optional<std::filesystem::perms> permissions;
  std::optional<std::pair<uint32_t, uint32_t>> owner;  // user and group ids
  TExtendedAttributes extendedAttributes;              // access ACLs included
};

// Replaces the existing file at path with data through a hidden temporary file in its folder
// (WriteFileAtomically), which gets the given owner, permissions, attributes and time before it
// is renamed over path. On any failure (including a path that no longer exists, and a file the
// user may not write to) the file at path is left as it was, the temporary file is removed and
// EPicaxoError "Error saving image to <path>:\n<cause>" is thrown. Returns what of the owner and
// attributes could not be kept (see WriteFileAtomically).
std::vector<std::string> ReplaceSourceFile(const std::string& path, std::string_view data,
                                           const TSourceFileState& state);

// Rotates the JPEG file at path in place by direction (kRotateRight, kRotateHalf, kRotateLeft),
// keeping its modification time, permission bits and, where the process may set them, its owner,
// group and extended attributes (ACLs included); what could not be kept goes to *notKept, one
// sentence each. With autoOrient, a file tagged with an EXIF orientation other than 1 is turned as
// it is shown: the stored picture gets the composition of the orientation and the turn, the tag is
// set to 1 in place and the EXIF thumbnail (which shows the picture the old way) is unlinked;
// every other byte of the markers stays. Without a tag, with tag 1 or without autoOrient, the file
// turns by direction alone and its markers stay unchanged. Returns the decoder's count of harmless
// warnings. Throws, leaving the file as it was: EDamagedJPEG when the decoder warned of corrupt or
// missing image data (the rotated file would lose what it could not read), EPicaxoError with the
// library's message for an unreadable image or a header claiming far more picture than the file
// holds, and the message of ReplaceSourceFile when replacing fails.
int RotateJPEGFile(const std::string& path, uint8_t direction, bool autoOrient = true,
                   std::vector<std::string>* notKept = nullptr);

}  // namespace picaxo
