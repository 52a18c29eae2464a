#include "jobs/folder_scan.h"

#include <filesystem>
#include <system_error>

#include "imaging/error.h"
#include "imaging/file_util.h"

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
  // The extension runs from the last "." on, so "x.jpeg" and "jpg" do not qualify.
  return HasExtension(name, ".jpg") || HasExtension(name, ".bmp");
}

namespace {
std::string JoinName(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}
}  // namespace

void ScanFolder(const std::string& folder, bool recursive, std::vector<TScannedFile>& files) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  fs::directory_iterator it(folder, ec);
  if (ec) throw EPicaxoError("Could not iterate through files in " + folder);
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    std::error_code typeError;
    const bool isLink = entry.is_symlink(typeError);
    if (entry.is_directory(typeError)) {
      if (recursive && !isLink) {
        try {
          ScanFolder(JoinName(folder, name), true, files);
        } catch (const std::exception&) {
          // An unreadable subfolder contributes what it listed before the failure.
        }
      }
      continue;
    }
    if (!IsSourceImageName(name)) continue;
    std::error_code sizeError;
    const uintmax_t size = entry.file_size(sizeError);
    files.push_back(
        {JoinName(folder, name), sizeError ? 0 : static_cast<int64_t>(size & 0xFFFFFFFFu)});
  }
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
