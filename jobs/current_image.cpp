#include "jobs/current_image.h"

#include <exception>
#include <optional>
#include <utility>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/pipeline.h"

namespace picaxo {

std::string SourceWarningText(const std::string& name, const std::string& warning) {
  return "Warning: " + name + ": " + warning;
}

std::string LoadFailureMessage(std::exception_ptr error, const std::string& path) {
  return UserErrorMessage(error, "load " + SplitPath(path).Name);
}

const TRasterImage& TCurrentImage::Image() const {
  static const TRasterImage kNone;
  return image_ ? *image_ : kNone;
}

void TCurrentImage::Reset(const std::string& path, TColorProfilePolicy color) {
  pending_ = false;
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
}

TLoadResult TCurrentImage::Take(TDecodedSource decoded) {
  loadWarning_ = std::move(decoded.Warning);
  if (!decoded.Error.empty()) {
    loadError_ = std::move(decoded.Error);
    return TLoadResult::Failed;
  }
  notes_ = std::move(decoded.Notes);
  damaged_ = notes_.Damaged;
  width_ = decoded.Image->Width();
  height_ = decoded.Image->Height();
  image_ = std::move(decoded.Image);
  return TLoadResult::Decoded;
}

TLoadResult TCurrentImage::Begin(const std::string& path, TColorProfilePolicy color) {
  if (!supplier_ || access_ != TSourceAccess::Whole) return Load(path, color);
  if (!pending_ && path == loadedFileName_ && color == options_.Color)
    return loadError_.empty() ? TLoadResult::AlreadyLoaded : TLoadResult::Failed;
  Reset(path, color);
  if (std::optional<TDecodedSource> ready = supplier_->TakeReady(path, options_))
    return Take(std::move(*ready));
  if (!supplier_->Request(path, options_)) {
    loadedFileName_.clear();
    return Load(path, color);
  }
  pending_ = true;
  return TLoadResult::Pending;
}

TLoadResult TCurrentImage::Complete(bool wait) {
  if (!pending_) return TLoadResult::AlreadyLoaded;
  if (!wait && !supplier_->Arrived(loadedFileName_)) return TLoadResult::Pending;
  pending_ = false;
  std::optional<TDecodedSource> ready = supplier_->Take(loadedFileName_, options_);
  // Dropped or changed on disk meanwhile: read here, as any load would.
  return Take(ready ? std::move(*ready) : DecodeWholeSource(loadedFileName_, options_));
}

TLoadResult TCurrentImage::Load(const std::string& path, TColorProfilePolicy color) {
  if (!pending_ && path == loadedFileName_ && color == options_.Color)
    return loadError_.empty() ? TLoadResult::AlreadyLoaded : TLoadResult::Failed;
  Reset(path, color);
  try {
    if (access_ == TSourceAccess::Stream) {
      rows_ = OpenRowSource(path, options_);
      loadWarning_ = rows_->Warning();
      width_ = rows_->Width();
      height_ = rows_->Height();
      notes_ = rows_->Notes();
    } else {
      // A decode made ahead on a worker thread, when there is one for the file as it is now.
      std::optional<TDecodedSource> ready;
      if (supplier_) ready = supplier_->Take(path, options_);
      return Take(ready ? std::move(*ready) : DecodeWholeSource(path, options_));
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
  if (supplier_) supplier_->Drop({});
}

void TCurrentImage::DecodeAhead(const std::vector<std::string>& wanted) {
  if (supplier_ && access_ == TSourceAccess::Whole)
    supplier_->Ahead(wanted, options_, image_ ? image_->ByteSize() : 0);
}

void TCurrentImage::Clear() {
  pending_ = false;
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
  if (supplier_) supplier_->Drop(from);
}

}  // namespace picaxo
