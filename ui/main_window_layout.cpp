// The main window's widgets: where each control sits, its object name, caption and hint.
//
// The left panel keeps the designed pixel positions: the group heights grow and shrink from them
// (the margins are measured on the first show), so its contents are placed by hand; the top panel,
// the view and the status bar follow the window's size through layouts.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <string_view>

#include "imaging/destination_parameters.h"

#include "ui/img_view_box.h"
#include "ui/main_window.h"
#include "ui/status_panel.h"
#include "ui/window_placement.h"

namespace picaxo {

namespace {

template <typename T>
T* Named(T* widget, const char* name, const char* hint = nullptr) {
  widget->setObjectName(QString::fromLatin1(name));
  if (hint) widget->setStatusTip(QString::fromUtf8(hint));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int w, int h = 17) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(x, y, w, h);
  return label;
}

// A spin box standing for an edit with its up-down control: the box carries the up-down's name,
// its text field the edit's, so that both names are found. Its range is the parameter's.
QSpinBox* MakeSpin(QWidget* parent, const char* upDownName, const char* editName,
                   std::string_view parameter) {
  auto* spin = Named(new QSpinBox(parent), upDownName);
  const TDestinationParameter& range = DestinationParameter(parameter);
  spin->setRange(range.Min, range.Max);
  spin->setKeyboardTracking(false);  // a value is taken on Enter, on leaving or from the arrows
  spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  if (auto* edit = spin->findChild<QLineEdit*>())
    edit->setObjectName(QString::fromLatin1(editName));
  return spin;
}

// Keeps the captions of a group bold while its contents use the normal font.
void BoldCaption(QGroupBox* group) {
  QFont bold = group->font();
  bold.setBold(true);
  QFont normal = group->font();
  normal.setBold(false);  // set explicitly, so that it does not inherit the caption's weight
  group->setFont(bold);
  for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    child->setFont(normal);
}

}  // namespace

void TForm1::CreateLayout() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Picaxo"));
  // The first start's size; a stored placement replaces it when the window is first shown.
  const TRect first = FirstStartMainWindowSize(WorkAreaOf(*this));
  resize(static_cast<int>(first.Width()), static_cast<int>(first.Height()));
  setAcceptDrops(true);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("ClientArea"));
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(CreatePanelTop());

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(CreatePanelLeft());
  // The separator at the right edge of PanelLeft; the Simple Resize view shows it.
  Bevel1 = Named(new QFrame(central), "Bevel1");
  Bevel1->setFrameShape(QFrame::VLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  row->addWidget(Bevel1);
  row->addWidget(CreateMainPanel(), 1);
  column->addLayout(row, 1);
  setCentralWidget(central);
  CreateStatusBar();
}

