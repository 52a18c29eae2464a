#pragma once
// A recent-folder submenu shown from a THistoryList: one item per folder, newest first, captioned
// with the folder's last component ("/" for the root) and carrying the full path as its status-bar
// hint; a disabled "(none)" while the list is empty. Items the menu held before (fixed items) stay
// in front of the list, after a separator. Choosing an item emits ItemChosen with the full path.
#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "settings/history_list.h"

class QAction;
class QMenu;

namespace picaxo {

class TRecentFolderMenu final : public QObject {
  Q_OBJECT

 public:
  // Shows the list in menu, which outlives this object or goes with it. The list starts empty
  // and unconfigured; Configure gives it its store location, which loads it.
  explicit TRecentFolderMenu(QMenu& menu, QObject* parent = nullptr);

  const THistoryList& List() const { return list_; }
  // configure is one of ConfigureSourceFolderHistory / ConfigureDestinationFolderHistory.
  void Configure(void (*configure)(THistoryList&));
  void SetMaxItems(int maxItems);

  // Adds the folder at the top, or moves it there; a path that is not an existing folder is
  // ignored (the list decides).
  void AddToTop(const QString& path);
  void SaveToRegistry() const;

 signals:
  void ItemChosen(const QString& path);

 private:
  void Refresh();

  QMenu& menu_;
  THistoryList list_;
  std::vector<QAction*> items_;  // the list's items, plus the placeholder or the separator
};

// The file-system path of a folder text and back; byte-exact for any Linux file name.
std::string PathFromText(const QString& text);
QString TextFromPath(const std::string& path);

}  // namespace picaxo
