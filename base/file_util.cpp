#include "base/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

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

void WriteFileAtomically(const std::string& path, std::string_view data,
                         const AtomicWriteOptions& options) {
  const fs::path target(path);
  std::string folder = target.parent_path().string();
  if (folder.empty()) folder = ".";

  // Claim the first free temp name with O_EXCL so that two writers never share one.
  std::string temp;
  int fd = -1;
  for (unsigned n = 1; fd < 0; ++n) {
    temp = TempCandidate(folder, options.tempExtension, n);
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
  if (options.permissions && ::fchmod(fd, static_cast<mode_t>(*options.permissions) & 07777) != 0)
    fail(errno);
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
}

std::string ReadWholeFile(const std::string& path) {
  // The message names the file and the step: in a batch the bare reason would not say which.
  const auto failure = [&path](int err) {
    return EPicaxoError("Could not read \"" + path + "\": " + ErrnoText(err));
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw failure(errno);
  std::string data;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throw failure(err);
    }
    if (n == 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

}  // namespace picaxo
