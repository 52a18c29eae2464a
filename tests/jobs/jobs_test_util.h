#pragma once
// Helpers of the jobs tests: tiny source images written on the spot, and a state whose hooks
// record what the interface would show.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
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

// An observer that records what the interface would show.
struct TRecordingObserver : IJobObserver {
  std::vector<std::string> status;
  std::vector<std::string> batchStatus;
  std::vector<std::string> sourceFolders;
  std::vector<std::string> destinationFolders;
  std::function<void()> onProcessEvents;
  int waitDepth = 0;
  int loads = 0;
  int viewChanges = 0;
  int rowRedraws = 0;

  void StatusTextChanged(const std::string& text, TRepaint) override { status.push_back(text); }
  void BatchStatusTextChanged(const std::string& text) override { batchStatus.push_back(text); }
  void BeginWaitCursor() override { ++waitDepth; }
  void EndWaitCursor() override { --waitDepth; }
  void ProcessEvents() override {
    if (onProcessEvents) onProcessEvents();
  }
  void SourceFolderUsed(const std::string& f) override { sourceFolders.push_back(f); }
  void DestinationFolderUsed(const std::string& f) override { destinationFolders.push_back(f); }
  void CurrentImageLoaded() override { ++loads; }
  void ViewChanged() override { ++viewChanges; }
  void JobRowsChanged(TJobRows) override { ++rowRedraws; }
};

// Records the paths it is asked to remove and removes them (or refuses, when told to).
struct TRecordingRemover : IFileRemover {
  std::vector<std::string> removed;
  bool refuse = false;
  bool RemoveFile(const std::string& path) override {
    if (refuse) return false;
    removed.push_back(path);
    return DeletingFileRemover().RemoveFile(path);
  }
};

// A state with a scripted prompt whose observer records status texts, folders and cursor balance.
struct TStateFixture {
  TScriptedPrompt prompt;
  TRecordingObserver observer;
  TRecordingRemover remover;
  TAppState state{prompt, observer, remover};
  std::vector<std::string>& status = observer.status;
  std::vector<std::string>& sourceFolders = observer.sourceFolders;
  std::vector<std::string>& destinationFolders = observer.destinationFolders;
  int& waitDepth = observer.waitDepth;
  int& loads = observer.loads;

  void Open(const std::string& folder, bool recursive = false) {
    state.SetSourceFolderField(folder);
    state.SetRecursiveInput(recursive);
    state.RescanSourceFolder();
  }

  void EditSettings(const std::function<void(TResizeSettings&)>& edit) {
    TResizeSettings settings = state.Settings();
    edit(settings);
    state.SetSettings(settings);
  }

  // Makes entry index current, lets change run the window's controls on it, and goes back.
  void OnEntry(int index, const std::function<void(TAppState&)>& change) {
    const int32_t back = state.CurrentIndex();
    state.GoToImage(index);
    change(state);
    state.GoToImage(back);
  }
  void Exclude(int index) {
    OnEntry(index, [](TAppState& s) { s.ChangeExcluded(true); });
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const TFileEntry& e : state.List().Entries())
      names.push_back(e.FileName);
    return names;
  }
};

}  // namespace picaxo::testing
