#pragma once
// Where a destination file goes, and the folder tests saving relies on. All functions work on
// path texts so that the window, the batch and picaxo-cli form the very same names.
#include <string>
#include <system_error>

#include "imaging/image_format.h"

namespace picaxo {

// The longest subfolder (relative to the source folder) carried into a destination folder.
inline constexpr size_t kMaxDestinationSubfolder = 400;

// The destination folder of a source file: the destination field, ending in exactly one "/", then
// the file's subfolder relative to sourceFolder (at most 400 characters; empty for a file directly
// in the source folder, which leaves the trailing "/").
std::string DestinationFolderFor(const std::string& destinationField,
                                 const std::string& sourceFolder, const std::string& sourceFile);

// The destination file name: outputName when not empty, else the source file's name without its
// extension; the format's extension (".jpg", ".webp", ".avif", ".png") is appended in both cases.
std::string DestinationFileNameFor(const std::string& outputName, const std::string& sourceFile,
                                   EOutputFormat format);

// "folder exists": path names an existing folder (a trailing separator is allowed).
bool FolderExists(const std::string& path);

// "file exists": path names something that is not a folder.
bool FileExists(const std::string& path);

// Creates folder and every missing parent. Returns the system's reason when that failed (empty
// when it worked or there was nothing to create); callers still test FolderExists.
std::error_code CreateFolderWithParents(const std::string& folder);

// Whether a and b name the same existing folder, by file identity, so that other spellings,
// symbolic links and "." / ".." forms are recognised. False when either is not a folder.
bool SameFolder(const std::string& a, const std::string& b);

// Whether an existing file may be replaced: the user may write to it and to its folder. For the
// superuser, who may write anything, a file without its owner's write bit counts as read-only.
bool FileIsReplaceable(const std::string& path);

}  // namespace picaxo
