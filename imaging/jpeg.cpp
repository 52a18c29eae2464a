#include "imaging/jpeg.h"

#include <algorithm>
#include <istream>
#include <iterator>
#include <ostream>

#include "imaging/file_util.h"

namespace picaxo {

EJPEG::EJPEG(int libraryCode)
    : EPicaxoError("JPEG error #" + std::to_string(libraryCode)), code_(libraryCode) {}

void TJPEGImage::LoadFromFile(const std::string& path) {
  LoadFromBytes(ReadWholeFile(path));
}

void TJPEGImage::LoadFromStream(std::istream& stream) {
  LoadFromBytes(std::string(std::istreambuf_iterator<char>(stream), {}));
}

void TJPEGImage::LoadFromBytes(std::string data) {
  data_ = std::move(data);
  raster_.reset();
  headerWidth_ = headerHeight_ = 0;
  if (!data_.empty()) ParseHeader();
}

void TJPEGImage::Assign(const TRasterImage& raster) {
  raster_ = raster;
  data_.clear();
  headerWidth_ = headerHeight_ = 0;
}

int TJPEGImage::Width() const {
  return raster_ ? raster_->Width() : headerWidth_;
}
int TJPEGImage::Height() const {
  return raster_ ? raster_->Height() : headerHeight_;
}
void TJPEGImage::SetWidth(int) {
  throw EJPEG(std::string("Cannot change the size of a JPEG image"));
}
void TJPEGImage::SetHeight(int) {
  throw EJPEG(std::string("Cannot change the size of a JPEG image"));
}

void TJPEGImage::SetCompressionQuality(int quality) {
  quality_ = std::clamp(quality, 1, 100);
}

void TJPEGImage::DecodeTo(TRasterImage& dest) {
  if (!raster_) Decode();
  dest = *raster_;
}

TRasterImage TJPEGImage::TakeRaster() {
  if (!raster_) Decode();
  TRasterImage result = std::move(*raster_);
  raster_.reset();
  return result;
}

void TJPEGImage::Compress() {
  throw EJPEG(std::string("JPEG encoding is not implemented yet"));
}

void TJPEGImage::SaveToStream(std::ostream& stream) {
  Compress();
  stream.write(data_.data(), static_cast<std::streamsize>(data_.size()));
}

void TJPEGImage::ParseHeader() {}
void TJPEGImage::Decode() {
  throw EJPEG(std::string("JPEG decoding is not implemented yet"));
}

}  // namespace picaxo
