// The main window's menus: captions, shortcuts and hints of every item. The keys that the window's
// key handling serves (Page Up, Home, the keypad, ...) appear after a tab in the caption and are
// not shortcuts of the items.
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include "ui/main_window.h"

namespace picaxo {

namespace {

QAction* MakeAction(QObject* owner, const char* name, const char* caption,
                    const char* hint = nullptr, const QKeySequence& shortcut = {}) {
  auto* action = new QAction(QString::fromUtf8(caption), owner);
  action->setObjectName(QString::fromLatin1(name));
  if (hint) action->setStatusTip(QString::fromUtf8(hint));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

// The program's own page, opened by Help > Program Homepage and shown as that item's hint.
extern const char* const kProgramHomepage;
const char* const kProgramHomepage = "https://picaxo.example.org/";

void TForm1::CreateActions() {
  LoadSettings1 =
      MakeAction(this, "LoadSettings1", "&Load Settings...", "Load previously saved settings");
  SaveSettings1 =
      MakeAction(this, "SaveSettings1", "&Save Settings...", "Save current settings to a file");
  Exit1 =
      MakeAction(this, "Exit1", "E&xit", "Exit the program", QKeySequence(Qt::CTRL | Qt::Key_Q));

  MPreview = MakeAction(this, "MPreview", "Preview", "Show image as it would be saved",
                        QKeySequence(Qt::CTRL | Qt::Key_P));
  MPreview->setCheckable(true);
  static const char* const kZoomNames[6] = {"MZoomAuto", "MZoom41", "MZoom21",
                                            "MZoom11",   "MZoom12", "MZoom14"};
  static const char* const kZoomCaptions[6] = {"&Auto", "4:1", "2:1", "1:1", "1:2", "1:4"};
  static const char* const kZoomHints[6] = {
      "Auto sizes the image to fit window", "Show image 4 times larger",
      "Show image 2 times larger",          "Show image in original size",
      "Show image half as large",           "Show image at one fourth its size"};
  zoomGroup_ = new QActionGroup(this);
  zoomGroup_->setExclusive(true);
  for (int i = 0; i < 6; ++i) {
    zoomItems_[i] = MakeAction(this, kZoomNames[i], kZoomCaptions[i], kZoomHints[i]);
    zoomItems_[i]->setCheckable(true);
    zoomItems_[i]->setData(i);  // the item's Tag: its entry in CBZoom
    zoomGroup_->addAction(zoomItems_[i]);
  }
  FullScreen1 =
      MakeAction(this, "FullScreen1", "Full Screen", nullptr, QKeySequence(Qt::CTRL | Qt::Key_F));
  FullScreen1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::Key_F11)});
  MNext = MakeAction(this, "MNext", "Next", "Show next image");
  MPrevious = MakeAction(this, "MPrevious", "Previous", "Show previous image");
  MFirst = MakeAction(this, "MFirst", "&First", "Show first image");
  MLast = MakeAction(this, "MLast", "&Last", "Show last image");
  Refresh1 = MakeAction(this, "Refresh1", "Refresh", nullptr, QKeySequence(Qt::Key_F5));

  Rotateright1 = MakeAction(this, "Rotateright1", "Rotate Right (lossless)",
                            "Rotates the source file by 90 degrees clock wise.",
                            QKeySequence(Qt::CTRL | Qt::Key_R));
  RotateLeft1 = MakeAction(this, "RotateLeft1", "Rotate Left (lossless)",
                           "Rotates the source file by 90 degrees counter clock wise.",
                           QKeySequence(Qt::CTRL | Qt::Key_L));
  MInDelete = MakeAction(this, "MInDelete", "Delete");
  MCopyTo = MakeAction(this, "MCopyTo", "Copy to...", nullptr, QKeySequence(Qt::CTRL | Qt::Key_W));

  MSave = MakeAction(this, "MSave", "Save", "Save (cropped) image to Destination Folder",
                     QKeySequence(Qt::CTRL | Qt::Key_S));
  MSaveAndNext =
      MakeAction(this, "MSaveAndNext", "Save and Next", "Save (cropped) image and go to next",
                 QKeySequence(Qt::CTRL | Qt::Key_N));
  MSaveAll = MakeAction(this, "MSaveAll", "Save All (Batch)",
                        "Goes through the list of all pictures and converts/saves them");
  MOutDelete =
      MakeAction(this, "MOutDelete", "&Delete", "Delete the previously saved Destination File");
  MExcludeInBatchMode = MakeAction(this, "MExcludeInBatchMode", "Exclude for Save All", nullptr,
                                   QKeySequence(Qt::CTRL | Qt::Key_E));
  MExcludeInBatchMode->setCheckable(true);
  MForceRecompress = MakeAction(this, "MForceRecompress", "Force Recompress");
  MForceRecompress->setCheckable(true);

  Recursiveinputdirs1 =
      MakeAction(this, "Recursiveinputdirs1", "&Subdirectories",
                 "If checked, the Source Folder and all subdirectories are searched for image "
                 "files.");
  Recursiveinputdirs1->setCheckable(true);
  UseLosslessJPEGrotateofinputfile1 = MakeAction(
      this, "UseLosslessJPEGrotateofinputfile1", "Use &Lossless JPEG rotate of source file",
      "If checked, then rotating the image is done on the source file without quality "
      "loss");
  UseLosslessJPEGrotateofinputfile1->setCheckable(true);
  UseLosslessJPEGrotateofinputfile1->setChecked(true);
  UseLosslessJPEGrotateofinputfile1->setVisible(false);
  MAutoOrient = MakeAction(this, "MAutoOrient", "Auto-Rotate by &EXIF",
                           "If checked, photos are shown and saved upright as the EXIF orientation "
                           "recorded by the camera says");
  MAutoOrient->setCheckable(true);
  MAutoOrient->setChecked(true);

