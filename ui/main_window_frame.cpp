// The main window's frame: start-up and shut-down, the status bar, zoom selection, full-screen
// mode, wheel forwarding, the anchoring of the left panel's bottom controls, and the Help items.
#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "jobs/drop.h"
#include "ui/go_to_web.h"
#include "ui/img_view_box.h"
#include "ui/kelvo_util.h"
#include "ui/keyboard_hook.h"
#include "ui/main_window.h"
#include "ui/recent_menu.h"
#include "ui/status_panel.h"

namespace picaxo {

extern const char* const kProgramHomepage;

namespace {

// CBZoom's entries in order, and the view zoom each stands for.
constexpr TImgViewBoxZoom kZoomOfEntry[6] = {ivzAuto, ivz41, ivz21, ivz11, ivz12, ivz14};

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers) {
  TShiftState state = 0;
  if (modifiers & Qt::ShiftModifier) state |= ssShift;
  if (modifiers & Qt::AltModifier) state |= ssAlt;
  if (modifiers & Qt::ControlModifier) state |= ssCtrl;
  return state;
}

}  // namespace

void TForm1::SetStatusText(const std::string& text, bool repaintNow) {
  statusBar()->clearMessage();  // leave the hint mode
  statusPanels_[0]->SetFullText(QString::fromStdString(text));
  if (repaintNow) statusPanels_[0]->repaint();
}

std::string TForm1::StatusText() const {
  return statusPanels_[0]->FullText().toStdString();
}

void TForm1::UpdateStatusPanelWidths() {
  // Half and two quarters of the bar. Maximum widths (not fixed ones) so that the bar never keeps
  // the window from being made narrower; the stretch factors share out what is there.
  const int width = statusBar()->width();
  statusPanels_[0]->setMaximumWidth(std::max(1, width / 2));
  statusPanels_[1]->setMaximumWidth(std::max(1, width / 4));
  statusPanels_[2]->setMaximumWidth(std::max(1, width / 4));
}

void TForm1::SelectZoomIndex(int index) {
  if (const std::optional<TZoom> zoom = ZoomOfNumber(index)) state_->SelectZoom(*zoom);
  ShowZoom();
}

void TForm1::ShowZoom() {
  const int index = NumberOfZoom(state_->Zoom());
  if (CBZoom->currentIndex() != index) CBZoom->setCurrentIndex(index);
  zoomItems_[index]->setChecked(true);
  ImgViewBox1->SetZoom(kZoomOfEntry[index]);
}

void TForm1::wheelEvent(QWheelEvent* event) {
  ForwardWheel(this, event);
}

