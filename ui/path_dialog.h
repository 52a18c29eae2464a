#pragma once
// TPathDialog: the folder chooser behind the Browse buttons, a file dialog in directory mode.
#include <QString>
#include <functional>

class QFileDialog;
class QWidget;

namespace picaxo {

// The value Directory stores for a given one: one trailing "/" removed (except for "/" itself);
// an empty value becomes currentFolder without its trailing "/".
QString NormalizeDialogDirectory(const QString& directory, const QString& currentFolder);

class TPathDialog {
 public:
  explicit TPathDialog(QWidget* owner = nullptr) : owner_(owner) {}

  QString Title() const { return title_; }
  void SetTitle(const QString& title) { title_ = title; }
  // In: the folder selected when the dialog opens; out: the chosen folder.
  QString Directory() const { return directory_; }
  void SetDirectory(const QString& directory);

  // Shows the modal dialog. True, with Directory set to the chosen folder, when the user confirms a
  // folder; false (Directory unchanged) when they cancel.
  bool Execute();

  // Called once the dialog exists (the dialog is its object name "PathDialog"), and whenever the
  // selected folder changes.
  std::function<void(TPathDialog* sender)> OnShow;
  std::function<void(TPathDialog* sender, const QString& path)> OnSelect;

  // The dialog while Execute runs, else null.
  QFileDialog* Dialog() const { return dialog_; }

 private:
  QWidget* owner_;
  QString title_;
  QString directory_;
  QFileDialog* dialog_ = nullptr;
};

}  // namespace picaxo
