#include "base/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "base/error.h"

namespace picaxo {

namespace fs = std::filesystem;

std::string StripExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name;
  return name.substr(0, dot);
}

namespace {
std::string TempCandidate(const std::string& folder, const std::string& extension, unsigned n) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  return path + "temp" + std::to_string(n) + extension;
}

std::string ErrnoText(int err) {
  return std::strerror(err);
}
}  // namespace

std::string MakeTempFileName(const std::string& folder, const std::string& extension) {
  for (unsigned n = 1;; ++n) {
    std::string candidate = TempCandidate(folder, extension, n);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
  }
}

TPathParts SplitPath(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {std::string(), std::string(path)};
  std::string_view folder = path.substr(0, slash);
  while (!folder.empty() && folder.back() == '/')
    folder.remove_suffix(1);
  if (folder.empty() && path.front() == '/') folder = "/";
  return {std::string(folder), std::string(path.substr(slash + 1))};
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  while (folder.size() > 1 && folder.back() == '/')
    folder.remove_suffix(1);
  std::string joined(folder);
  if (!joined.empty() && joined.back() != '/') joined += '/';
  joined += name;
  return joined;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool HasExtension(std::string_view path, std::string_view extension) {
  const std::string_view name = path.substr(path.rfind('/') + 1);  // npos + 1 is 0
  return name.size() >= extension.size() &&
         SameTextAscii(name.substr(name.size() - extension.size()), extension);
}

namespace {
constexpr std::string_view kTempPrefix = ".picaxo-";
constexpr std::string_view kTempSuffix = ".tmp";

std::string RandomTempName() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 generator{std::random_device()()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string name(kTempPrefix);
  for (int i = 0; i < 6; ++i)
    name += kLetters[pick(generator)];
  return name + std::string(kTempSuffix);
}

// Gives the new file the old one's owner and group where the process may; returns what could not
// be kept.
void KeepOwner(int fd, uid_t uid, gid_t gid, std::vector<std::string>& notKept) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || (st.st_uid == uid && st.st_gid == gid)) return;
  if (::fchown(fd, uid, gid) == 0) return;
  const int err = errno;
  // Not allowed to give the file away; perhaps to keep its group (one the user belongs to).
  if (st.st_gid != gid && ::fchown(fd, static_cast<uid_t>(-1), gid) == 0) st.st_gid = gid;
  if (st.st_uid != uid)
    notKept.push_back(std::string("the owner could not be kept: ") + ErrnoText(err));
  if (st.st_gid != gid)
    notKept.push_back(std::string("the group could not be kept: ") + ErrnoText(err));
}

void KeepAttributes(int fd, const TExtendedAttributes& attributes,
                    std::vector<std::string>& notKept) {
  for (const auto& [name, value] : attributes) {
    if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
      notKept.push_back("the extended attribute " + name +
                        " could not be kept: " + ErrnoText(errno));
  }
}
}  // namespace

bool IsTemporaryFileName(std::string_view name) {
  return name.size() > kTempPrefix.size() + kTempSuffix.size() &&
         name.substr(0, kTempPrefix.size()) == kTempPrefix &&
         name.substr(name.size() - kTempSuffix.size()) == kTempSuffix;
}

TExtendedAttributes ReadExtendedAttributes(int fd) {
  TExtendedAttributes attributes;
  std::string names;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) return attributes;
    names.resize(static_cast<size_t>(size));
    const ssize_t got = ::flistxattr(fd, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<size_t>(got));
      break;
    }
    if (errno != ERANGE) return attributes;  // ERANGE: the list grew meanwhile
  }
  for (size_t at = 0; at < names.size();) {
    const std::string name(names.c_str() + at);
    at += name.size() + 1;
    if (name.empty()) continue;
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) continue;
    std::string value(static_cast<size_t>(size), '\0');
    const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got < 0) continue;
    value.resize(static_cast<size_t>(got));
    attributes.emplace_back(name, std::move(value));
  }
  return attributes;
}

std::vector<std::string> WriteFileAtomically(const std::string& path, std::string_view data,
                                             const AtomicWriteOptions& options) {
  const fs::path target(path);
  std::string folder = target.parent_path().string();
  if (folder.empty()) folder = ".";

  // A fresh hidden name, claimed with O_EXCL so that two writers never share one.
  std::string temp;
  int fd = -1;
  while (fd < 0) {
    temp = JoinPath(folder, RandomTempName());
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) throw EPicaxoError(ErrnoText(errno));
  }
  auto fail = [&](int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    throw EPicaxoError(ErrnoText(err));
  };
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  // The owner before the mode (a change of owner clears the set-id bits), the attributes after it
  // (an access ACL carries the group bits of the mode).
  std::vector<std::string> notKept;
  if (options.owner) KeepOwner(fd, options.owner->first, options.owner->second, notKept);
  if (options.permissions && ::fchmod(fd, static_cast<mode_t>(*options.permissions) & 07777) != 0)
    fail(errno);
  KeepAttributes(fd, options.extendedAttributes, notKept);
  if (::fsync(fd) != 0) fail(errno);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) fail(errno);
  if (options.modificationTime) {
    std::error_code ec;
    fs::last_write_time(temp, *options.modificationTime, ec);
    if (ec) fail(ec.value());
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
  return notKept;
}

namespace {
const char* FileTypeName(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISDIR(mode)) return "a folder";
  return "not a regular file";
}
}  // namespace

int64_t RegularFileSize(int fd, const std::string& shown, int64_t maxBytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw EPicaxoError("Cannot read \"" + shown + "\": " + ErrnoText(errno));
  if (!S_ISREG(st.st_mode)) {
    const std::string kind = FileTypeName(st.st_mode);
    throw EPicaxoError("Cannot read \"" + shown + "\": it is " +
                       (kind.starts_with("a ") ? kind + ", not a regular file" : kind));
  }
  if (st.st_size > maxBytes)
    throw EPicaxoError("Cannot read \"" + shown + "\": the file is larger than " +
                       (maxBytes >= (int64_t{1} << 30) ? std::to_string(maxBytes >> 30) + " GB"
                                                       : std::to_string(maxBytes) + " bytes"));
  return st.st_size;
}

std::string ReadWholeFile(const std::string& path, int64_t maxBytes) {
  // Without blocking: opening a named pipe would otherwise wait for a writer for ever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  // The message names the file and the step: in a batch the bare reason would not say which.
  if (fd < 0) throw EPicaxoError("Could not read \"" + path + "\": " + ErrnoText(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  std::string data(static_cast<size_t>(RegularFileSize(fd, path, maxBytes)), '\0');
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EPicaxoError("Could not read \"" + path + "\": " + ErrnoText(errno));
    }
    if (n == 0) break;  // the file shrank meanwhile
    done += static_cast<size_t>(n);
  }
  data.resize(done);
  return data;
}

}  // namespace picaxo
