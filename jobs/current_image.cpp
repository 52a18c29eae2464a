#include "jobs/current_image.h"

#include <exception>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/pipeline.h"

namespace picaxo {

TLoadResult TCurrentImage::Load(const std::string& path) {
  if (path == loadedFileName_)
    return loadError_.empty() ? TLoadResult::AlreadyLoaded : TLoadResult::Failed;
  loadedFileName_ = path;
  loadError_.clear();
  try {
    image_ = LoadSourceImage(path);
  } catch (...) {
    image_ = TRasterImage();
    loadError_ = UserErrorMessage(std::current_exception(), "load " + SplitPath(path).Name);
    return TLoadResult::Failed;
  }
  return TLoadResult::Decoded;
}

void TCurrentImage::Forget() {
  loadedFileName_.clear();
}

void TCurrentImage::Clear() {
  image_ = TRasterImage();
  loadedFileName_.clear();
  loadError_.clear();
}

void TCurrentImage::FileRenamed(const std::string& from, const std::string& to) {
  if (loadedFileName_ == from) loadedFileName_ = to;
}

}  // namespace picaxo
