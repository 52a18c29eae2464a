#pragma once
// A list of recently used folders (or files), newest first, kept in a section of the per-user
// store as "File0", "File1", ... The model holds no menu: a menu shows Items() (caption, full path
// as hint) or, while the list is empty, the disabled placeholder kHistoryPlaceholder.
#include <string>
#include <string_view>
#include <vector>

namespace picaxo {

inline constexpr std::string_view kHistoryPlaceholder = "(none)";
// The RegPath of a list nobody configured: such a list never touches the store.
inline constexpr std::string_view kUnconfiguredRegPath = "Company\\Program Name";

struct THistoryItem {
  std::string Path;     // full path, also the menu item's hint
  std::string Caption;  // last component, or the whole path for the root "/"
  bool operator==(const THistoryItem&) const = default;
};

enum class THistoryPlace { Top, Bottom };

class THistoryList {
 public:
  THistoryList() = default;

  const std::vector<THistoryItem>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // The captions a menu shows: the items', or the placeholder alone when there are none.
  std::vector<std::string> MenuCaptions() const;

  int MaxItems() const { return maxItems_; }
  // Values below 1 are ignored; a smaller maximum drops items from the bottom.
  void SetMaxItems(int maxItems);

  bool Directories() const { return directories_; }
  void SetDirectories(bool directories) { directories_ = directories; }

  // The store location: the registry path below "\Software\" (GetVendorProductPath) and the
  // section. Setting either reads the list once, when RegPath is configured.
  const std::string& RegPath() const { return regPath_; }
  void SetRegPath(std::string regPath);
  const std::string& RegKey() const { return regKey_; }
  void SetRegKey(std::string regKey);

  // Adds a path that exists (a folder with Directories, a file otherwise), without a trailing
  // separator unless it is the root. A path already in the list, in whatever spelling names the
  // same folder or file, moves instead (the item keeps its own spelling). At the top the oldest
  // (bottom) item falls off when the list is full; at the bottom the top one does.
  void AddItem(const std::string& path, THistoryPlace place);
  void AddToTop(const std::string& path) { AddItem(path, THistoryPlace::Top); }
  void RemoveItem(int index);

  // Reads File0, File1, ... until the first missing number or a full list; paths that no longer
  // exist are skipped. Runs once per list; store errors are swallowed.
  void LoadFromRegistry();
  // Replaces the section's values with File0 ... in list order. Store errors are swallowed.
  void SaveToRegistry() const;

 private:
  bool Configured() const;

  std::vector<THistoryItem> items_;
  int maxItems_ = 4;
  bool directories_ = false;
  std::string regPath_ = std::string(kUnconfiguredRegPath);
  std::string regKey_ = "MRUList";
  bool loaded_ = false;
};

// The two lists of the main window: folders, ten each, in "MRUInput" and "MRUOutput" below the
// program's own registry path.
void ConfigureSourceFolderHistory(THistoryList& list);
void ConfigureDestinationFolderHistory(THistoryList& list);

}  // namespace picaxo
