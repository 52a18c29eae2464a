#include "jobs/drop.h"

#include <algorithm>

#include "base/file_util.h"
#include "jobs/destination.h"
#include "jobs/folder_scan.h"
#include "jobs/image_session.h"

namespace picaxo {

std::optional<TDropTarget> DropTargetOf(const std::vector<std::string>& paths) {
  for (const std::string& dropped : paths) {
    if (dropped.empty()) continue;
    const std::string path = LongPathForm(dropped);
    if (FolderExists(path)) return TDropTarget{path, {}};
    if (FileExists(path) && IsSourceImageName(SplitPath(path).Name))
      return TDropTarget{SplitPath(path).Folder, path};
  }
  return std::nullopt;
}

bool TImageSession::OpenDropped(const std::vector<std::string>& paths) {
  const std::optional<TDropTarget> target = DropTargetOf(paths);
  if (!target) return false;
  sourceFolderField_ = target->Folder;
  if (target->Folder == list_.SourceFolder()) {
    // The folder is listed already: keep what the user set for its images and just show the one
    // dropped.
    observer_.SourceFolderUsed(target->Folder);
    const auto& entries = list_.Entries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const TFileEntry& e) {
      return SameTextAscii(e.FileName, target->File);
    });
    if (!target->File.empty() && found != entries.end()) GoToImage(found - entries.begin());
    return true;
  }
  fileToSelectAfterScan_ = target->File;
  ScanSourceFolder();
  return true;
}

}  // namespace picaxo