void TForm1::ForwardWheel(QObject* sender, QWheelEvent* event) {
  bool handled = false;
  ImgViewBox1->WheelScroll(sender, ShiftStateOf(event->modifiers()), event->angleDelta().y(),
                           event->globalPosition().toPoint(), handled);
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == GBOutputFile && event->type() == QEvent::Resize) {
    // The quality field and the two check boxes stay anchored to the group's bottom edge.
    for (QWidget* w : GBOutputFile->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QVariant gap = w->property("picaxoBottomGap");
      if (gap.isValid()) w->move(w->x(), GBOutputFile->height() - gap.toInt());
    }
  } else if (watched == statusBar() && event->type() == QEvent::Resize) {
    UpdateStatusPanelWidths();
  } else if (watched == PaddedFitColorPanel && event->type() == QEvent::MouseButtonRelease &&
             PaddedFitColorPanel->isEnabled()) {
    ChoosePaddingColor();
    return true;
  } else if (watched == FullScreenWindow) {
    if (event->type() == QEvent::Wheel) {
      ForwardWheel(watched, static_cast<QWheelEvent*>(event));
      return true;
    }
    if (event->type() == QEvent::Close) FullScreenClosed(static_cast<QWidget*>(watched));
  } else if (event->type() == QEvent::FocusOut) {
    // Leaving a field means the focus went to another control of the window; a window losing
    // the activation, a menu or a popup opening leave the field where it is.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::MenuBarFocusReason)
      CommitField(static_cast<QWidget*>(watched), TFieldEvent::Leave);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  MeasureGroupMargins();
  // Before the window appears, so that its restored place shows no jump.
  settings_->LoadRegistrySettings();
  KeyHook->Register();
  // The rest of the start-up runs once the window is on screen.
  QTimer::singleShot(0, this, [this] { DeferredStartUp(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  LeaveFullScreen();
  KeyHook->Unregister();
  SaveSettingsAtClose();
  QMainWindow::closeEvent(event);
}

void TForm1::MeasureGroupMargins() {
  GroupMarginResize = GBResize->height() - PaddedFitPanel->y() - PaddedFitPanel->height();
  GroupMarginOutput = GBOutputFile->height() - GBResize->y() - GBResize->height();
}

// --- Drag and drop ---

namespace {

std::vector<std::string> LocalPathsOf(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(PathFromText(url.toLocalFile()));
  }
  return paths;
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (DropTargetOf(LocalPathsOf(event->mimeData())))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TForm1::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalPathsOf(event->mimeData());
  if (!DropTargetOf(paths)) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  activateWindow();
  RunCommand("open the dropped files", [this, &paths] { state_->OpenDropped(paths); });
  EInputDir->setText(TextFromPath(state_->SourceFolderField()));
  EInputDir->setCursorPosition(0);
}

// --- Full-screen mode ---

void TForm1::FullScreenToggle() {
  if (FullScreenWindow) {
    LeaveFullScreen();
    return;
  }
  auto* window = new QWidget(this, Qt::Window | Qt::FramelessWindowHint);
  window->setObjectName(QStringLiteral("FullScreenWindow"));
  window->setWindowTitle(windowTitle());
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ImgViewBox1);
  // The menu shortcuts work there too (Ctrl+F leaves, Ctrl+S saves, ...).
  for (QAction* action : findChildren<QAction*>())
    if (!action->shortcuts().isEmpty()) window->addAction(action);
  window->installEventFilter(this);
  FullScreenWindow = window;
  if (QScreen* screen = this->screen()) window->setGeometry(screen->geometry());
  window->showFullScreen();
  window->activateWindow();
  ImgViewBox1->show();
}

void TForm1::LeaveFullScreen() {
  if (!FullScreenWindow) return;
  QWidget* window = FullScreenWindow;
  FullScreenWindow = nullptr;
  window->close();
  // A window that refused to close still gives the view back.
  if (ImgViewBox1->window() == window) FullScreenClosed(window);
}

void TForm1::FullScreenClosed(QWidget* window) {
  if (ImgViewBox1->window() == window) {
    Splitter1->insertWidget(1, ImgViewBox1);
    ImgViewBox1->show();
  }
  window->removeEventFilter(this);
  window->deleteLater();
  if (FullScreenWindow == window) FullScreenWindow = nullptr;
  activateWindow();
  // The keys go on working on the images, not in the first edit of the window.
  ImgViewBox1->setFocus(Qt::OtherFocusReason);
}

// --- Help ---

void TForm1::OpenHomepage() {
  TGoToWeb web;
  web.Url = QString::fromLatin1(kProgramHomepage);
  if (!web.Go()) Inform(TPromptKind::Error, BrowserFailureMessage(web.Url).toStdString());
}

void TForm1::OpenReadme() {
  std::string folder =
      QFileInfo(QString::fromStdString(GetProgramPath())).absolutePath().toStdString();
  if (folder.empty() || folder.back() != '/') folder += '/';
  const QString path = QString::fromStdString(folder + "Readme.txt");
  // The desktop's opener reports success for a file it then fails to show; a missing file is the
  // failure it cannot see.
  if (!QFileInfo::exists(path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    Inform(TPromptKind::Plain, "Error showing Readme.txt.");
}

void TForm1::ShowAbout() {
  Inform(TPromptKind::Plain,
         "Picaxo v" + GetProgramVersion() + "\nPrepares JPEG and BMP photographs for publication.");
}

}  // namespace picaxo
