#include "jobs/folder_scan.h"

#include <filesystem>
#include <system_error>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/image_format.h"

namespace picaxo {

namespace fs = std::filesystem;

std::string LongPathForm(const std::string& typed) {
  if (typed.empty()) return typed;
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(typed), ec);
  if (ec) return typed;
  fs::path p = fs::weakly_canonical(absolute, ec);
  if (ec) p = absolute.lexically_normal();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/')
    s.pop_back();
  return s;
}

bool IsSourceImageName(const std::string& name) {
  // The extension runs from the last "." on, so "x.jpg.txt" and "jpg" do not qualify.
  return SourceFormatFromName(name).has_value();
}

namespace {
// Lists one folder (and its subfolders when recursive); false when its own listing failed.
bool ListFolder(const std::string& folder, bool recursive, std::vector<TScannedFile>& files,
                std::vector<std::string>& unreadableFolders, const std::string& skipFolder) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    std::error_code typeError;
    const bool isLink = entry.is_symlink(typeError);
    if (entry.is_directory(typeError)) {
      // The folder is in long path form and links are not followed, so a subfolder's path is
      // its long path form too.
      const std::string subfolder = JoinPath(folder, name);
      if (recursive && !isLink && subfolder != skipFolder) {
        if (!ListFolder(subfolder, true, files, unreadableFolders, skipFolder))
          unreadableFolders.push_back(subfolder);
      }
      continue;
    }
    if (!IsSourceImageName(name)) continue;
    // Only files hold photos: a named pipe, a device or a socket under a photo's name (or a link
    // to one, or a dangling link) is not listed. Given by name, the loader refuses it.
    if (!entry.is_regular_file(typeError)) continue;
    std::error_code sizeError;
    const uintmax_t size = entry.file_size(sizeError);
    files.push_back(
        {JoinPath(folder, name), sizeError ? 0 : static_cast<int64_t>(size & 0xFFFFFFFFu)});
  }
  // A read that failed part of the way ends the loop with ec set: the list is not whole.
  return !ec;
}
}  // namespace

void ScanFolder(const std::string& folder, bool recursive, std::vector<TScannedFile>& files,
                std::vector<std::string>& unreadableFolders, const std::string& skipFolder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  if (!ListFolder(folder, recursive, files, unreadableFolders, skipFolder))
    throw EPicaxoError(ScanFailureMessage(folder));
}

std::string ScanFailureMessage(const std::string& folder) {
  return "Could not iterate through files in " + folder;
}

std::string UnreadableFoldersText(const std::vector<std::string>& unreadableFolders) {
  if (unreadableFolders.empty()) return std::string();
  std::string text = ScanFailureMessage(unreadableFolders.front());
  const size_t others = unreadableFolders.size() - 1;
  if (others == 1) text += " (and 1 other folder)";
  if (others > 1) text += " (and " + std::to_string(others) + " other folders)";
  return text;
}

const std::locale& UserCollationLocale() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  return locale;
}

int ComparePaths(const std::string& a, const std::string& b, const std::locale& locale) {
  const auto& collate = std::use_facet<std::collate<char>>(locale);
  return collate.compare(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
}

}  // namespace picaxo
