#pragma once
// Lossless rotation of a source JPEG file in place: read whole, transform the coefficients in
// memory, replace the file in one atomic step.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
  int warnings = 0;  // warnings of the decoder (corrupt or missing entropy data)
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
};

// Replaces the existing file at path with data through "temp" + N + ".jpg" in its folder, which
// gets the given time and permissions before it is renamed over path. On any failure (including
// a path that no longer exists, and a file the user may not write to) the file at path is left as
// it was, the temporary file is removed and EPicaxoError "Error saving image to <path>:\n<cause>"
// is thrown.
void ReplaceSourceFile(const std::string& path, std::string_view data,
                       const TSourceFileState& state);

// Rotates the JPEG file at path in place by direction (kRotateRight, kRotateHalf, kRotateLeft),
// keeping its modification time and permission bits. With autoOrient, a file tagged with an EXIF
// orientation other than 1 is turned as it is shown: the stored picture gets the composition of
// the orientation and the turn, the tag is set to 1 in place and the EXIF thumbnail (which shows
// the picture the old way) is unlinked; every other byte of the markers stays. Without a tag, with
// tag 1 or without autoOrient, the file turns by direction alone and its markers stay unchanged.
// Returns the decoder's warning count: the file is rotated and replaced even when it is non-zero.
// Throws EPicaxoError with the library's message for an unreadable image, and the message of
// ReplaceSourceFile when replacing fails; in both cases the file is unchanged.
int RotateJPEGFile(const std::string& path, uint8_t direction, bool autoOrient = true);

}  // namespace picaxo
