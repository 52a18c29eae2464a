#include "ui/settings_menu.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include "modal_helper.h"
#include "settings/temp_config.h"
#include "settings_form.h"

namespace picaxo {
namespace {

using testing::MakeSettingsForm;
using testing::Quality;
using testing::SetQuality;
using testing::TFormBinding;
using testing::WhenModal;

using SettingsMenu = TempConfig;

// Types a path into the dialog's file name field, as a user would, and confirms. (selectFile
// leaves the field alone while it has the focus.) The dialog first reads its folder in the
// background and then selects the proposed file, replacing the field's text; a user types after
// that, and so does this.
void TypeAndAccept(QFileDialog* dialog, const QString& path) {
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  QTest::qWait(200);
  name->setText(path);
  QTest::qWait(20);
  ASSERT_EQ(name->text(), path);
  static_cast<QDialog*>(dialog)->accept();  // the file dialog's own checks run
}

// What the file dialog showed when it came up.
struct TDialogSeen {
  QString Name;
  QString Title;
  QStringList Filters;
  QString Suffix;
  QString Proposed;
};

// Answers the next file dialog with path (or cancels it when path is empty), then the message
// box that follows; returns what both showed.
struct TAnswers {
  TDialogSeen Dialog;
  QString Message;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
};

void Answer(TAnswers& seen, const QString& path, bool expectMessage = true) {
  WhenModal<QFileDialog>([&seen, path, expectMessage](QFileDialog* dialog) {
    const QStringList selected = dialog->selectedFiles();
    seen.Dialog = {dialog->objectName(), dialog->windowTitle(), dialog->nameFilters(),
                   dialog->defaultSuffix(), selected.isEmpty() ? QString() : selected.first()};
    if (path.isEmpty()) {
      dialog->reject();
      return;
    }
    if (expectMessage) {
      WhenModal<QMessageBox>([&seen](QMessageBox* box) {
        seen.Message = box->text();
        seen.Icon = box->icon();
        box->accept();
      });
    }
    TypeAndAccept(dialog, path);
  });
}

TEST_F(SettingsMenu, SaveThenLoadProposesTheSameFileAndAppliesIt) {
  const QString folder = TextFromPath(MakeFolder("sets"));
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  TSettingsFileCommands commands(binding, *form);
  QSignalSpy loaded(&commands, &TSettingsFileCommands::SettingsLoaded);

  TAnswers save;
  const QString path = folder + "/mine";  // the default extension is added
  SetQuality(binding, 42);
  Answer(save, path);
  commands.SaveSettingsClick();
  EXPECT_EQ(save.Dialog.Name, "SDSaveIni");
  EXPECT_EQ(save.Dialog.Title, "Choose export file");
  EXPECT_EQ(save.Dialog.Filters, (QStringList{"Ini files (*.ini)", "All files (*.*)"}));
  EXPECT_EQ(save.Dialog.Suffix, "ini");
  EXPECT_EQ(QFileInfo(save.Dialog.Proposed).fileName(), "PicaxoSettings.ini");
  EXPECT_EQ(save.Message, "Settings saved successfully.");
  EXPECT_EQ(save.Icon, QMessageBox::Information);
  EXPECT_EQ(commands.LastSettingsFile().toStdString(), (path + ".ini").toStdString());
  EXPECT_NE(Read(PathFromText(path + ".ini")).find("\nJpegQuality=42\n"), std::string::npos);

  SetQuality(binding, 7);
  TAnswers load;
  Answer(load, path + ".ini");
  commands.LoadSettingsClick();
  EXPECT_EQ(load.Dialog.Name, "OPLoadIni");
  EXPECT_EQ(load.Dialog.Title, "Choose import file");
  EXPECT_EQ(load.Dialog.Filters, save.Dialog.Filters);
  EXPECT_EQ(load.Dialog.Proposed.toStdString(), (path + ".ini").toStdString());
  EXPECT_EQ(load.Message, "Settings loaded successfully.");
  EXPECT_EQ(Quality(binding), 42);
  EXPECT_EQ(loaded.count(), 1);

  // Cancelling changes nothing, not even the file proposed next.
  TAnswers cancel;
  Answer(cancel, "");
  commands.SaveSettingsClick();
  EXPECT_EQ(cancel.Dialog.Proposed.toStdString(), (path + ".ini").toStdString());
  EXPECT_EQ(commands.LastSettingsFile().toStdString(), (path + ".ini").toStdString());
}

TEST_F(SettingsMenu, SavingOverAnExistingFileAsksAndKeepsItsOtherSections) {
  const std::string path = Write("old.ini", "[Mine]\nkeep=1\n");
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  TSettingsFileCommands commands(binding, *form);
  QString question;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      WhenModal<QMessageBox>([](QMessageBox* done) { done->accept(); });
      box->button(QMessageBox::Yes)->click();
    });
    TypeAndAccept(dialog, TextFromPath(path));
  });
  commands.SaveSettingsClick();
  EXPECT_TRUE(question.contains("old.ini")) << question.toStdString();
  EXPECT_EQ(Read(path).rfind("[Mine]\nkeep=1\n", 0), 0u) << Read(path);
  EXPECT_NE(Read(path).find("\n[PicaxoSettings]\nMainTop="), std::string::npos);
}

TEST_F(SettingsMenu, AFailureIsReportedNotCalledASuccess) {
  auto form = MakeSettingsForm();
  TFormBinding binding(*form);
  TSettingsFileCommands commands(binding, *form);
  QSignalSpy loaded(&commands, &TSettingsFileCommands::SettingsLoaded);

  // A file without the settings section is no settings file.
  SetQuality(binding, 12);
  TAnswers load;
  Answer(load, TextFromPath(Write("notes.ini", "[Notes]\nJpegQuality=70\n")));
  commands.LoadSettingsClick();
  EXPECT_EQ(load.Icon, QMessageBox::Critical);
  EXPECT_TRUE(load.Message.contains("PicaxoSettings")) << load.Message.toStdString();
  EXPECT_EQ(Quality(binding), 12);
  EXPECT_EQ(loaded.count(), 0);

  // A file the store will not replace (not a regular file), confirmed in the dialog.
  const std::string pipe = Path("pipe.ini");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  QString error;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    WhenModal<QMessageBox>([&](QMessageBox* replace) {
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        error = box->text();
        icon = box->icon();
        box->accept();
      });
      replace->button(QMessageBox::Yes)->click();
    });
    TypeAndAccept(dialog, TextFromPath(pipe));
  });
  commands.SaveSettingsClick();
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_TRUE(error.contains("pipe.ini")) << error.toStdString();
}

}  // namespace
}  // namespace picaxo
