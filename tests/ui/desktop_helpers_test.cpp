#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "ui/go_to_web.h"
#include "ui/kelvo_util.h"
#include "ui/path_dialog.h"

namespace picaxo {
namespace {

TEST(PathDialog, DirectoryLosesOneTrailingSeparator) {
  EXPECT_EQ(NormalizeDialogDirectory("/photos/", "/work/"), QStringLiteral("/photos"));
  EXPECT_EQ(NormalizeDialogDirectory("/photos", "/work/"), QStringLiteral("/photos"));
  EXPECT_EQ(NormalizeDialogDirectory("/", "/work/"), QStringLiteral("/"));
  EXPECT_EQ(NormalizeDialogDirectory("/a//", "/work/"), QStringLiteral("/a/"));
  EXPECT_EQ(NormalizeDialogDirectory("", "/work/"), QStringLiteral("/work"));
  EXPECT_EQ(NormalizeDialogDirectory("", "/"), QStringLiteral("/"));

  TPathDialog dialog;
  dialog.SetDirectory(QString());
  QString cwd = QString::fromStdString(GetCurrentFolder());
  if (cwd.size() > 1) cwd.chop(1);
  EXPECT_EQ(dialog.Directory(), cwd);
}

// Answers the folder dialog once it is open: picks folder (or cancels when it is empty).
void AnswerDialog(const QString& folder, bool* shown) {
  QTimer::singleShot(50, [folder, shown] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return AnswerDialog(folder, shown);
    *shown = dialog->objectName() == QStringLiteral("PathDialog");
    if (folder.isEmpty()) {
      dialog->reject();
    } else {
      dialog->setDirectory(folder);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    }
  });
}

TEST(PathDialog, ExecuteReturnsTheChosenFolder) {
  QTemporaryDir root;
  ASSERT_TRUE(QDir(root.path()).mkdir("Photos"));
  const QString photos = root.path() + "/Photos";
  TPathDialog dialog;
  dialog.SetTitle(QStringLiteral("Choose a Folder:"));
  dialog.SetDirectory(root.path() + "/");
  EXPECT_EQ(dialog.Directory(), root.path());
  int onShow = 0;
  dialog.OnShow = [&](TPathDialog* sender) {
    EXPECT_EQ(sender, &dialog);
    ASSERT_NE(sender->Dialog(), nullptr);
    EXPECT_EQ(sender->Dialog()->windowTitle(), QStringLiteral("Choose a Folder:"));
    ++onShow;
  };
  bool shown = false;
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  AnswerDialog(photos, &shown);
  ASSERT_TRUE(dialog.Execute());
  EXPECT_TRUE(shown);
  EXPECT_EQ(onShow, 1);
  EXPECT_EQ(QDir(dialog.Directory()), QDir(photos)) << dialog.Directory().toStdString();
  EXPECT_EQ(dialog.Dialog(), nullptr);

  AnswerDialog(QString(), &shown);
  const QString before = dialog.Directory();
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.Directory(), before);
}

TEST(GoToWeb, RegisteredCommandParsing) {
  auto quoted = ParseBrowserCommand("\"C:\\Program Files\\Browser\\browser.exe\" -nohome");
  ASSERT_TRUE(quoted.has_value());
  EXPECT_EQ(quoted->Program, "C:\\Program Files\\Browser\\browser.exe");
  EXPECT_EQ(quoted->Parameters, "-nohome %s");

  auto shortName = ParseBrowserCommand("C:\\PROGRA~1\\BROWSER.EXE \"%1\"");
  ASSERT_TRUE(shortName.has_value());
  EXPECT_EQ(shortName->Program, "C:\\PROGRA~1\\BROWSER.EXE");
  EXPECT_EQ(shortName->Parameters, "%s");

  // The last program ending wins, in any case; quotes inside the template stay.
  auto last = ParseBrowserCommand("run.bat helper.Com -a \"x\"y\" ");
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->Program, "run.bat helper.Com");
  EXPECT_EQ(last->Parameters, "-a \"x\"y %s");

  EXPECT_FALSE(ParseBrowserCommand("/usr/bin/browser %u").has_value());
  EXPECT_FALSE(ParseBrowserCommand("exe").has_value());
  EXPECT_FALSE(ParseBrowserCommand("").has_value());
}

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

TEST(GoToWeb, OpenUrlUsesForwardSlashes) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
  TGoToWeb web;
  web.Url = QStringLiteral("https://picaxo.example.org\\docs\\index.html");
  EXPECT_TRUE(web.Go());
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened.front().toString(),
            QStringLiteral("https://picaxo.example.org/docs/index.html"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
  EXPECT_TRUE(TGoToWeb::ShellOpen(QStringLiteral("/opt/picaxo/Readme.txt")));
  EXPECT_FALSE(TGoToWeb::ShellOpen(QString()));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  ASSERT_EQ(catcher.opened.size(), 2);
  EXPECT_EQ(catcher.opened.back(), QUrl::fromLocalFile("/opt/picaxo/Readme.txt"));

  EXPECT_EQ(BrowserFailureMessage("https://x.org"),
            QStringLiteral("Could not open your Internet browser.\nPlease enter this URL in the "
                           "address bar\nof your Internet browser:\nhttps://x.org"));
}

}  // namespace
}  // namespace picaxo

#include "desktop_helpers_test.moc"