  // Two radio groups; each item's data is the policy's settings value.
  auto radio = [this](QActionGroup* group, const char* name, const char* caption, const char* hint,
                      int value) {
    QAction* item = MakeAction(this, name, caption, hint);
    item->setCheckable(true);
    item->setData(value);
    group->addAction(item);
    return item;
  };
  colorProfileGroup_ = new QActionGroup(this);
  MColorConvert = radio(colorProfileGroup_, "MColorConvert", "&Convert",
                        "Convert photos with a colour profile to sRGB, so that they show and save "
                        "in their true colours",
                        0);
  MColorKeep =
      radio(colorProfileGroup_, "MColorKeep", "&Keep",
            "Keep the stored colours and embed the source's colour profile in saved files", 1);
  MColorIgnore = radio(colorProfileGroup_, "MColorIgnore", "&Ignore",
                       "Ignore colour profiles: stored colours, no profile in saved files", 2);
  metadataGroup_ = new QActionGroup(this);
  MMetadataStrip = radio(metadataGroup_, "MMetadataStrip", "&Strip",
                         "Saved files carry no EXIF, XMP, IPTC or comments of the source", 0);
  MMetadataKeep = radio(metadataGroup_, "MMetadataKeep", "&Keep",
                        "Saved files keep the source's EXIF, XMP, IPTC and comments", 1);
  MMetadataKeepPublic =
      radio(metadataGroup_, "MMetadataKeepPublic", "Keep &Public",
            "Keep the metadata without location, serial numbers, owner names and maker notes "
            "(also removed from copied files)",
            2);

  ProgramHomepage1 = MakeAction(this, "ProgramHomepage1", "Program &Homepage...");
  Readme1 = MakeAction(this, "Readme1", "&Readme", "Show readme file");
  About1 = MakeAction(this, "About1", "&About");
}

void TForm1::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  auto menu = [bar](const char* name, const char* caption) {
    QMenu* m = bar->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    return m;
  };
  auto submenu = [](QMenu* parent, const char* name, const char* caption) {
    QMenu* m = parent->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    return m;
  };

  QMenu* file = menu("File1", "&File");
  file->addAction(LoadSettings1);
  file->addAction(SaveSettings1);
  file->addSeparator();
  RecentInputDirs1 = submenu(file, "RecentInputDirs1", "&Recent Source Dirs");
  RecentOutputDirs1 = submenu(file, "RecentOutputDirs1", "Recent &Destination Dirs");
  file->addSeparator();
  file->addAction(Exit1);

  QMenu* view = menu("View1", "&View");
  view->addAction(MPreview);
  Zoom1 = submenu(view, "Zoom1", "&Zoom");
  for (QAction* item : zoomItems_)
    Zoom1->addAction(item);
  view->addAction(FullScreen1);
  view->addSeparator();
  view->addAction(MNext);
  view->addAction(MPrevious);
  view->addAction(MFirst);
  view->addAction(MLast);
  view->addSeparator();
  view->addAction(Refresh1);

  QMenu* source = menu("InputFile1", "&SourceFile");
  source->addAction(Rotateright1);
  source->addAction(RotateLeft1);
  source->addSeparator();
  source->addAction(MInDelete);
  source->addAction(MCopyTo);

  QMenu* destination = menu("OutputFile1", "&DestFile");
  destination->addAction(MSave);
  destination->addAction(MSaveAndNext);
  destination->addAction(MSaveAll);
  destination->addSeparator();
  destination->addAction(MOutDelete);
  destination->addSeparator();
  destination->addAction(MExcludeInBatchMode);
  destination->addAction(MForceRecompress);

  // The job actions; shown only in the Batch Resize view.
  MBatch = menu("MBatch", "&Batch");
  MBatch->menuAction()->setVisible(false);

  QMenu* options = menu("Options1", "&Options");
  options->addAction(Recursiveinputdirs1);
  options->addAction(UseLosslessJPEGrotateofinputfile1);
  // How sources are read.
  options->addSeparator();
  options->addAction(MAutoOrient);
  ColorProfile1 = submenu(options, "ColorProfile1", "&Colour Profile");
  ColorProfile1->addActions(colorProfileGroup_->actions());
  Metadata1 = submenu(options, "Metadata1", "&Metadata");
  Metadata1->addActions(metadataGroup_->actions());
  CreateWorkersMenu(options);

  QMenu* help = menu("Help1", "&Help");
  help->addAction(ProgramHomepage1);
  help->addAction(Readme1);
  help->addAction(About1);

  // Key names after a tab, as the key handling serves them.
  auto appendKey = [](QAction* item, const char* key) {
    item->setText(item->text() + QLatin1Char('\t') + QString::fromLatin1(key));
  };
  appendKey(MNext, "PageDown");
  appendKey(MPrevious, "PageUp");
  appendKey(MFirst, "Home");
  appendKey(MLast, "End");
  appendKey(zoomItems_[0], "NUM *");
  appendKey(zoomItems_[3], "NUM /");

  ProgramHomepage1->setStatusTip(QString::fromLatin1(kProgramHomepage));
}

}  // namespace picaxo
