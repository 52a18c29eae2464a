#pragma once
// The decoded source of the current image.
//
// A file is decoded only when its path differs from the one loaded, so re-rendering after a
// settings change reuses the pixels. A failed decode leaves the image empty and keeps its message.
#include <string>

#include "imaging/raster.h"

namespace picaxo {

enum class TLoadResult { AlreadyLoaded, Decoded, Failed };

class TCurrentImage {
 public:
  // Decodes path unless it is the file already loaded (JPEG by the codec, anything else by the
  // BMP reader). Failed: the image is empty and LoadError() holds the message.
  TLoadResult Load(const std::string& path);
  // Forgets the loaded name (the file list was rebuilt, the file changed on disk): the next Load
  // decodes again. The pixels stay until then.
  void Forget();
  // No current file: empty image, no name, no error.
  void Clear();
  // The loaded file was renamed on disk: the pixels stay those of the new name.
  void FileRenamed(const std::string& from, const std::string& to);

  bool Empty() const { return image_.Empty(); }
  const TRasterImage& Image() const { return image_; }
  // The conversion may turn the pixels into 24-bit in place; it never releases them.
  TRasterImage& MutableImage() { return image_; }
  const std::string& LoadedFileName() const { return loadedFileName_; }
  const std::string& LoadError() const { return loadError_; }
  bool Failed() const { return !loadError_.empty(); }

 private:
  TRasterImage image_;
  std::string loadedFileName_;
  std::string loadError_;
};

}  // namespace picaxo
