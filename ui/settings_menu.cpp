#include "ui/settings_menu.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <exception>

#include "settings/picaxo_settings.h"
#include "ui/recent_menu.h"
#include "ui/settings_binding.h"

namespace picaxo {

namespace {

const QStringList kIniFilters = {QStringLiteral("Ini files (*.ini)"),
                                 QStringLiteral("All files (*.*)")};

QFileDialog* MakeDialog(QWidget& window, const char* name, const char* title,
                        QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(&window, QString::fromLatin1(title));
  dialog->setObjectName(QString::fromLatin1(name));
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
    : QObject(&window),
      binding_(binding),
      window_(window),
      saveDialog_(MakeDialog(window, "SDSaveIni", "Choose export file", QFileDialog::AcceptSave)),
      loadDialog_(MakeDialog(window, "OPLoadIni", "Choose import file", QFileDialog::AcceptOpen)) {}

QString TSettingsFileCommands::ChooseFile(QFileDialog& dialog) {
  // A new proposal lies in the folder the dialog showed last.
  dialog.selectFile(lastSettingsFile_.isEmpty()
                        ? QString::fromLatin1(kDefaultSettingsFileName.data(),
                                              qsizetype(kDefaultSettingsFileName.size()))
                        : lastSettingsFile_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  lastSettingsFile_ = dialog.selectedFiles().constFirst();
  return lastSettingsFile_;
}

void TSettingsFileCommands::SaveSettingsClick() {
  const QString path = ChooseFile(*saveDialog_);
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
  const QString path = ChooseFile(*loadDialog_);
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
