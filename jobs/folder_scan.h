#pragma once
// Listing the source images of a folder and the path identity rules the image list relies on.
#include <cstdint>
#include <locale>
#include <string>
#include <vector>

namespace picaxo {

// The long path form of a typed path: absolute and lexically normal, with symbolic links resolved
// as far as the path exists, and no trailing separator except for "/". An empty text stays empty.
std::string LongPathForm(const std::string& typed);

// True for the names the image list takes: ".jpg", ".jpeg", ".bmp", ".png", ".webp", ".heic",
// ".heif", ".avif", ".tif" and ".tiff" in any letter case.
bool IsSourceImageName(const std::string& name);

struct TScannedFile {
  std::string FileName;  // folder + "/" + name
  int64_t FileSize = 0;  // low 32 bits of the listed size
};

// Appends the source images of folder (and, when recursive, of its subfolders) to files, in
// listing order. A missing folder adds nothing. A folder that exists but cannot be listed, or
// whose listing fails part of the way, throws ScanFailureMessage(folder), leaving what was
// appended so far. A subfolder that cannot be listed (wholly or in part) keeps what it listed and
// is appended to unreadableFolders; the scan goes on with the others. Symbolic links to folders
// are not descended into, so a link cycle cannot make the scan run away. A subfolder whose long
// path form is skipFolder (the destination folder, when it lies inside the source) is left out
// with everything below it, so that a run never lists its own earlier outputs.
void ScanFolder(const std::string& folder, bool recursive, std::vector<TScannedFile>& files,
                std::vector<std::string>& unreadableFolders, const std::string& skipFolder = {});

// "Could not iterate through files in " + folder.
std::string ScanFailureMessage(const std::string& folder);

// The status line after a scan that could not list some subfolders: the first folder's failure,
// and how many others failed ("... in /p/a (and 2 other folders)"). Empty for none.
std::string UnreadableFoldersText(const std::vector<std::string>& unreadableFolders);

// The collation the image list is sorted by: the user's locale, or "C" when it cannot be made.
const std::locale& UserCollationLocale();

// Locale-aware, case-sensitive comparison of two full paths (std::collate of locale).
int ComparePaths(const std::string& a, const std::string& b, const std::locale& locale);

}  // namespace picaxo