QWidget* TForm1::CreatePanelTop() {
  PanelTop = Named(new QFrame(this), "PanelTop");
  auto* top = static_cast<QFrame*>(PanelTop);
  top->setFrameShape(QFrame::NoFrame);
  top->setMinimumHeight(57);
  auto* column = new QVBoxLayout(top);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto line = [top] {
    auto* l = new QFrame(top);
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    return l;
  };
  column->addWidget(line());

  const char* sourceHint = "The folder with the original images. BMP and JPG images are supported";
  const char* destinationHint =
      "The folder to which the modified JPEG images are saved. Only JPG files are written";
  auto* folders = new QHBoxLayout;
  folders->setContentsMargins(6, 3, 6, 3);
  folders->setSpacing(4);
  folders->addWidget(Named(new QLabel(QStringLiteral("Source:"), top), "LInputDir", sourceHint));
  EInputDir = Named(new QLineEdit(top), "EInputDir", sourceHint);
  folders->addWidget(EInputDir, 1);
  BBrowseInput = Named(new QToolButton(top), "BBrowseInput", "Click to choose the Source Folder");
  BBrowseInput->setText(QStringLiteral("..."));
  folders->addWidget(BBrowseInput);
  folders->addSpacing(8);
  folders->addWidget(
      Named(new QLabel(QStringLiteral("Destination:"), top), "LOutputDir", destinationHint));
  EOutputDir = Named(new QLineEdit(top), "EOutputDir", destinationHint);
  folders->addWidget(EOutputDir, 1);
  BBrowseOutput =
      Named(new QToolButton(top), "BBrowseOutput", "Click to choose the Destination folder");
  BBrowseOutput->setText(QStringLiteral("..."));
  folders->addWidget(BBrowseOutput);
  column->addLayout(folders);

  ToolBarImages = Named(new QToolBar(top), "ToolBarImages");
  ToolBarImages->setMovable(false);
  ToolBarImages->setFloatable(false);
  ToolBarImages->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto button = [this](const char* name, const char* text, const char* hint) {
    auto* b = Named(new QToolButton(ToolBarImages), name, hint);
    b->setText(QString::fromUtf8(text));
    b->setAutoRaise(true);
    b->setMinimumSize(46, 21);
    ToolBarImages->addWidget(b);
    return b;
  };
  TBPrev = button("TBPrev", "<< Prev", "Previous image [Page Up]");
  TBSave = button("TBSave", "Save", "Save (cropped) image to Destination Folder [Ctrl S]");
  TBNext = button("TBNext", "Next >>", "Next image [Page Down]");
  TBSaveAll = button("TBSaveAll", "Save All", "Save All pictures at once");
  ToolBarImages->addSeparator();
  TBPreview = button("TBPreview", "Preview",
                     "Show image as it would be saved. Note: cropping will be done without "
                     "activating this ! [Ctrl-P]");
  TBPreview->setCheckable(true);
  ToolBarImages->addSeparator();
  CBZoom =
      Named(new QComboBox(ToolBarImages), "CBZoom", "Zoom of displayed image [Num block / * + -]");
  CBZoom->setFixedWidth(113);
  CBZoom->addItems({QStringLiteral("Auto [NUM *]"), QStringLiteral("4:1"), QStringLiteral("2:1"),
                    QStringLiteral("1:1 [NUM /]"), QStringLiteral("1:2"), QStringLiteral("1:4")});
  CBZoom->setFocusPolicy(Qt::ClickFocus);
  ToolBarImages->addWidget(CBZoom);
  column->addWidget(ToolBarImages);

  // The job actions' tool bar; the job list fills it and shows it in the Batch Resize view.
  ToolBarJobs = Named(new QToolBar(top), "ToolBarJobs");
  ToolBarJobs->setMovable(false);
  ToolBarJobs->setFloatable(false);
  ToolBarJobs->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ToolBarJobs->setVisible(false);
  column->addWidget(ToolBarJobs);
  column->addWidget(line());
  return top;
}

QWidget* TForm1::CreatePanelLeft() {
  auto* panel = Named(new QFrame(this), "PanelLeft");
  PanelLeft = panel;
  panel->setFixedWidth(201);
  panel->setFrameShape(QFrame::NoFrame);
  // The designed sizes are those of an 8-point dialog font; a larger desktop font would clip
  // the captions of the hand-placed controls.
  QFont font = panel->font();
  font.setPixelSize(11);
  panel->setFont(font);
  GroupBox1 = CreateSourceGroup(panel);
  GroupBox1->setGeometry(4, 2, 192, 100);
  GBOutputFile = CreateOutputGroup(panel);
  GBOutputFile->move(4, 104);
  return panel;
}

QGroupBox* TForm1::CreateSourceGroup(QWidget* parent) {
  auto* group = Named(new QGroupBox(QStringLiteral("Source File"), parent), "GroupBox1");
  EInFilename = Named(new QLineEdit(group), "EInFilename");
  EInFilename->setGeometry(8, 20, 140, 21);
  LExtIn = Named(MakeLabel(group, "", 151, 22, 38), "LExtIn");
  EInFileNumber = Named(new QLineEdit(group), "EInFileNumber");
  EInFileNumber->setFrame(false);
  EInFileNumber->setGeometry(8, 44, 48, 17);
  EInFileNumber->setAlignment(Qt::AlignRight);
  MakeLabel(group, "of", 60, 44, 16);
  LFileNumber = Named(MakeLabel(group, "", 78, 44, 60), "LFileNumber",
                      "total number of images in Source Folder (use Page Up and Page Down to go "
                      "through images)");
  MakeLabel(group, "Size:", 8, 62, 28);
  LOriginalSize = Named(MakeLabel(group, "", 36, 62, 62), "LOriginalSize",
                        "Dimension of the original source file");
  LOriginalFileSize = Named(MakeLabel(group, "", 100, 62, 88), "LOriginalFileSize",
                            "Size of the original file on disk, and the compression factor in "
                            "brackets");
  LOriginalFileSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  MakeLabel(group, "Selection:", 8, 79, 56);
  LSelection = Named(MakeLabel(group, "", 64, 79, 126), "LSelection",
                     "The currently selected region. The destination file will be cropped to the "
                     "selected region");
  BoldCaption(group);
  return group;
}

