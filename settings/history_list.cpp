#include "settings/history_list.h"

#include <filesystem>

#include "base/file_util.h"
#include "settings/program_identity.h"
#include "settings/settings_store.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {

// The long form of a path: absolute, lexically normal, links resolved where it exists, without a
// trailing separator except for the root.
std::string LongForm(const std::string& path) {
  std::error_code ec;
  fs::path form = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) form = fs::path(path).lexically_normal();
  std::string text = form.string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return text;
}

bool SamePath(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  return LongForm(a) == LongForm(b);
}

std::string CaptionOf(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  return name.empty() ? path : name;
}

}  // namespace

std::vector<std::string> THistoryList::MenuCaptions() const {
  if (items_.empty()) return {std::string(kHistoryPlaceholder)};
  std::vector<std::string> captions;
  for (const THistoryItem& item : items_)
    captions.push_back(item.Caption);
  return captions;
}

void THistoryList::SetMaxItems(int maxItems) {
  if (maxItems < 1) return;
  maxItems_ = maxItems;
  if (Count() > maxItems_) items_.resize(static_cast<size_t>(maxItems_));
}

bool THistoryList::Configured() const {
  return !regPath_.empty() && !SameTextAscii(regPath_, kUnconfiguredRegPath) && !regKey_.empty();
}

void THistoryList::SetRegPath(std::string regPath) {
  regPath_ = std::move(regPath);
  LoadFromRegistry();
}

void THistoryList::SetRegKey(std::string regKey) {
  regKey_ = std::move(regKey);
  LoadFromRegistry();
}

void THistoryList::AddItem(const std::string& path, THistoryPlace place) {
  if (path.empty()) return;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  const bool valid =
      directories_ ? fs::is_directory(status) : fs::exists(status) && !fs::is_directory(status);
  if (!valid) return;

  std::string itemPath = path;
  if (directories_) {
    while (itemPath.size() > 1 && itemPath.back() == '/')
      itemPath.pop_back();
  }
  THistoryItem item{itemPath, CaptionOf(itemPath)};
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (SamePath(it->Path, itemPath)) {
      item = std::move(*it);  // the item moves and keeps the spelling it was added with
      items_.erase(it);
      break;
    }
  }
  if (place == THistoryPlace::Top) {
    items_.insert(items_.begin(), std::move(item));
    if (Count() > maxItems_) items_.pop_back();
  } else {
    items_.push_back(std::move(item));
    if (Count() > maxItems_) items_.erase(items_.begin());
  }
}

void THistoryList::RemoveItem(int index) {
  if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

void THistoryList::LoadFromRegistry() {
  if (loaded_ || !Configured()) return;
  loaded_ = true;
  try {
    const TIniSettingsStore store(UserStoreFilePath(regPath_), TStoreFolder::CreateOnWrite);
    for (int i = 0; Count() < maxItems_; ++i) {
      const std::string key = "File" + std::to_string(i);
      if (!store.ValueExists(regKey_, key)) break;
      AddItem(store.ReadString(regKey_, key, ""), THistoryPlace::Bottom);
    }
  } catch (const std::exception&) {
    // A store that cannot be read leaves the list as far as it got.
  }
}

void THistoryList::SaveToRegistry() const {
  if (!Configured()) return;
  try {
    TIniSettingsStore store(UserStoreFilePath(regPath_), TStoreFolder::CreateOnWrite);
    store.EraseSection(regKey_);
    for (int i = 0; i < Count(); ++i)
      store.WriteString(regKey_, "File" + std::to_string(i), items_[static_cast<size_t>(i)].Path);
    store.Flush();
  } catch (const std::exception&) {
    // The list is not worth a message at exit; the old file stays whole.
  }
}

void ConfigureSourceFolderHistory(THistoryList& list) {
  list.SetMaxItems(10);
  list.SetDirectories(true);
  list.SetRegKey("MRUInput");
  list.SetRegPath(GetVendorProductPath());
}

void ConfigureDestinationFolderHistory(THistoryList& list) {
  list.SetMaxItems(10);
  list.SetDirectories(true);
  list.SetRegKey("MRUOutput");
  list.SetRegPath(GetVendorProductPath());
}

}  // namespace picaxo
