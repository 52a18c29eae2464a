#pragma once
// File > "&Save Settings..." and "&Load Settings...": the file dialogs SDSaveIni and OPLoadIni,
// the file last chosen in either of them (LastSettingsFile, shared by both) and the messages.
#include <QFileDialog>
#include <QObject>
#include <QString>

class QWidget;

namespace picaxo {

class TSettingsBinding;

class TSettingsFileCommands final : public QObject {
  Q_OBJECT

 public:
  // The dialogs are children of window while they are open; binding outlives this object.
  TSettingsFileCommands(TSettingsBinding& binding, QWidget& window);

  const QString& LastSettingsFile() const { return lastSettingsFile_; }

 public slots:
  // Asks for a file (proposing the last one, else "PicaxoSettings.ini"), writes every setting
  // into it and says "Settings saved successfully."; a file that cannot be written is reported
  // with its cause instead, and an existing file then stays as it was.
  void SaveSettingsClick();
  // Asks for an existing file, applies its settings and says "Settings loaded successfully."; a
  // file that is no settings file (no "PicaxoSettings" section) or cannot be read changes nothing
  // and is reported. Bad values inside a settings file are skipped without a message.
  void LoadSettingsClick();

 signals:
  // A settings file was applied: the window updates its rule controls and reads the source folder
  // again, before the success message shows.
  void SettingsLoaded();

 private:
  // Makes the dialog, shows it with the proposed file and destroys it; the chosen path, or empty
  // when cancelled. A file dialog watches the folder it shows for as long as it exists, and every
  // file saved there would make it read the folder again: the dialogs exist only while open.
  QString ChooseFile(QFileDialog::AcceptMode mode);

  TSettingsBinding& binding_;
  QWidget& window_;
  QString lastSettingsFile_;
  // The folder each dialog showed when it was last closed, where it opens next time.
  QString lastSaveFolder_;
  QString lastLoadFolder_;
};

}  // namespace picaxo
