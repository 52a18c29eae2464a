#pragma once
// A bare top-level form holding the named controls the settings binding reads, and a binding
// whose window model is a few plain members that tests can reach.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>
#include <memory>

#include "settings/picaxo_settings.h"
#include "ui/recent_menu.h"
#include "ui/settings_binding.h"

namespace picaxo::testing {

template <typename T>
T* Named(const QWidget& form, const char* name) {
  T* widget = form.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

// The form at its first-start values, 686 x 544. No layout: it would give the form a minimum
// size, and placement tests need any size.
inline std::unique_ptr<QWidget> MakeSettingsForm() {
  auto form = std::make_unique<QWidget>();
  form->resize(kMainFormWidth, kMainFormHeight);
  auto add = [&](QWidget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setParent(form.get());
    return widget;
  };
  const QString folder = TextFromPath(WorkingFolder());
  add(new QLineEdit(folder), "EInputDir");
  add(new QLineEdit(folder), "EOutputDir");
  auto* zoom = static_cast<QComboBox*>(add(new QComboBox, "CBZoom"));
  zoom->addItems({"Auto [NUM *]", "4:1", "2:1", "1:1 [NUM /]", "1:2", "1:4"});
  for (const auto& [name, checked] :
       {std::pair{"Recursiveinputdirs1", false}, {"UseLosslessJPEGrotateofinputfile1", true}}) {
    auto* item = new QAction(form.get());
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(true);
    item->setChecked(checked);
  }
  QWidget* panel = add(new QWidget, "PanelJobs");
  auto* list = new QTableView(panel);
  list->setObjectName("LVJobs");
  list->setModel(new QStandardItemModel(0, 3, list));
  for (int column : {0, 1, 2})
    list->horizontalHeader()->resizeSection(column, TPicaxoSettings{}.JobsListColWidths[column]);
  return form;
}

// The binding over the form, its window model held in members.
class TFormBinding final : public TSettingsBinding {
 public:
  using TSettingsBinding::SetJobsListWidth;
  using TSettingsBinding::TSettingsBinding;

  TResizeSettings resize;
  bool preview = false;
  int32_t normalZoom = 0;
  std::string copyToDir;
  bool viewAllowEnlarge = true;
  TStoredBatchFlags flags;
  int fillingCalls = 0;
  bool filling = false;

 protected:
  void SetFillingControls(bool on) override {
    filling = on;
    ++fillingCalls;
  }
  void SelectZoomIndex(int index) override {
    Window().findChild<QComboBox*>("CBZoom")->setCurrentIndex(index);
  }
  TResizeSettings ResizeSettings() const override { return resize; }
  void ShowResizeSettings(const TResizeSettings& settings) override { resize = settings; }
  bool PreviewMode() const override { return preview; }
  int32_t NormalZoom() const override { return normalZoom; }
  void SetNormalZoom(int32_t index) override { normalZoom = index; }
  std::string CopyToDir() const override { return copyToDir; }
  void SetCopyToDir(const std::string& folder) override { copyToDir = folder; }
  bool ViewAllowEnlargeInAutoMode() const override { return viewAllowEnlarge; }
  void SetViewAllowEnlargeInAutoMode(bool allow) override { viewAllowEnlarge = allow; }
  void SetJobsListVisible(bool visible) override {
    Window().findChild<QWidget*>("PanelJobs")->setVisible(visible);
  }
  TStoredBatchFlags BatchFlags() const override { return flags; }
  void SetBatchFlags(const TStoredBatchFlags& stored) override { flags = stored; }
};

}  // namespace picaxo::testing
