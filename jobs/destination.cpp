#include "jobs/destination.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "base/file_util.h"

namespace picaxo {

namespace fs = std::filesystem;

std::string DestinationFolderFor(const std::string& destinationField,
                                 const std::string& sourceFolder, const std::string& sourceFile) {
  std::string folder = destinationField;
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  if (folder.empty() || folder.back() != '/') folder += '/';
  // The subfolder starts after the source folder's text and the separator that follows it; the
  // root folder "/" already ends with that separator.
  const std::string fileFolder = SplitPath(sourceFile).Folder;
  size_t start = sourceFolder.size();
  if (sourceFolder.empty() || sourceFolder.back() != '/') ++start;
  if (start < fileFolder.size()) folder += fileFolder.substr(start, kMaxDestinationSubfolder);
  return folder;
}

std::string DestinationFileNameFor(const std::string& outputName, const std::string& sourceFile,
                                   EOutputFormat format) {
  const std::string extension(OutputExtension(format));
  if (!outputName.empty()) return outputName + extension;
  return StripExtension(SplitPath(sourceFile).Name) + extension;
}

bool FolderExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  return !ec && fs::exists(status) && !fs::is_directory(status);
}

std::error_code CreateFolderWithParents(const std::string& folder) {
  std::error_code ec;
  if (!folder.empty()) fs::create_directories(folder, ec);
  return ec;
}

bool SameFolder(const std::string& a, const std::string& b) {
  if (!FolderExists(a) || !FolderExists(b)) return false;
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

bool FileIsReplaceable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;  // nothing there to protect
  // The superuser may write anything, so for it the owner's write bit plays the part of the
  // read-only attribute: a file nobody may write to is never replaced, whoever owns it.
  if (::geteuid() == 0) return (st.st_mode & S_IWUSR) != 0;
  std::string folder = SplitPath(path).Folder;
  if (folder.empty()) folder = ".";
  return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace picaxo
