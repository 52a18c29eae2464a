#pragma once
// Small file-system helpers shared by every layer: names, temporary files, atomic replacement.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace picaxo {

// Everything before the last "." when that dot is not the first character; otherwise the name
// unchanged. Meant for bare file names ("archive.tar.gz" -> "archive.tar", ".profile" unchanged).
std::string StripExtension(const std::string& name);

// The first folder + "/" + "temp" + N + extension (N = 1, 2, ...) that does not exist. The "/" is
// added only when folder does not end in one. Creates nothing.
std::string MakeTempFileName(const std::string& folder, const std::string& extension);

// A path split at its last "/": the folder without trailing separators except for the root "/"
// ("/a/b.jpg" -> "/a" and "b.jpg", "/b.jpg" -> "/" and "b.jpg", "b.jpg" -> "" and "b.jpg").
struct TPathParts {
  std::string Folder;
  std::string Name;
};
TPathParts SplitPath(std::string_view path);

// folder + "/" + name with exactly one separator between them, whatever separators folder ends
// with; an empty folder gives name alone.
std::string JoinPath(std::string_view folder, std::string_view name);

// ASCII case-insensitive comparison, for names (not identities) of files and settings keys.
bool SameTextAscii(std::string_view a, std::string_view b);

// True when the file name of path ends in extension (".jpg"), ignoring ASCII case.
bool HasExtension(std::string_view path, std::string_view extension);

// Temporary files of atomic writes are hidden and end in ".tmp" (".picaxo-XXXXXX.tmp"), so that
// no folder scan lists one as a photo, also when a killed process leaves it behind.
bool IsTemporaryFileName(std::string_view name);

// Extended attributes of a file (names with their values), access ACLs included: they are the
// attribute "system.posix_acl_access".
using TExtendedAttributes = std::vector<std::pair<std::string, std::string>>;
// The attributes of the open file fd; those that cannot be read are left out.
TExtendedAttributes ReadExtendedAttributes(int fd);

struct AtomicWriteOptions {
  std::optional<std::filesystem::file_time_type> modificationTime;  // given to the new file
  std::optional<std::filesystem::perms> permissions;                // given to the new file
  // Given to the new file where the process may set them; what cannot be kept is reported in the
  // result, not thrown.
  std::optional<std::pair<uint32_t, uint32_t>> owner;  // user and group ids
  TExtendedAttributes extendedAttributes;
};

// Writes data to path so that the file is either replaced whole or left untouched: the bytes go
// to a fresh hidden temporary file in the same folder (see IsTemporaryFileName), which is
// flushed, closed, given the requested owner, permissions, attributes and time and then renamed
// over path in one step. On failure the temporary file is removed and EPicaxoError is thrown with
// the cause (the caller adds its own context). Returns one sentence for each part of the owner
// and attributes that could not be kept ("the owner could not be kept: Operation not permitted").
std::vector<std::string> WriteFileAtomically(const std::string& path, std::string_view data,
                                             const AtomicWriteOptions& options = {});

// Largest file ReadWholeFile reads: far above any photo the pixel limits let through.
inline constexpr int64_t kMaxReadBytes = int64_t{4} << 30;

// Throws EPicaxoError naming path (as shown) when the open file fd is not a regular file (a named
// pipe, a device, a socket or a folder under a photo's name) or is larger than maxBytes; returns
// its size otherwise.
int64_t RegularFileSize(int fd, const std::string& shown, int64_t maxBytes = kMaxReadBytes);

// Reads a whole regular file, never more than the size it has when opened (a file that grows
// meanwhile is read up to that size). Opens without blocking, so that a named pipe cannot hang
// the program, and refuses anything but a regular file (RegularFileSize). Throws EPicaxoError with
// the cause when it cannot.
std::string ReadWholeFile(const std::string& path, int64_t maxBytes = kMaxReadBytes);

}  // namespace picaxo
