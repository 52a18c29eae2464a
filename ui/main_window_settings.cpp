#include "ui/main_window_settings.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSplitter>
#include <algorithm>

#include "settings/history_list.h"
#include "ui/img_view_box.h"
#include "ui/job_list.h"
#include "ui/main_window.h"
#include "ui/recent_menu.h"
#include "ui/settings_menu.h"
#include "ui/window_placement.h"

namespace picaxo {

TForm1Settings::TForm1Settings(TForm1& form) : TSettingsBinding(form.State()), form_(form) {}

TWindowLayout TForm1Settings::Layout() const {
  TWindowLayout layout;
  layout.Placement = FormGeometryOf(form_);
  // Before the start-up has given the list its width, the splitter's first share means nothing;
  // while the list is hidden the window keeps its width.
  layout.JobsListWidth = form_.jobsListSized_ && form_.PanelJobs->isVisibleTo(&form_)
                             ? form_.PanelJobs->width()
                             : form_.jobsListWidth_;
  const QHeaderView* header = form_.LVJobs->header();
  for (size_t i = 0; i < layout.JobsListColWidths.size(); ++i) {
    const int column = static_cast<int>(i);
    layout.JobsListColWidths[i] = header->count() > column ? header->sectionSize(column)
                                                           : AppliedLayout().JobsListColWidths[i];
  }
  return layout;
}

TRect TForm1Settings::WorkArea() const {
  return WorkAreaOf(form_);
}

void TForm1Settings::ShowPlacement(const TFormGeometry& geometry) {
  ApplyFormGeometry(form_, geometry);
}

void TForm1Settings::ShowFolders() {
  form_.EInputDir->setText(TextFromPath(State().SourceFolderField()));
  form_.EOutputDir->setText(TextFromPath(State().DestinationFolderField()));
}

void TForm1Settings::ShowZoom() {
  form_.ShowZoom();
}

void TForm1Settings::ShowResizeSettings() {
  form_.ShowSettings();
}

void TForm1Settings::ShowViewOptions() {
  form_.ImgViewBox1->SetAllowEnlargeInAutoSizeMode(State().ViewAllowEnlargeInAutoMode());
  form_.Recursiveinputdirs1->setChecked(State().RecursiveInput());
  form_.UseLosslessJPEGrotateofinputfile1->setChecked(State().LosslessRotate());
  form_.MAutoOrient->setChecked(State().AutoOrient());
  form_.SetBatchWorkers(State().BatchWorkers());
}

void TForm1Settings::ShowJobsList(const TWindowLayout& layout) {
  // The window gives a hidden list its width when it shows it.
  form_.jobsListWidth_ = layout.JobsListWidth;
  if (form_.PanelJobs->isVisibleTo(&form_)) form_.ShareJobsListWidth(layout.JobsListWidth);
  form_.SetJobsListVisible(State().JobsListVisible());
  QHeaderView* header = form_.LVJobs->header();
  for (size_t i = 0; i < layout.JobsListColWidths.size(); ++i) {
    const int column = static_cast<int>(i);
    if (header->count() > column) header->resizeSection(column, layout.JobsListColWidths[i]);
  }
}

// --- TForm1's settings, recent folders and placement ---

void TForm1::CreateSettings() {
  settings_ = std::make_unique<TForm1Settings>(*this);

  HLInput = new TRecentFolderMenu(*RecentInputDirs1, this);
  HLInput->setObjectName(QStringLiteral("HLInput"));
  HLInput->Configure(ConfigureSourceFolderHistory);
  connect(HLInput, &TRecentFolderMenu::ItemChosen, this, [this](const QString& folder) {
    EInputDir->setText(folder);
    state_->SetSourceFolderField(PathFromText(folder));
    RunCommand("read the source folder", [this] { state_->ScanSourceFolder(); });
  });
  HLOutput = new TRecentFolderMenu(*RecentOutputDirs1, this);
  HLOutput->setObjectName(QStringLiteral("HLOutput"));
  HLOutput->Configure(ConfigureDestinationFolderHistory);
  connect(HLOutput, &TRecentFolderMenu::ItemChosen, this,
          [this](const QString& folder) { EOutputDir->setText(folder); });

  auto* commands = new TSettingsFileCommands(*settings_, *this);
  connect(SaveSettings1, &QAction::triggered, commands, &TSettingsFileCommands::SaveSettingsClick);
  connect(LoadSettings1, &QAction::triggered, commands, &TSettingsFileCommands::LoadSettingsClick);
  connect(commands, &TSettingsFileCommands::SettingsLoaded, this, [this] {
    ShowRuleControls();
    // The labels follow the loaded settings also when the source folder stays the same.
    ShowTexts();
    RunCommand("read the source folder", [this] { state_->ScanSourceFolder(); });
  });
}

void TForm1::SaveSettingsAtClose() {
  settings_->SaveRegistrySettings();
  HLInput->SaveToRegistry();
  HLOutput->SaveToRegistry();
}

void TForm1::SourceFolderUsed(const std::string& folder) {
  HLInput->AddToTop(TextFromPath(folder));
}

void TForm1::DestinationFolderUsed(const std::string& folder) {
  HLOutput->AddToTop(TextFromPath(folder));
}

}  // namespace picaxo

namespace picaxo {

void TForm1::ShareJobsListWidth(int32_t width) {
  auto* splitter = qobject_cast<QSplitter*>(PanelJobs->parentWidget());
  if (!splitter) {
    PanelJobs->resize(width, PanelJobs->height());
    return;
  }
  // In a splitter the panel's width is its share; the widest neighbour gives or takes the rest.
  QList<int> sizes = splitter->sizes();
  const int index = splitter->indexOf(PanelJobs);
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