QGroupBox* TForm1::CreateOutputGroup(QWidget* parent) {
  auto* group = Named(new QGroupBox(QStringLiteral("Destination File"), parent), "GBOutputFile");
  // Designed for the tallest state (Fit with a padded border); the first show measures the
  // margins from these sizes and the rule controls shrink the groups to the state in effect.
  group->resize(192, 324);
  EOutFilename = Named(new QLineEdit(group), "EOutFilename");
  EOutFilename->setGeometry(8, 20, 140, 21);
  LExtOut = Named(MakeLabel(group, ".jpg", 151, 22, 26), "LExtOut");
  LFileExists = Named(MakeLabel(group, "", 178, 22, 12), "LFileExists",
                      "The X means that the file already exists on disk");
  MakeLabel(group, "Size:", 8, 43, 28);
  LNewDimension = Named(MakeLabel(group, "", 36, 43, 62), "LNewDimension",
                        "Dimension of the destination file when it is saved");
  LImageFileSize = Named(MakeLabel(group, "", 100, 43, 88), "LImageFileSize",
                         "File size of the destination file when saved, and the compression "
                         "factor (only available in preview mode)");
  LImageFileSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  GBResize = CreateResizeGroup(group);

  // Anchored to the group's bottom edge (kept there by eventFilter on every resize).
  // The format choice takes the place of the word "JPEG": the row reads "JPEG Quality", "WebP
  // Quality", ... so that the group keeps its size.
  CBFormat = Named(new QComboBox(group), "CBFormat",
                   "Format of the destination file: JPEG, WebP or AVIF at the quality, PNG "
                   "lossless");
  CBFormat->addItems({QStringLiteral("JPEG"), QStringLiteral("WebP"), QStringLiteral("AVIF"),
                      QStringLiteral("PNG")});
  CBFormat->setGeometry(8, 324 - 63, 64, 21);
  LQuality = Named(MakeLabel(group, "Quality", 76, 324 - 60, 64), "LQuality",
                   "Quality of a JPEG, WebP or AVIF destination file (100: best)");
  UDQuality = MakeSpin(group, "UDQuality", "EQuality", "JpegQuality");
  UDQuality->setGeometry(142, 324 - 63, 46, 21);
  CBForceRecompress =
      Named(new QCheckBox(QStringLiteral("Force Recompress"), group), "CBForceRecompress",
            "If checked, an image will always be recompressed, even if it is not resized");
  CBForceRecompress->setGeometry(8, 324 - 40, 176, 17);
  CBExcludeOutputFile =
      Named(new QCheckBox(QStringLiteral("Exclude for Save All"), group), "CBExcludeOutputFile",
            "If checked, then this file is not saved in batch mode (with Outputfile,Save All) "
            "[Ctrl-E]");
  CBExcludeOutputFile->setGeometry(8, 324 - 22, 176, 17);
  for (QWidget* w : {static_cast<QWidget*>(CBFormat), static_cast<QWidget*>(LQuality),
                     static_cast<QWidget*>(UDQuality), static_cast<QWidget*>(CBForceRecompress),
                     static_cast<QWidget*>(CBExcludeOutputFile)})
    w->setProperty("picaxoBottomGap", 324 - w->y());
  group->installEventFilter(this);
  BoldCaption(group);
  LFileExists->setFont([&] {
    QFont f = LFileExists->font();
    f.setBold(true);
    return f;
  }());
  return group;
}

