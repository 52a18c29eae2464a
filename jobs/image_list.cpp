#include "jobs/image_list.h"

#include <algorithm>
#include <stdexcept>

#include "base/file_util.h"
#include "jobs/folder_scan.h"

namespace picaxo {

TFileEntry& TImageList::At(int32_t index) {
  ++generation_;
  return entries_.at(static_cast<size_t>(index));
}

const TFileEntry& TImageList::At(int32_t index) const {
  return entries_.at(static_cast<size_t>(index));
}

TFileEntry* TImageList::Current() {
  ++generation_;
  if (currentIndex_ < 0 || currentIndex_ >= Count()) return nullptr;
  return &entries_[static_cast<size_t>(currentIndex_)];
}

const TFileEntry* TImageList::Current() const {
  if (currentIndex_ < 0 || currentIndex_ >= Count()) return nullptr;
  return &entries_[static_cast<size_t>(currentIndex_)];
}

void TImageList::Replace(std::string sourceFolder, std::vector<TFileEntry> entries,
                         const std::string& selectFile) {
  ++generation_;
  sourceFolder_ = std::move(sourceFolder);
  entries_ = std::move(entries);
  const std::locale& locale = UserCollationLocale();
  std::sort(entries_.begin(), entries_.end(), [&](const TFileEntry& a, const TFileEntry& b) {
    return ComparePaths(a.FileName, b.FileName, locale) < 0;
  });
  currentIndex_ = 0;
  if (!selectFile.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (SameTextAscii(entries_[i].FileName, selectFile)) {
        currentIndex_ = static_cast<int32_t>(i);
        break;
      }
    }
  }
}

bool TImageList::CanMoveTo(int64_t index) const {
  if (entries_.empty()) return false;
  return std::clamp<int64_t>(index, 0, Count() - 1) != currentIndex_;
}

bool TImageList::MoveTo(int64_t index) {
  if (!CanMoveTo(index)) return false;
  previousIndex_ = currentIndex_ >= 0 ? std::optional<int32_t>(currentIndex_) : std::nullopt;
  currentIndex_ = static_cast<int32_t>(std::clamp<int64_t>(index, 0, Count() - 1));
  return true;
}

void TImageList::RemoveCurrent() {
  ++generation_;
  if (!Current()) return;
  entries_.erase(entries_.begin() + currentIndex_);
  if (currentIndex_ > Count() - 1) currentIndex_ = std::max(Count() - 1, 0);
  // The previous index may now name another image or none; Backspace goes nowhere unexpected.
  if (previousIndex_ >= Count()) previousIndex_.reset();
}

TImageList TImageList::WorkerCopy() const {
  TImageList copy;
  copy.entries_ = entries_;
  copy.sourceFolder_ = sourceFolder_;
  copy.currentIndex_ = -1;
  return copy;
}

}  // namespace picaxo
