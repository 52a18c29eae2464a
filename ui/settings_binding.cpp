#include "ui/settings_binding.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

#include "ui/recent_menu.h"
#include "ui/window_placement.h"

namespace picaxo {

namespace {

#define PICAXO_MEMBER(record, member) \
  [](record & s) -> auto& {           \
    return s.member;                  \
  }

// Controls that hold one value each. The folders, the zoom and the destination settings have
// functions of their own below (the window keeps the latter outside its controls).
struct TMenuCheck {
  const char* Name;
  bool& (*Field)(TPicaxoSettings&);
};
constexpr TMenuCheck kMenuChecks[] = {
    {"Recursiveinputdirs1", PICAXO_MEMBER(TPicaxoSettings, RecursiveInput)},
    {"UseLosslessJPEGrotateofinputfile1", PICAXO_MEMBER(TPicaxoSettings, LosslessRotate)},
};

// Spin-controlled numbers: the up-down control, or the edit when the edit is the spin box.
struct TSpinControl {
  const char* Name;
  const char* EditName;
  int16_t& (*Field)(TResizeSettings&);
};
constexpr TSpinControl kSpinControls[] = {
    {"UDQuality", "EQuality", PICAXO_MEMBER(TResizeSettings, JpegQuality)},
    {"UDLongerSide", "ELongerSide", PICAXO_MEMBER(TResizeSettings, LongerPixels)},
    {"UDFixedArea", "EFixedArea", PICAXO_MEMBER(TResizeSettings, AreaPixels)},
    {"UDPercent", "EPercent", PICAXO_MEMBER(TResizeSettings, Percent)},
};

struct TCheckControl {
  const char* Name;
  bool& (*Field)(TResizeSettings&);
};
constexpr TCheckControl kCheckBoxes[] = {
    {"CBResize", PICAXO_MEMBER(TResizeSettings, ResizeEnabled)},
    {"CBPaddedFit", PICAXO_MEMBER(TResizeSettings, PaddedFitEnabled)},
    {"CBAllowEnlarge", PICAXO_MEMBER(TResizeSettings, AllowEnlarge)},
    {"CBForceRecompress", PICAXO_MEMBER(TResizeSettings, AlwaysRecompress)},
};

// The four rule buttons, one radio group; the settings may have none chosen.
constexpr TCheckControl kRuleButtons[] = {
    {"RBFixedLonger", PICAXO_MEMBER(TResizeSettings, FixedLongerEnabled)},
    {"RBFixedArea", PICAXO_MEMBER(TResizeSettings, FixedAreaEnabled)},
    {"RBPercent", PICAXO_MEMBER(TResizeSettings, PercentEnabled)},
    {"RBFixedFit", PICAXO_MEMBER(TResizeSettings, FixedFitEnabled)},
};

#undef PICAXO_MEMBER

// The alignment buttons in the order of their numbers 1 ... 9.
constexpr const char* kAlignmentButtons[] = {
    "RBAlignLeftTop",    "RBAlignCenterTop",    "RBAlignRightTop",
    "RBAlignLeftCenter", "RBAlignCenter",       "RBAlignRightCenter",
    "RBAlignLeftBottom", "RBAlignCenterBottom", "RBAlignRightBottom",
};
constexpr uint8_t kNoAlignmentChosen = 5;

template <typename T>
T* Find(const QWidget& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}

QSpinBox* FindSpin(const QWidget& window, const TSpinControl& control) {
  QSpinBox* spin = Find<QSpinBox>(window, control.Name);
  return spin ? spin : Find<QSpinBox>(window, control.EditName);
}

QHeaderView* ColumnHeader(const QWidget& window) {
  if (auto* table = Find<QTableView>(window, "LVJobs")) return table->horizontalHeader();
  if (auto* tree = Find<QTreeView>(window, "LVJobs")) return tree->header();
  return nullptr;
}

// Checks the button of a radio group, or none: Qt refuses to clear the last checked button of
// an exclusive group, so exclusivity is lifted for the change.
void ChooseRadioButton(const std::vector<QAbstractButton*>& buttons, QAbstractButton* chosen) {
  for (QAbstractButton* button : buttons) {
    QButtonGroup* group = button->group();
    const bool groupExclusive = group && group->exclusive();
    const bool autoExclusive = button->autoExclusive();
    if (groupExclusive) group->setExclusive(false);
    button->setAutoExclusive(false);
    button->setChecked(button == chosen);
    button->setAutoExclusive(autoExclusive);
    if (groupExclusive) group->setExclusive(true);
  }
}

int32_t FitValue(const QWidget& window, const char* name, int32_t fallback) {
  const QLineEdit* edit = Find<QLineEdit>(window, name);
  bool ok = false;
  const qlonglong value = edit ? edit->text().trimmed().toLongLong(&ok) : 0;
  return ok && value > 0 && value <= std::numeric_limits<int32_t>::max()
             ? static_cast<int32_t>(value)
             : fallback;
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
      control.Field(s) = action->isChecked();
  }
  s.CopyToDir = CopyToDir();
  if (const auto* panel = Find<QWidget>(window_, "PanelJobs")) s.ShowJobsList = !panel->isHidden();
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
  return s;
}

void TSettingsBinding::ToWindow(const TPicaxoSettings& settings) {
  TFillingControls filling([this](bool on) { SetFillingControls(on); });
  TPicaxoSettings s = settings;  // the tables reach members through a mutable record

  ApplyFormGeometry(window_, s.MainWindow);
  ShowFolders(s.InputDir, s.OutputDir);
  SelectZoomIndex(s.Zoom);
  ShowResizeSettings(s.Resize);
  SetNormalZoom(s.NormalZoom);
  SetViewAllowEnlargeInAutoMode(s.ViewAllowEnlargeInAutoMode);
  for (const TMenuCheck& control : kMenuChecks) {
    if (auto* action = Find<QAction>(window_, control.Name)) action->setChecked(control.Field(s));
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
  picaxo::LoadSettingsFile(path, settings, WorkArea());
  ToWindow(settings);
}

void TSettingsBinding::SaveSettingsFile(const std::string& path) {
  const TPicaxoSettings settings = FromWindow();
  SetNormalZoom(settings.NormalZoom);
  picaxo::SaveSettingsFile(path, settings, WorkArea());
}

void TSettingsBinding::SetFillingControls(bool) {}

void TSettingsBinding::ShowFolders(const std::string& input, const std::string& output) {
  if (auto* edit = Find<QLineEdit>(window_, "EInputDir")) edit->setText(TextFromPath(input));
  if (auto* edit = Find<QLineEdit>(window_, "EOutputDir")) edit->setText(TextFromPath(output));
}

TResizeSettings TSettingsBinding::ResizeSettings() const {
  TResizeSettings s;
  for (const TSpinControl& control : kSpinControls) {
    if (const QSpinBox* spin = FindSpin(window_, control))
      control.Field(s) = static_cast<int16_t>(spin->value());
  }
  for (const TCheckControl& control : kCheckBoxes) {
    if (const auto* box = Find<QAbstractButton>(window_, control.Name))
      control.Field(s) = box->isChecked();
  }
  for (const TCheckControl& control : kRuleButtons) {
    if (const auto* button = Find<QAbstractButton>(window_, control.Name))
      control.Field(s) = button->isChecked();
  }
  s.FixedFitWidth = FitValue(window_, "EFitWidth", s.FixedFitWidth);
  s.FixedFitHeight = FitValue(window_, "EFitHeight", s.FixedFitHeight);
  s.PaddedAlignment = kNoAlignmentChosen;
  for (size_t i = 0; i < std::size(kAlignmentButtons); ++i) {
    const auto* button = Find<QAbstractButton>(window_, kAlignmentButtons[i]);
    if (button && button->isChecked()) {
      s.PaddedAlignment = static_cast<uint8_t>(i + 1);
      break;
    }
  }
  if (const auto* panel = Find<QWidget>(window_, "PaddedFitColorPanel")) {
    const QColor color = panel->palette().color(QPalette::Window);
    s.PaddingColor = static_cast<uint32_t>(color.red()) |
                     static_cast<uint32_t>(color.green()) << 8 |
                     static_cast<uint32_t>(color.blue()) << 16;
  }
  return s;
}

void TSettingsBinding::ShowResizeSettings(const TResizeSettings& settings) {
  TResizeSettings s = settings;  // the tables reach members through a mutable record
  for (const TSpinControl& control : kSpinControls) {
    if (QSpinBox* spin = FindSpin(window_, control)) spin->setValue(control.Field(s));
  }
  for (const TCheckControl& control : kCheckBoxes) {
    if (auto* box = Find<QAbstractButton>(window_, control.Name)) box->setChecked(control.Field(s));
  }
  std::vector<QAbstractButton*> rules;
  QAbstractButton* chosenRule = nullptr;
  for (const TCheckControl& control : kRuleButtons) {
    if (auto* button = Find<QAbstractButton>(window_, control.Name)) {
      rules.push_back(button);
      if (control.Field(s) && !chosenRule) chosenRule = button;
    }
  }
  ChooseRadioButton(rules, chosenRule);
  // Written as text, as a user would type it: the edits' change handling updates the Fit fields.
  if (auto* edit = Find<QLineEdit>(window_, "EFitWidth"))
    edit->setText(QString::number(s.FixedFitWidth));
  if (auto* edit = Find<QLineEdit>(window_, "EFitHeight"))
    edit->setText(QString::number(s.FixedFitHeight));
  const uint8_t alignment = s.PaddedAlignment;
  if (alignment >= 1 && alignment <= std::size(kAlignmentButtons)) {
    if (auto* button = Find<QAbstractButton>(window_, kAlignmentButtons[alignment - 1]))
      button->setChecked(true);
  }
  if (auto* panel = Find<QWidget>(window_, "PaddedFitColorPanel")) {
    const uint32_t color = s.PaddingColor;
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window,
                     QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF)));
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
  }
  // The menu item mirrors its check box.
  if (auto* action = Find<QAction>(window_, "MForceRecompress"))
    action->setChecked(s.AlwaysRecompress);
}

void TSettingsBinding::SelectZoomIndex(int index) {
  if (auto* zoom = Find<QComboBox>(window_, "CBZoom")) zoom->setCurrentIndex(index);
}

void TSettingsBinding::SetJobsListVisible(bool visible) {
  if (auto* panel = Find<QWidget>(window_, "PanelJobs")) panel->setVisible(visible);
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
