#include "ui/settings_binding.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QWidget>
#include <algorithm>
#include <functional>

#include "ui/recent_menu.h"
#include "ui/window_placement.h"

namespace picaxo {

namespace {

// The checkable menu items that hold a setting each.
struct TMenuCheck {
  const char* Name;
  bool TPicaxoSettings::*Field;
};
constexpr TMenuCheck kMenuChecks[] = {
    {"Recursiveinputdirs1", &TPicaxoSettings::RecursiveInput},
    {"UseLosslessJPEGrotateofinputfile1", &TPicaxoSettings::LosslessRotate},
    {"MAutoOrient", &TPicaxoSettings::AutoOrient},
};

template <typename T>
T* Find(const QWidget& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}

QHeaderView* ColumnHeader(const QWidget& window) {
  if (auto* table = Find<QTableView>(window, "LVJobs")) return table->horizontalHeader();
  if (auto* tree = Find<QTreeView>(window, "LVJobs")) return tree->header();
  return nullptr;
}

// Sets the window's filling-controls flag for a scope.
class TFillingControls {
 public:
  explicit TFillingControls(const std::function<void(bool)>& set) : set_(set) { set_(true); }
  ~TFillingControls() { set_(false); }
  TFillingControls(const TFillingControls&) = delete;
  TFillingControls& operator=(const TFillingControls&) = delete;

 private:
  std::function<void(bool)> set_;
};

}  // namespace

TSettingsBinding::TSettingsBinding(QWidget& window) : window_(window) {}

TRect TSettingsBinding::WorkArea() const {
  return WorkAreaOf(window_);
}

TPicaxoSettings TSettingsBinding::FromWindow() const {
  TPicaxoSettings s;
  s.MainWindow = FormGeometryOf(window_);
  if (const auto* edit = Find<QLineEdit>(window_, "EInputDir"))
    s.InputDir = PathFromText(edit->text());
  if (const auto* edit = Find<QLineEdit>(window_, "EOutputDir"))
    s.OutputDir = PathFromText(edit->text());
  if (const auto* zoom = Find<QComboBox>(window_, "CBZoom"); zoom && zoom->currentIndex() >= 0)
    s.Zoom = zoom->currentIndex();
  s.Resize = ResizeSettings();
  s.NormalZoom = PreviewMode() ? NormalZoom() : s.Zoom;
  s.ViewAllowEnlargeInAutoMode = ViewAllowEnlargeInAutoMode();
  for (const TMenuCheck& control : kMenuChecks) {
    if (const auto* action = Find<QAction>(window_, control.Name))
      s.*control.Field = action->isChecked();
  }
  s.CopyToDir = CopyToDir();
  if (const auto* panel = Find<QWidget>(window_, "PanelJobs"))
    s.ShowJobsList = panel->isVisibleTo(&window_);
  s.JobsListWidth = JobsListWidth();
  const QHeaderView* header = ColumnHeader(window_);
  for (size_t i = 0; i < s.JobsListColWidths.size(); ++i) {
    const int column = static_cast<int>(i);
    s.JobsListColWidths[i] =
        header && header->count() > column ? header->sectionSize(column) : columnWidths_[i];
  }
  const TStoredBatchFlags flags = BatchFlags();
  s.BatchJobOverwriteAll = flags.OverwriteAll;
  s.BatchJobOverwriteNone = flags.OverwriteNone;
  s.BatchJobCreateAllDirs = flags.CreateAllDirs;
  s.BatchWorkers = BatchWorkers();
  return s;
}

void TSettingsBinding::ToWindow(const TPicaxoSettings& s, bool applyPlacement) {
  TFillingControls filling([this](bool on) { SetFillingControls(on); });

  if (applyPlacement) ApplyFormGeometry(window_, s.MainWindow);
  ShowFolders(s.InputDir, s.OutputDir);
  SelectZoomIndex(s.Zoom);
  ShowResizeSettings(s.Resize);
  SetNormalZoom(s.NormalZoom);
  SetViewAllowEnlargeInAutoMode(s.ViewAllowEnlargeInAutoMode);
  for (const TMenuCheck& control : kMenuChecks) {
    if (auto* action = Find<QAction>(window_, control.Name)) action->setChecked(s.*control.Field);
  }
  SetCopyToDir(s.CopyToDir);
  SetJobsListWidth(s.JobsListWidth);
  SetJobsListVisible(s.ShowJobsList);
  QHeaderView* header = ColumnHeader(window_);
  for (size_t i = 0; i < s.JobsListColWidths.size(); ++i) {
    columnWidths_[i] = s.JobsListColWidths[i];
    const int column = static_cast<int>(i);
    if (header && header->count() > column) header->resizeSection(column, columnWidths_[i]);
  }
  SetBatchFlags({s.BatchJobOverwriteAll, s.BatchJobOverwriteNone, s.BatchJobCreateAllDirs});
  SetBatchWorkers(s.BatchWorkers);
}

void TSettingsBinding::LoadRegistrySettings() {
  TPicaxoSettings settings = FromWindow();
  picaxo::LoadRegistrySettings(settings, WorkArea());
  ToWindow(settings);
}

void TSettingsBinding::SaveRegistrySettings() {
  const TPicaxoSettings settings = FromWindow();
  SetNormalZoom(settings.NormalZoom);
  picaxo::SaveRegistrySettings(settings, WorkArea());
}

void TSettingsBinding::LoadSettingsFile(const std::string& path) {
  TPicaxoSettings settings = FromWindow();
  const TFormGeometry before = settings.MainWindow;
  picaxo::LoadSettingsFile(path, settings, WorkArea());
  // A file without placement keys leaves the window exactly where it is.
  ToWindow(settings, !(settings.MainWindow == before));
}

void TSettingsBinding::SaveSettingsFile(const std::string& path) {
  const TPicaxoSettings settings = FromWindow();
  SetNormalZoom(settings.NormalZoom);
  picaxo::SaveSettingsFile(path, settings, WorkArea());
}

void TSettingsBinding::ShowFolders(const std::string& input, const std::string& output) {
  if (auto* edit = Find<QLineEdit>(window_, "EInputDir")) edit->setText(TextFromPath(input));
  if (auto* edit = Find<QLineEdit>(window_, "EOutputDir")) edit->setText(TextFromPath(output));
}

int32_t TSettingsBinding::JobsListWidth() const {
  // Before the window is laid out, and while the list is hidden, the panel's width means nothing.
  const auto* panel = Find<QWidget>(window_, "PanelJobs");
  return panel && panel->isVisible() ? panel->width() : jobsListWidth_;
}

void TSettingsBinding::SetJobsListWidth(int32_t width) {
  jobsListWidth_ = width;
  auto* panel = Find<QWidget>(window_, "PanelJobs");
  if (!panel) return;
  auto* splitter = qobject_cast<QSplitter*>(panel->parentWidget());
  if (!splitter) {
    panel->resize(width, panel->height());
    return;
  }
  // In a splitter the panel's width is its share; the widest neighbour gives or takes the rest.
  QList<int> sizes = splitter->sizes();
  const int index = splitter->indexOf(panel);
  int total = 0;
  for (int size : sizes)
    total += size;
  if (total <= 0) total = splitter->width();
  int widest = -1;
  for (int i = 0; i < sizes.size(); ++i) {
    if (i != index && (widest < 0 || sizes[i] > sizes[widest])) widest = i;
  }
  sizes[index] = width;
  if (widest >= 0) sizes[widest] = std::max(total - width, 1);
  splitter->setSizes(sizes);
}

}  // namespace picaxo
