#include "jobs/current_image.h"

#include <exception>
#include <utility>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/pipeline.h"

namespace picaxo {

std::string LoadFailureMessage(std::exception_ptr error, const std::string& path) {
  return UserErrorMessage(error, "load " + SplitPath(path).Name);
}

const TRasterImage& TCurrentImage::Image() const {
  static const TRasterImage kNone;
  return image_ ? *image_ : kNone;
}

TLoadResult TCurrentImage::Load(const std::string& path, TColorProfilePolicy color) {
  if (path == loadedFileName_ && color == options_.Color)
    return loadError_.empty() ? TLoadResult::AlreadyLoaded : TLoadResult::Failed;
  loadedFileName_ = path;
  options_.Color = color;
  loadError_.clear();
  loadWarning_.clear();
  // The old picture goes before the new one is read: never two at once here (the view may still
  // hold it until it is given the new one).
  image_.reset();
  rows_.reset();
  width_ = height_ = 0;
  notes_ = {};
  damaged_ = false;
  try {
    if (access_ == TSourceAccess::Stream) {
      rows_ = OpenRowSource(path, options_);
      loadWarning_ = rows_->Warning();
      width_ = rows_->Width();
      height_ = rows_->Height();
      notes_ = rows_->Notes();
    } else {
      TLoadedSource loaded = LoadSource(path, options_, &loadWarning_);
      notes_ = std::move(loaded.Notes);
      damaged_ = notes_.Damaged;
      TRasterImage decoded = std::move(loaded.Picture);
      // Widened once here, so that neither the view nor a conversion needs a 24-bit copy.
      if (decoded.PixelFormat() != TPixelFormat::pf24bit)
        decoded.SetPixelFormat(TPixelFormat::pf24bit);
      width_ = decoded.Width();
      height_ = decoded.Height();
      image_ = std::make_shared<const TRasterImage>(std::move(decoded));
    }
  } catch (...) {
    image_.reset();
    rows_.reset();
    width_ = height_ = 0;
    notes_ = {};
    loadError_ = LoadFailureMessage(std::current_exception(), path);
    return TLoadResult::Failed;
  }
  return TLoadResult::Decoded;
}

std::unique_ptr<TRowSource> TCurrentImage::TakeRowSource() {
  if (Empty() || loadedFileName_.empty()) return nullptr;
  if (rows_) return std::move(rows_);
  try {
    return OpenRowSource(loadedFileName_, options_);
  } catch (...) {
    throw EPicaxoError(LoadFailureMessage(std::current_exception(), loadedFileName_));
  }
}

void TCurrentImage::SetAccess(TSourceAccess access) {
  if (access == access_) return;
  access_ = access;
  Forget();
}

void TCurrentImage::SetOptions(const TSourceOptions& options) {
  if (options.Background != options_.Background) {
    options_.Background = options.Background;
    // Only a transparent picture's pixels depend on it.
    if (notes_.HadAlpha) Forget();
  }
  if (options.AutoOrient == options_.AutoOrient) return;
  // The colour policy comes with each Load.
  options_.AutoOrient = options.AutoOrient;
  Forget();
}

void TCurrentImage::Forget() {
  loadedFileName_.clear();
}

void TCurrentImage::Clear() {
  image_.reset();
  rows_.reset();
  width_ = height_ = 0;
  notes_ = {};
  loadedFileName_.clear();
  loadError_.clear();
  damaged_ = false;
  loadWarning_.clear();
}

void TCurrentImage::FileRenamed(const std::string& from, const std::string& to) {
  if (loadedFileName_ == from) loadedFileName_ = to;
}

}  // namespace picaxo
