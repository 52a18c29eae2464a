#pragma once
// The image list of the source folder and the position of the current image.
//
// The list owns its entries; the position is kept consistent with them by every operation, so no
// caller can leave a current index that points past the list. There is no current image when the
// list is empty (CurrentIndex may then be 0, as after every scan).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/entry.h"

namespace picaxo {

class TImageList {
 public:
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  const std::vector<TFileEntry>& Entries() const { return entries_; }
  // Entry at index (0 ... Count() - 1; anything else throws std::out_of_range).
  TFileEntry& At(int32_t index);
  const TFileEntry& At(int32_t index) const;

  int32_t CurrentIndex() const { return currentIndex_; }
  // CurrentIndex before the last move; none until the first move.
  std::optional<int32_t> PreviousIndex() const { return previousIndex_; }
  TFileEntry* Current();
  const TFileEntry* Current() const;
  bool IsFirst() const { return currentIndex_ <= 0; }
  bool IsLast() const { return currentIndex_ >= Count() - 1; }

  // The folder whose contents the list holds (long path form), empty before the first scan.
  const std::string& SourceFolder() const { return sourceFolder_; }
  // Forgets the folder so that the next scan of the same folder reads it again.
  void ForgetSourceFolder() { sourceFolder_.clear(); }

  // The list of a new scan: sorted by path (the user's collation), the first entry whose path
  // equals selectFile (ignoring ASCII case) current, else the first one.
  void Replace(std::string sourceFolder, std::vector<TFileEntry> entries,
               const std::string& selectFile = {});
  // The moves of the window: index is clamped to the list; false (nothing changes) when the list
  // is empty or the clamped index is already current. The previous index records the move.
  bool CanMoveTo(int64_t index) const;
  bool MoveTo(int64_t index);
  // Drops the current entry (its file was deleted); the position stays, or becomes the new last
  // entry when it was the last one.
  void RemoveCurrent();
  // A copy of this list for a parallel worker: same entries and folder, no current image (so the
  // worker's first move loads).
  TImageList WorkerCopy() const;
  // Grows with every operation that may change an entry or the list (each non-const access), so
  // that what is computed from the entries can tell when to compute it again.
  uint64_t Generation() const { return generation_; }

 private:
  std::vector<TFileEntry> entries_;
  int32_t currentIndex_ = 0;
  std::optional<int32_t> previousIndex_;
  std::string sourceFolder_;
  uint64_t generation_ = 0;
};

}  // namespace picaxo
