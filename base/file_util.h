#pragma once
// Small file-system helpers shared by every layer: names, temporary files, atomic replacement.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

struct AtomicWriteOptions {
  std::string tempExtension = ".tmp";  // the temporary file is folder/tempN<tempExtension>
  std::optional<std::filesystem::file_time_type> modificationTime;  // given to the new file
  std::optional<std::filesystem::perms> permissions;                // given to the new file
};

// Writes data to path so that the file is either replaced whole or left untouched: the bytes go
// to a fresh temporary file in the same folder, which is flushed, closed, given the requested time
// and permissions and then renamed over path in one step. On failure the temporary file is removed
// and EPicaxoError is thrown with the cause (the caller adds its own context).
void WriteFileAtomically(const std::string& path, std::string_view data,
                         const AtomicWriteOptions& options = {});

// Reads a whole file; throws EPicaxoError naming the file and the cause when it cannot
// ("Could not read \"P\": No such file or directory").
std::string ReadWholeFile(const std::string& path);

}  // namespace picaxo
