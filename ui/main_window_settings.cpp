#include "ui/main_window_settings.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>

#include "settings/history_list.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"
#include "ui/recent_menu.h"
#include "ui/settings_menu.h"

namespace picaxo {

TForm1Settings::TForm1Settings(TForm1& form) : TSettingsBinding(form), form_(form) {}

void TForm1Settings::SetFillingControls(bool filling) {
  if (filling) {
    filling_.emplace(form_.State());
  } else {
    filling_.reset();
  }
}

void TForm1Settings::ShowFolders(const std::string& input, const std::string& output) {
  TSettingsBinding::ShowFolders(input, output);
  form_.State().SetSourceFolderField(input);
}

void TForm1Settings::SelectZoomIndex(int index) {
  form_.SelectZoomIndex(index);
}

TResizeSettings TForm1Settings::ResizeSettings() const {
  return form_.State().Settings();
}

void TForm1Settings::ShowResizeSettings(const TResizeSettings& settings) {
  form_.State().SetSettings(settings);
  form_.ShowSettings();
}

bool TForm1Settings::PreviewMode() const {
  return form_.State().PreviewMode();
}

int32_t TForm1Settings::NormalZoom() const {
  return form_.State().NormalZoom();
}

void TForm1Settings::SetNormalZoom(int32_t index) {
  form_.State().SetNormalZoom(index);
}

std::string TForm1Settings::CopyToDir() const {
  return form_.confirmedCopyToFolder_;
}

void TForm1Settings::SetCopyToDir(const std::string& folder) {
  form_.State().SetCopyToDir(folder);
}

bool TForm1Settings::ViewAllowEnlargeInAutoMode() const {
  return form_.ImgViewBox1->AllowEnlargeInAutoSizeMode();
}

void TForm1Settings::SetViewAllowEnlargeInAutoMode(bool allow) {
  form_.ImgViewBox1->SetAllowEnlargeInAutoSizeMode(allow);
}

void TForm1Settings::SetJobsListVisible(bool visible) {
  form_.SetJobsListVisible(visible);
}

int32_t TForm1Settings::JobsListWidth() const {
  // Before the start-up has given the list its width, the splitter's first share means nothing.
  return form_.jobsListSized_ && form_.PanelJobs->isVisibleTo(&form_) ? form_.PanelJobs->width()
                                                                      : form_.jobsListWidth_;
}

void TForm1Settings::SetJobsListWidth(int32_t width) {
  // The window gives a hidden list this width when it shows it.
  form_.jobsListWidth_ = width;
  if (form_.PanelJobs->isVisibleTo(&form_)) TSettingsBinding::SetJobsListWidth(width);
}

int32_t TForm1Settings::BatchWorkers() const {
  return static_cast<int32_t>(form_.State().BatchWorkers());
}

void TForm1Settings::SetBatchWorkers(int32_t workers) {
  form_.SetBatchWorkers(static_cast<unsigned>(std::max(0, workers)));
}

TStoredBatchFlags TForm1Settings::BatchFlags() const {
  const TBatchFlags& flags = form_.State().Flags();
  return {flags.BatchJobOverwriteAll, flags.BatchJobOverwriteNone, flags.BatchJobCreateAllDirs};
}

void TForm1Settings::SetBatchFlags(const TStoredBatchFlags& flags) {
  TBatchFlags& state = form_.State().Flags();
  state.BatchJobOverwriteAll = flags.OverwriteAll;
  state.BatchJobOverwriteNone = flags.OverwriteNone;
  state.BatchJobCreateAllDirs = flags.CreateAllDirs;
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
    RunCommand([this] { state_->ScanSourceFolder(); });
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
    RunCommand([this] { state_->ScanSourceFolder(); });
  });
}

void TForm1::SaveSettingsAtClose() {
  settings_->SaveRegistrySettings();
  HLInput->SaveToRegistry();
  HLOutput->SaveToRegistry();
}

void TForm1::RememberCopyToFolder(const QString& target) {
  confirmedCopyToFolder_ =
      target.isEmpty() ? std::string() : PathFromText(QFileInfo(target).absolutePath());
}

void TForm1::SourceFolderUsed(const std::string& folder) {
  HLInput->AddToTop(TextFromPath(folder));
}

void TForm1::DestinationFolderUsed(const std::string& folder) {
  HLOutput->AddToTop(TextFromPath(folder));
}

}  // namespace picaxo
