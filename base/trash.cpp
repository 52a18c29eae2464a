#include "base/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdio.h>  // renameat2
#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

#include "base/file_util.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {

// A trash folder and how its records name a file: absolute paths in the home trash, paths
// relative to the mount's top in a mount's own trash.
struct TTrash {
  std::string Folder;
  std::string TopDir;  // empty for the home trash
};

// Creates folder with mode 700 when missing; true when it is a real folder (not a link) now.
bool EnsurePrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EnsureTrash(const TTrash& trash) {
  if (trash.TopDir.empty()) {
    // The home trash may be the first thing ever stored below the data folder.
    std::error_code error;
    fs::create_directories(fs::path(trash.Folder).parent_path(), error);
  }
  return EnsurePrivateFolder(trash.Folder) && EnsurePrivateFolder(trash.Folder + "/files") &&
         EnsurePrivateFolder(trash.Folder + "/info");
}

// The device of path, or of its nearest existing ancestor.
std::optional<dev_t> DeviceOf(fs::path path) {
  struct stat st {};
  while (!path.empty()) {
    if (::stat(path.c_str(), &st) == 0) return st.st_dev;
    if (path == path.parent_path()) break;
    path = path.parent_path();
  }
  return std::nullopt;
}

// The top folder of the mount that holds folder (on device).
std::string MountTop(const fs::path& folder, dev_t device) {
  fs::path top = folder;
  while (top != top.parent_path()) {
    struct stat st {};
    if (::stat(top.parent_path().c_str(), &st) != 0 || st.st_dev != device) break;
    top = top.parent_path();
  }
  return top.string();
}

// The trash of a mount: the administrator's shared $topdir/.Trash (sticky, not a link) with our
// own $uid folder in it, else $topdir/.Trash-$uid.
TTrash MountTrash(const std::string& top) {
  const std::string uid = std::to_string(::getuid());
  const std::string base = top == "/" ? std::string() : top;
  struct stat st {};
  const std::string shared = base + "/.Trash";
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
    return {shared + "/" + uid, top};
  return {base + "/.Trash-" + uid, top};
}

std::string DeletionDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Writes the whole text to a file created exclusively; false when the name is taken or the write
// fails (a partial record is removed).
enum class TCreate { Created, Taken, Failed };
TCreate CreateInfo(const std::string& file, const std::string& text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? TCreate::Taken : TCreate::Failed;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = ::close(fd) == 0 && done == text.size();
  if (!ok) ::unlink(file.c_str());
  return ok ? TCreate::Created : TCreate::Failed;
}

// Moves source to target unless target exists; errno tells why not.
bool RenameNoReplace(const std::string& source, const std::string& target) {
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: the record reserved the name, so a plain rename will do.
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(source.c_str(), target.c_str()) == 0;
}

// Moves the file into trash under a free name; the new path, or nothing with errno set.
std::optional<std::string> MoveInto(const TTrash& trash, const fs::path& file) {
  if (!EnsureTrash(trash)) return std::nullopt;
  std::string recorded = file.string();
  if (!trash.TopDir.empty()) recorded = file.lexically_relative(trash.TopDir).string();
  const std::string info =
      "[Trash Info]\nPath=" + TrashInfoPath(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
  const std::string name = file.filename().string();
  const std::string stem = StripExtension(name);
  const std::string extension = name.substr(stem.size());
  for (int n = 1; n < 10000; ++n) {
    const std::string candidate = n == 1 ? name : stem + "." + std::to_string(n) + extension;
    const std::string record = trash.Folder + "/info/" + candidate + ".trashinfo";
    const TCreate created = CreateInfo(record, info);
    if (created == TCreate::Taken) continue;
    if (created == TCreate::Failed) return std::nullopt;
    const std::string target = trash.Folder + "/files/" + candidate;
    if (RenameNoReplace(file.string(), target)) return target;
    const int reason = errno;
    ::unlink(record.c_str());
    if (reason != EEXIST) {
      errno = reason;
      return std::nullopt;
    }
    // A file left in the trash without its record: take the next name.
  }
  return std::nullopt;
}

}  // namespace

std::string HomeTrashFolder(const char* xdgDataHome, const char* home) {
  if (xdgDataHome && xdgDataHome[0] == '/') return JoinPath(xdgDataHome, "Trash");
  if (home && home[0] == '/') return JoinPath(home, ".local/share/Trash");
  return {};
}

std::string HomeTrashFolder() {
  return HomeTrashFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::string TrashInfoPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~' || c == '/') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::optional<std::string> MoveToTrash(const std::string& path, const std::string& homeTrash) {
  std::error_code error;
  const fs::path file = fs::absolute(path, error).lexically_normal();
  struct stat st {};
  if (error || file.filename().empty() || ::lstat(file.c_str(), &st) != 0) return std::nullopt;
  std::vector<TTrash> trashes;
  // The home trash only takes files of its own file system: a move elsewhere would be a copy.
  if (!homeTrash.empty() && DeviceOf(homeTrash) == st.st_dev) trashes.push_back({homeTrash, {}});
  trashes.push_back(MountTrash(MountTop(file.parent_path(), st.st_dev)));
  for (const TTrash& trash : trashes) {
    if (auto moved = MoveInto(trash, file)) return moved;
  }
  return std::nullopt;
}

std::optional<std::string> MoveToTrash(const std::string& path) {
  return MoveToTrash(path, HomeTrashFolder());
}

}  // namespace picaxo
