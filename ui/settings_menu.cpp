#include "ui/settings_menu.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "jobs/command_guard.h"
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

// Runs a settings command through the window's one error path; false (error shown) when it failed.
bool RunOrShowError(QWidget& window, const std::string& doing,
                    const std::function<void()>& command) {
  const std::optional<std::string> error = RunGuarded(command, doing);
  if (error)
    QMessageBox::critical(&window, QStringLiteral("Picaxo"), QString::fromStdString(*error));
  return !error;
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
  if (!RunOrShowError(window_, "save the settings",
                      [&] { binding_.SaveSettingsFile(PathFromText(path)); }))
    return;
  ShowInformation(window_, "Settings saved successfully.");
}

void TSettingsFileCommands::LoadSettingsClick() {
  const QString path = ChooseFile(QFileDialog::AcceptOpen);
  if (path.isEmpty()) return;
  if (!RunOrShowError(window_, "load the settings",
                      [&] { binding_.LoadSettingsFile(PathFromText(path)); }))
    return;
  emit SettingsLoaded();
  ShowInformation(window_, "Settings loaded successfully.");
}

}  // namespace picaxo
