#pragma once
// What tests of several folders share: a scratch folder of their own, running picaxo-cli as a user
// would, and small BMP files written on the spot.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <fstream>
#include <functional>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace picaxo::testing {

// A fresh folder under the system's temporary folder, removed with everything in it when this
// goes. The process id and a random number keep tests that run side by side apart.
class TScratchFolder {
 public:
  TScratchFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("picaxo_test_" + std::to_string(::getpid()) + "_" +
               std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(path_);
  }
  ~TScratchFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Give back the permissions some tests take away, so that everything can be removed.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::filesystem::path& Root() const { return path_; }
  std::string Path() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A fixture whose dir_ is a scratch folder of the running test alone.
class TempFolderTest : public ::testing::Test {
 protected:
  TScratchFolder scratch_;
  const std::filesystem::path dir_ = scratch_.Root();
};

// Runs action in a child process and returns the text it returned, or the what() of what it
// threw: so that a test of something that might hang or exhaust memory fails instead. The child
// is killed after `seconds` ("(timed out)"); "(crashed)" when it died otherwise. With
// extraMemoryBytes, the child's address space is capped at what it holds now plus that much, so
// that a large allocation fails there (not under AddressSanitizer, which reserves terabytes of
// address space for itself).
inline std::string RunInChild(const std::function<std::string()>& action, int seconds,
                              [[maybe_unused]] size_t extraMemoryBytes = 0) {
  int fds[2];
  if (::pipe(fds) != 0) return "(no pipe)";
  const pid_t child = ::fork();
  if (child < 0) return "(no fork)";
  if (child == 0) {
    ::close(fds[0]);
#ifndef __SANITIZE_ADDRESS__
    if (extraMemoryBytes > 0) {
      size_t pages = 0;
      std::ifstream("/proc/self/statm") >> pages;
      const rlim_t limit = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) + extraMemoryBytes;
      const rlimit cap{limit, limit};
      ::setrlimit(RLIMIT_AS, &cap);
    }
#endif
    std::string text;
    try {
      text = action();
    } catch (const std::exception& e) {
      text = e.what();
    } catch (...) {
      text = "(unknown exception)";
    }
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fds[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) == 0) {
      timedOut = true;
      break;
    }
    char buffer[4096];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (timedOut) return "(timed out)";
  if (!WIFEXITED(status)) return "(crashed)";
  return text;
}

// A path in single quotes, for a shell command line.
inline std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

#ifdef PICAXO_CLI
struct TCliRun {
  int exitCode = -1;
  std::string out;
};

enum class TCliErrors { Captured, Discarded };

// Runs picaxo-cli with the arguments (a shell command line) and collects what it prints: its
// standard output, and its error output too unless told to discard that.
inline TCliRun RunCli(const std::string& arguments, TCliErrors errors = TCliErrors::Captured) {
  TCliRun run;
  const std::string command = std::string(PICAXO_CLI) + " " + arguments +
                              (errors == TCliErrors::Captured ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
    run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
#endif

// The layout of a 24-bit bottom-up BMP file: pixels right after the two headers, each row padded
// to whole 32-bit words.
inline constexpr size_t kBmpPixelOffset = 54;

inline size_t BmpRowBytes(int width) {
  return static_cast<size_t>((width * 3 + 3) / 4 * 4);
}

// A 24-bit bottom-up BMP file of width x height whose pixel bytes are all zero, for the caller to
// paint.
inline std::string BlankBmp(int width, int height) {
  const uint32_t imageSize =
      static_cast<uint32_t>(BmpRowBytes(width) * static_cast<size_t>(height));
  std::string file(kBmpPixelOffset + imageSize, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int n = 0; n < 4; ++n)
      file[at + n] = static_cast<char>((v >> (8 * n)) & 0xFF);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, kBmpPixelOffset);
  put32(14, 40);  // size of the info header
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;   // planes
  file[28] = 24;  // bits per pixel
  put32(34, imageSize);
  return file;
}

// A progressive JPEG whose last scan (its SOS header and data, up to EOI) is repeated `times` more
// times: a file with hundreds of scans, for the scan limits of the decoders.
inline std::string RepeatLastScan(const std::string& jpeg, int times) {
  const size_t lastScan = jpeg.rfind("\xFF\xDA");
  const std::string scan = jpeg.substr(lastScan, jpeg.size() - 2 - lastScan);
  std::string many = jpeg.substr(0, jpeg.size() - 2);
  for (int i = 0; i < times; ++i)
    many += scan;
  return many + "\xFF\xD9";
}

}  // namespace picaxo::testing
