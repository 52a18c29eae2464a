#include "jobs/decoded_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>

#include "jobs/current_image.h"

namespace picaxo {

TDecodedSource DecodeWholeSource(const std::string& path, const TSourceOptions& options) {
  TDecodedSource result;
  try {
    TLoadedSource loaded = LoadSource(path, options, &result.Warning);
    result.Notes = std::move(loaded.Notes);
    TRasterImage decoded = std::move(loaded.Picture);
    // Widened once here, so that neither the view nor a conversion needs a 24-bit copy.
    if (decoded.PixelFormat() != TPixelFormat::pf24bit)
      decoded.SetPixelFormat(TPixelFormat::pf24bit);
    result.Image = std::make_shared<const TRasterImage>(std::move(decoded));
  } catch (...) {
    std::string warning = std::move(result.Warning);
    result = {};
    result.Warning = std::move(warning);
    result.Error = LoadFailureMessage(std::current_exception(), path);
  }
  return result;
}

std::optional<TFileStamp> StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return TFileStamp{static_cast<int64_t>(st.st_size),
                    static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::vector<TDecodedStore::TItem>::iterator TDecodedStore::Find(const std::string& path) {
  return std::find_if(items_.begin(), items_.end(),
                      [&](const TItem& item) { return item.Path == path; });
}

std::vector<TDecodedStore::TItem>::const_iterator TDecodedStore::Find(
    const std::string& path) const {
  return std::find_if(items_.begin(), items_.end(),
                      [&](const TItem& item) { return item.Path == path; });
}

uint64_t TDecodedStore::Begin(const std::string& path, const TSourceOptions& options) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto it = Find(path); it != items_.end()) items_.erase(it);
  TItem item;
  item.Ticket = nextTicket_++;
  item.Path = path;
  item.Options = options;
  items_.push_back(std::move(item));
  return items_.back().Ticket;
}

void TDecodedStore::Put(uint64_t ticket, std::optional<TFileStamp> stamp, TDecodedSource decoded) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(items_.begin(), items_.end(),
                           [&](const TItem& item) { return item.Ticket == ticket; });
    if (it == items_.end()) return;  // dropped meanwhile: the pixels go with decoded
    it->Stamp = stamp;
    it->Decoded = std::move(decoded);
    it->Ready = true;
  }
  arrived_.notify_all();
}

std::optional<TDecodedSource> TDecodedStore::Take(const std::string& path,
                                                  const TSourceOptions& options) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = Find(path);
  if (it == items_.end() || it->Options != options) return std::nullopt;
  const uint64_t ticket = it->Ticket;
  arrived_.wait(lock, [&] {
    it = std::find_if(items_.begin(), items_.end(),
                      [&](const TItem& item) { return item.Ticket == ticket; });
    return it == items_.end() || it->Ready;
  });
  if (it == items_.end()) return std::nullopt;
  return Remove(it, lock);
}

std::optional<TDecodedSource> TDecodedStore::TakeReady(const std::string& path,
                                                       const TSourceOptions& options) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = Find(path);
  if (it == items_.end() || !it->Ready || it->Options != options) return std::nullopt;
  return Remove(it, lock);
}

std::optional<TDecodedSource> TDecodedStore::Remove(std::vector<TItem>::iterator it,
                                                    std::unique_lock<std::mutex>& lock) {
  TItem item = std::move(*it);
  items_.erase(it);
  lock.unlock();
  // A file replaced or touched since the decode began is read again by the caller.
  if (!item.Stamp || StampOf(item.Path) != item.Stamp) return std::nullopt;
  return std::move(item.Decoded);
}

bool TDecodedStore::Decoding(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = Find(path);
  return it != items_.end() && !it->Ready;
}

void TDecodedStore::Drop(const std::string& path) {
  std::vector<TItem> dropped;  // released outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  if (path.empty()) {
    dropped.swap(items_);
  } else if (auto it = Find(path); it != items_.end()) {
    dropped.push_back(std::move(*it));
    items_.erase(it);
  }
  arrived_.notify_all();
}

void TDecodedStore::KeepOnly(const std::vector<std::string>& paths) {
  std::vector<TItem> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = items_.begin(); it != items_.end();) {
    if (it->Ready && std::find(paths.begin(), paths.end(), it->Path) == paths.end()) {
      dropped.push_back(std::move(*it));
      it = items_.erase(it);
    } else {
      ++it;
    }
  }
}

bool TDecodedStore::Holds(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(items_.begin(), items_.end(),
                     [&](const TItem& item) { return item.Path == path; });
}

size_t TDecodedStore::HeldBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t bytes = 0;
  for (const TItem& item : items_)
    bytes += item.Decoded.Bytes();
  return bytes;
}

size_t TDecodedStore::HeldCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

}  // namespace picaxo
