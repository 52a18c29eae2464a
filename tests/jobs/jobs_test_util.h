#pragma once
// Helpers of the jobs tests: tiny source images written on the spot, and a state whose hooks
// record what the interface would show.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/jpeg.h"
#include "imaging/raster.h"
#include "jobs/app_state.h"
#include "support/test_support.h"

namespace picaxo::testing {

namespace fs = std::filesystem;

inline void WriteFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 24-bit bottom-up BMP of width x height with a simple gradient.
inline std::string BmpBytes(int width, int height, uint8_t shade = 0x80) {
  std::string data = BlankBmp(width, height);
  const size_t row = BmpRowBytes(width);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t at = kBmpPixelOffset + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3;
      data[at] = static_cast<char>(shade);
      data[at + 1] = static_cast<char>(x * 255 / (width > 1 ? width - 1 : 1));
      data[at + 2] = static_cast<char>(y * 255 / (height > 1 ? height - 1 : 1));
    }
  return data;
}

inline void WriteBmp(const std::string& path, int width = 8, int height = 6, uint8_t shade = 0x80) {
  WriteFile(path, BmpBytes(width, height, shade));
}

// A baseline JPEG of width x height.
inline std::string JpegBytes(int width, int height) {
  TRasterImage raster(width, height);
  raster.FillRect(0, 0, width, height, 0x00336699);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.SetCompressionQuality(90);
  jpeg.Compress();
  return jpeg.CompressedData();
}

// Width and height of a JPEG file.
inline std::pair<int, int> JpegSize(const std::string& path) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(path);
  TRasterImage raster;
  jpeg.DecodeTo(raster);
  return {raster.Width(), raster.Height()};
}

inline bool IsRoot() {
  return ::geteuid() == 0;
}

// A state with a scripted prompt whose hooks record status texts, folders and cursor balance.
struct TStateFixture {
  TScriptedPrompt prompt;
  std::vector<std::string> status;
  std::vector<std::string> sourceFolders;
  std::vector<std::string> destinationFolders;
  int waitDepth = 0;
  int loads = 0;
  int renameChecks = 0;
  TAppState state{prompt, MakeHooks()};

  TJobHooks MakeHooks() {
    TJobHooks hooks;
    hooks.SetStatusText = [this](const std::string& text, bool) { status.push_back(text); };
    hooks.BeginWaitCursor = [this] { ++waitDepth; };
    hooks.EndWaitCursor = [this] { --waitDepth; };
    hooks.SourceFolderUsed = [this](const std::string& f) { sourceFolders.push_back(f); };
    hooks.DestinationFolderUsed = [this](const std::string& f) { destinationFolders.push_back(f); };
    hooks.CurrentImageLoaded = [this] { ++loads; };
    hooks.BeforeImageChange = [this] { ++renameChecks; };
    return hooks;
  }

  void Open(const std::string& folder, bool recursive = false) {
    state.SourceFolderField = folder;
    state.RecursiveInput = recursive;
    state.RescanSourceFolder();
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TFileEntry& e : state.FileList)
      names.push_back(e.FileName);
    return names;
  }
};

}  // namespace picaxo::testing
