#include "ui/settings_binding.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

#include "ui/recent_menu.h"
#include "ui/window_placement.h"

namespace picaxo {

namespace {

#define PICAXO_MEMBER(member)        \
  [](TPicaxoSettings & s) -> auto& { \
    return s.member;                 \
  }

// Controls that hold one value of the record each. Loading applies the groups in this order
// (folders, zoom, numbers, check boxes, rules, Fit, alignment, ...); the filling-controls flag is
// set meanwhile, so the order shows only in handlers that react regardless of it.
struct TTextControl {
  const char* Name;
  std::string& (*Field)(TPicaxoSettings&);
};
constexpr TTextControl kTextControls[] = {
    {"EInputDir", PICAXO_MEMBER(InputDir)},
    {"EOutputDir", PICAXO_MEMBER(OutputDir)},
};

// Spin-controlled numbers: the up-down control, or the edit when the edit is the spin box.
struct TSpinControl {
  const char* Name;
  const char* EditName;
  int16_t& (*Field)(TPicaxoSettings&);
};
constexpr TSpinControl kSpinControls[] = {
    {"UDQuality", "EQuality", PICAXO_MEMBER(Resize.JpegQuality)},
    {"UDLongerSide", "ELongerSide", PICAXO_MEMBER(Resize.LongerPixels)},
    {"UDFixedArea", "EFixedArea", PICAXO_MEMBER(Resize.AreaPixels)},
    {"UDPercent", "EPercent", PICAXO_MEMBER(Resize.Percent)},
};

// Check boxes and checkable menu items.
struct TCheckControl {
  const char* Name;
  bool& (*Field)(TPicaxoSettings&);
};
constexpr TCheckControl kCheckBoxes[] = {
    {"CBResize", PICAXO_MEMBER(Resize.ResizeEnabled)},
    {"CBPaddedFit", PICAXO_MEMBER(Resize.PaddedFitEnabled)},
    {"CBAllowEnlarge", PICAXO_MEMBER(Resize.AllowEnlarge)},
    {"CBForceRecompress", PICAXO_MEMBER(Resize.AlwaysRecompress)},
};
constexpr TCheckControl kMenuChecks[] = {
    {"Recursiveinputdirs1", PICAXO_MEMBER(RecursiveInput)},
    {"UseLosslessJPEGrotateofinputfile1", PICAXO_MEMBER(LosslessRotate)},
};

// The four rule buttons, one radio group; the record may have none chosen.
constexpr TCheckControl kRuleButtons[] = {
    {"RBFixedLonger", PICAXO_MEMBER(Resize.FixedLongerEnabled)},
    {"RBFixedArea", PICAXO_MEMBER(Resize.FixedAreaEnabled)},
    {"RBPercent", PICAXO_MEMBER(Resize.PercentEnabled)},
    {"RBFixedFit", PICAXO_MEMBER(Resize.FixedFitEnabled)},
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
  for (const TTextControl& control : kTextControls) {
    if (const auto* edit = Find<QLineEdit>(window_, control.Name))
      control.Field(s) = PathFromText(edit->text());
  }
  if (const auto* zoom = Find<QComboBox>(window_, "CBZoom"); zoom && zoom->currentIndex() >= 0)
    s.Zoom = zoom->currentIndex();
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
  s.Resize.FixedFitWidth = FitWidth();
  s.Resize.FixedFitHeight = FitHeight();
  s.Resize.PaddedAlignment = kNoAlignmentChosen;
  for (size_t i = 0; i < std::size(kAlignmentButtons); ++i) {
    const auto* button = Find<QAbstractButton>(window_, kAlignmentButtons[i]);
    if (button && button->isChecked()) {
      s.Resize.PaddedAlignment = static_cast<uint8_t>(i + 1);
      break;
    }
  }
  s.Resize.PaddingColor = PaddingColor();
  s.NormalZoom = PreviewMode() ? NormalZoom() : s.Zoom;
  s.ViewAllowEnlargeInAutoMode = ViewAllowEnlargeInAutoMode();
  for (const TCheckControl& control : kMenuChecks) {
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
  for (const TTextControl& control : kTextControls) {
    if (auto* edit = Find<QLineEdit>(window_, control.Name))
      edit->setText(TextFromPath(control.Field(s)));
  }
  SelectZoomIndex(s.Zoom);
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
    edit->setText(QString::number(s.Resize.FixedFitWidth));
  if (auto* edit = Find<QLineEdit>(window_, "EFitHeight"))
    edit->setText(QString::number(s.Resize.FixedFitHeight));
  const uint8_t alignment = s.Resize.PaddedAlignment;
  if (alignment >= 1 && alignment <= std::size(kAlignmentButtons)) {
    if (auto* button = Find<QAbstractButton>(window_, kAlignmentButtons[alignment - 1]))
      button->setChecked(true);
  }
  SetPaddingColor(s.Resize.PaddingColor);
  SetNormalZoom(s.NormalZoom);
  SetViewAllowEnlargeInAutoMode(s.ViewAllowEnlargeInAutoMode);
  for (const TCheckControl& control : kMenuChecks) {
    if (auto* action = Find<QAction>(window_, control.Name)) action->setChecked(control.Field(s));
  }
  // The menu item mirrors its check box.
  if (auto* action = Find<QAction>(window_, "MForceRecompress"))
    action->setChecked(s.Resize.AlwaysRecompress);
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

void TSettingsBinding::SelectZoomIndex(int index) {
  if (auto* zoom = Find<QComboBox>(window_, "CBZoom")) zoom->setCurrentIndex(index);
}

int32_t TSettingsBinding::FitWidth() const {
  return FitValue(window_, "EFitWidth", TResizeSettings{}.FixedFitWidth);
}

int32_t TSettingsBinding::FitHeight() const {
  return FitValue(window_, "EFitHeight", TResizeSettings{}.FixedFitHeight);
}

uint32_t TSettingsBinding::PaddingColor() const {
  const auto* panel = Find<QWidget>(window_, "PaddedFitColorPanel");
  if (!panel) return TResizeSettings{}.PaddingColor;
  const QColor color = panel->palette().color(QPalette::Window);
  return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
         static_cast<uint32_t>(color.blue()) << 16;
}

void TSettingsBinding::SetPaddingColor(uint32_t color) {
  auto* panel = Find<QWidget>(window_, "PaddedFitColorPanel");
  if (!panel) return;
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window,
                   QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF)));
  panel->setPalette(palette);
  panel->setAutoFillBackground(true);
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
  if (auto* panel = Find<QWidget>(window_, "PanelJobs")) panel->resize(width, panel->height());
}

}  // namespace picaxo
