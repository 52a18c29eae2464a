#include "ui/recent_menu.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <algorithm>

namespace picaxo {

namespace {

// A folder name holding "&" would otherwise show a mnemonic instead of the character.
QString MenuCaption(const std::string& caption) {
  return TextFromPath(caption).replace('&', QStringLiteral("&&"));
}

}  // namespace

std::string PathFromText(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

QString TextFromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

TRecentFolderMenu::TRecentFolderMenu(QMenu& menu, QObject* parent) : QObject(parent), menu_(menu) {
  Refresh();
}

void TRecentFolderMenu::Configure(void (*configure)(THistoryList&)) {
  configure(list_);
  Refresh();
}

void TRecentFolderMenu::SetMaxItems(int maxItems) {
  list_.SetMaxItems(maxItems);
  Refresh();
}

void TRecentFolderMenu::AddToTop(const QString& path) {
  // Every save of a run names the folder already at the top: the menu stays as it is.
  const std::string folder = PathFromText(path);
  if (list_.Count() > 0 && list_.Items().front().Path == folder) return;
  list_.AddToTop(folder);
  Refresh();
}

void TRecentFolderMenu::SaveToRegistry() const {
  list_.SaveToRegistry();
}

void TRecentFolderMenu::Refresh() {
  // The chosen item may be the one being replaced: it goes once its click has been handled.
  for (QAction* action : items_) {
    menu_.removeAction(action);
    action->deleteLater();
  }
  items_.clear();
  const bool hasFixedItems = !menu_.actions().isEmpty();

  if (list_.Count() == 0) {
    if (hasFixedItems) return;
    QAction* placeholder = new QAction(TextFromPath(std::string(kHistoryPlaceholder)), &menu_);
    placeholder->setEnabled(false);
    menu_.addAction(placeholder);
    items_.push_back(placeholder);
    return;
  }
  if (hasFixedItems) items_.push_back(menu_.addSeparator());
  for (const THistoryItem& item : list_.Items()) {
    QAction* action = new QAction(MenuCaption(item.Caption), &menu_);
    const QString path = TextFromPath(item.Path);
    action->setStatusTip(path);
    connect(action, &QAction::triggered, this, [this, path] { emit ItemChosen(path); });
    menu_.addAction(action);
    items_.push_back(action);
  }
}

}  // namespace picaxo
