#include "ui/path_dialog.h"

#include <QFileDialog>
#include <QTimer>

#include "ui/kelvo_util.h"

namespace picaxo {

QString NormalizeDialogDirectory(const QString& directory, const QString& currentFolder) {
  QString result = directory;
  if (result.size() > 1 && result.endsWith(QLatin1Char('/'))) result.chop(1);
  if (result.isEmpty()) {
    result = currentFolder;
    if (result.size() > 1 && result.endsWith(QLatin1Char('/'))) result.chop(1);
  }
  return result;
}

void TPathDialog::SetDirectory(const QString& directory) {
  directory_ = NormalizeDialogDirectory(directory, QString::fromStdString(GetCurrentFolder()));
  if (dialog_) dialog_->setDirectory(directory_);
}

bool TPathDialog::Execute() {
  QFileDialog dialog(owner_ ? owner_->window() : nullptr, title_);
  dialog.setObjectName(QStringLiteral("PathDialog"));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog_ = &dialog;
  SetDirectory(directory_);
  QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [this](const QString& path) {
    if (OnSelect) OnSelect(this, QFileInfo(path).isDir() ? path : QString());
  });
  QTimer::singleShot(0, &dialog, [this] {
    if (OnShow) OnShow(this);
  });
  const bool accepted = dialog.exec() == QDialog::Accepted;
  dialog_ = nullptr;
  if (!accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty() || !QFileInfo(chosen.front()).isDir())
    return false;
  // The chosen folder as the dialog gives it: an absolute path without a trailing "/".
  directory_ = chosen.front();
  return true;
}

}  // namespace picaxo
