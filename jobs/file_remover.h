#pragma once
// Removing a file the user asked to delete. The window moves it to the desktop's trash; the core's
// deleting remover (tests, picaxo-cli) deletes it.
#include <string>

namespace picaxo {

class IFileRemover {
 public:
  virtual ~IFileRemover() = default;
  // Removes path; true when nothing is left at path afterwards. Never throws.
  virtual bool RemoveFile(const std::string& path) = 0;
};

// Deletes the file for good.
class TDeletingFileRemover : public IFileRemover {
 public:
  bool RemoveFile(const std::string& path) override;
};

IFileRemover& DeletingFileRemover();

// Moves the file into the user's trash (base/trash.h), where a file manager can restore it;
// deletes it for good only where no trash can take it.
class TTrashFileRemover : public IFileRemover {
 public:
  bool RemoveFile(const std::string& path) override;
};

}  // namespace picaxo
