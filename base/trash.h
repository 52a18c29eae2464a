#pragma once
// The desktop's trash (the freedesktop.org layout): a file the user deletes is moved into a trash
// folder's "files" with a ".trashinfo" record in its "info" naming where it came from, so a file
// manager can restore it. Nothing is ever moved anywhere but into such a trash.
#include <optional>
#include <string>

namespace picaxo {

// The user's home trash: xdgDataHome + "/Trash" when that is an absolute path, otherwise home +
// "/.local/share/Trash"; empty when neither is known. The arguments are the environment values
// (null when unset).
std::string HomeTrashFolder(const char* xdgDataHome, const char* home);

// The home trash of this process's environment.
std::string HomeTrashFolder();

// The "Path=" value of a record: the path with every byte outside A-Z a-z 0-9 - _ . ~ / written
// as %XX.
std::string TrashInfoPath(const std::string& path);

// Moves the file at path into a trash: the home trash (homeTrash, created with "files" and "info"
// of mode 700 when missing) when the file is on its file system, otherwise the trash at the top of
// the file's own mount ($topdir/.Trash/$uid when the administrator provides one, else
// $topdir/.Trash-$uid). The name in the trash is the file's own, or "name.N.ext" when that is
// taken. Returns the file's new path; nothing (and the file untouched) when no trash could take
// it.
std::optional<std::string> MoveToTrash(const std::string& path, const std::string& homeTrash);
std::optional<std::string> MoveToTrash(const std::string& path);

}  // namespace picaxo
