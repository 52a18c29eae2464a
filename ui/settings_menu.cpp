#include "ui/settings_menu.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <exception>
#include <memory>

#include "settings/picaxo_settings.h"
#include "ui/recent_menu.h"
#include "ui/settings_binding.h"

namespace picaxo {

namespace {

const QStringList kIniFilters = {QStringLiteral("Ini files (*.ini)"),
                                 QStringLiteral("All files (*.*)")};

std::unique_ptr<QFileDialog> MakeDialog(QWidget& window, QFileDialog::AcceptMode mode) {
  const bool save = mode == QFileDialog::AcceptSave;
  auto dialog = std::make_unique<QFileDialog>(
      &window, QString::fromLatin1(save ? "Choose export file" : "Choose import file"));
  dialog->setObjectName(QString::fromLatin1(save ? "SDSaveIni" : "OPLoadIni"));
  dialog->setAcceptMode(mode);
  // Saving asks before it replaces a file (the dialog's default); loading takes existing files.
  dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                      : QFileDialog::ExistingFile);
  dialog->setNameFilters(kIniFilters);
  dialog->setDefaultSuffix(QStringLiteral("ini"));
  return dialog;
}

void ShowInformation(QWidget& window, const char* text) {
  QMessageBox::information(&window, QStringLiteral("Picaxo"), QString::fromLatin1(text));
}

void ShowError(QWidget& window, const std::exception& error) {
  QMessageBox::critical(&window, QStringLiteral("Picaxo"), QString::fromUtf8(error.what()));
}

}  // namespace

TSettingsFileCommands::TSettingsFileCommands(TSettingsBinding& binding, QWidget& window)
    : QObject(&window), binding_(binding), window_(window) {}

QString TSettingsFileCommands::ChooseFile(QFileDialog::AcceptMode mode) {
  const std::unique_ptr<QFileDialog> dialog = MakeDialog(window_, mode);
  QString& lastFolder = mode == QFileDialog::AcceptSave ? lastSaveFolder_ : lastLoadFolder_;
  // A new proposal lies in the folder the dialog showed last.
  if (!lastFolder.isEmpty()) dialog->setDirectory(lastFolder);
  dialog->selectFile(lastSettingsFile_.isEmpty()
                         ? QString::fromLatin1(kDefaultSettingsFileName.data(),
                                               qsizetype(kDefaultSettingsFileName.size()))
                         : lastSettingsFile_);
  const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  lastFolder = dialog->directory().absolutePath();
  if (!accepted) return {};
  lastSettingsFile_ = dialog->selectedFiles().constFirst();
  return lastSettingsFile_;
}

void TSettingsFileCommands::SaveSettingsClick() {
  const QString path = ChooseFile(QFileDialog::AcceptSave);
  if (path.isEmpty()) return;
  try {
    binding_.SaveSettingsFile(PathFromText(path));
  } catch (const std::exception& error) {
    ShowError(window_, error);
    return;
  }
  ShowInformation(window_, "Settings saved successfully.");
}

void TSettingsFileCommands::LoadSettingsClick() {
  const QString path = ChooseFile(QFileDialog::AcceptOpen);
  if (path.isEmpty()) return;
  try {
    binding_.LoadSettingsFile(PathFromText(path));
  } catch (const std::exception& error) {
    ShowError(window_, error);
    return;
  }
  emit SettingsLoaded();
  ShowInformation(window_, "Settings loaded successfully.");
}

}  // namespace picaxo