QGroupBox* TForm1::CreateResizeGroup(QWidget* parent) {
  auto* group = Named(new QGroupBox(parent), "GBResize");
  group->setGeometry(4, 59, 184, 201);

  CBResize = Named(new QCheckBox(QStringLiteral("Resize"), group), "CBResize");
  CBResize->setGeometry(8, 8, 70, 17);
  CBAllowEnlarge = Named(new QCheckBox(QStringLiteral("Allow Enlarge"), group), "CBAllowEnlarge");
  CBAllowEnlarge->setGeometry(80, 8, 102, 17);

  ruleGroup_ = new QButtonGroup(group);
  auto rule = [&](const char* name, const char* text, int x, int y, const char* hint = nullptr) {
    auto* b = Named(new QRadioButton(QString::fromUtf8(text), group), name, hint);
    b->setGeometry(x, y, 86, 17);
    ruleGroup_->addButton(b);
    return b;
  };
  RBFixedLonger = rule("RBFixedLonger", "Longer Side", 8, 27);
  RBFixedArea = rule("RBFixedArea", "Fixed Area", 94, 27,
                     "The image will be resized so that it has an area of approximately the "
                     "squared value you specify");
  RBPercent = rule("RBPercent", "Percent", 8, 44);
  RBFixedFit = rule("RBFixedFit", "Fit", 94, 44);

  // The value inputs share one place: only the selected rule's inputs are shown.
  UDLongerSide = MakeSpin(group, "UDLongerSide", "ELongerSide", "LongerPixels");
  UDFixedArea = MakeSpin(group, "UDFixedArea", "EFixedArea", "AreaPixels");
  UDPercent = MakeSpin(group, "UDPercent", "EPercent", "Percent");
  for (QSpinBox* s : {UDLongerSide, UDFixedArea, UDPercent})
    s->setGeometry(24, 61, 72, 20);
  EFitWidth = Named(new QLineEdit(group), "EFitWidth");
  EFitWidth->setGeometry(24, 61, 56, 20);
  LFitWidthX = Named(MakeLabel(group, "x", 84, 62, 10), "LFitWidthX");
  EFitHeight = Named(new QLineEdit(group), "EFitHeight");
  EFitHeight->setGeometry(96, 61, 56, 20);

  PaddedFitPanel = Named(new QWidget(group), "PaddedFitPanel");
  PaddedFitPanel->setGeometry(2, 81, 180, 99);
  CBPaddedFit =
      Named(new QCheckBox(QStringLiteral("Padded border"), PaddedFitPanel), "CBPaddedFit");
  CBPaddedFit->setGeometry(6, 0, 120, 17);
  alignGroup_ = new QButtonGroup(PaddedFitPanel);
  static const char* const kAlignNames[9] = {
      "RBAlignLeftTop",    "RBAlignCenterTop",    "RBAlignRightTop",
      "RBAlignLeftCenter", "RBAlignCenter",       "RBAlignRightCenter",
      "RBAlignLeftBottom", "RBAlignCenterBottom", "RBAlignRightBottom"};
  for (int i = 0; i < 9; ++i) {
    auto* b = Named(new QRadioButton(PaddedFitPanel), kAlignNames[i]);
    b->setGeometry(22 + (i % 3) * 24, 22 + (i / 3) * 29, 17, 17);
    alignGroup_->addButton(b, i + 1);
    alignButtons_[i] = b;
  }
  PaddedFitColorPanel = Named(new QFrame(PaddedFitPanel), "PaddedFitColorPanel");
  PaddedFitColorPanel->setFrameShape(QFrame::Box);
  PaddedFitColorPanel->setGeometry(110, 26, 56, 66);
  PaddedFitColorPanel->setAutoFillBackground(true);
  PaddedFitColorPanel->setCursor(Qt::PointingHandCursor);
  PaddedFitColorPanel->installEventFilter(this);
  return group;
}

QWidget* TForm1::CreateMainPanel() {
  MainPanel = Named(new QWidget(this), "MainPanel");
  auto* column = new QVBoxLayout(MainPanel);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  TabControl = Named(new QTabBar(MainPanel), "TabControl");
  TabControl->addTab(QStringLiteral("Simple Resize"));
  TabControl->addTab(QStringLiteral("Batch Resize"));
  TabControl->setFocusPolicy(Qt::NoFocus);
  TabControl->setExpanding(false);
  column->addWidget(TabControl);

  Splitter1 = Named(new QSplitter(Qt::Horizontal, MainPanel), "Splitter1");
  Splitter1->setChildrenCollapsible(false);
  // The job list of the Batch Resize view.
  PanelJobs = Named(new QWidget(Splitter1), "PanelJobs");
  auto* jobs = new QVBoxLayout(PanelJobs);
  jobs->setContentsMargins(0, 0, 0, 0);
  // LVJobs: CreateJobList. The panel starts present: the settings load then shows or hides the
  // view as the stored (or, at the first start, the default) choice says.
  ImgViewBox1 = Named(new TImgViewBox(Splitter1), "ImgViewBox1");
  Splitter1->addWidget(PanelJobs);
  Splitter1->addWidget(ImgViewBox1);
  Splitter1->setStretchFactor(1, 1);
  column->addWidget(Splitter1, 1);
  return MainPanel;
}

void TForm1::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  static const int kStretch[3] = {2, 1, 1};  // 400, 200 and 200 of the designed 800
  for (int i = 0; i < 3; ++i) {
    auto* panel = new TStatusPanel(bar);
    panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMinimumHeight(17);
    bar->addWidget(panel, kStretch[i]);
    statusPanels_[i] = panel;
  }
  bar->installEventFilter(this);
}

}  // namespace picaxo
