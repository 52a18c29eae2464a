#pragma once
// A bare top-level form holding every named control the settings binding reads, at its
// first-start values, and a binding whose window-side state tests can reach.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
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

inline std::unique_ptr<QWidget> MakeSettingsForm() {
  auto form = std::make_unique<QWidget>();
  form->resize(kMainFormWidth, kMainFormHeight);
  // No layout: it would give the form a minimum size, and placement tests need any size.
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
  auto spin = [&](const char* name, int low, int high, int value) {
    auto* box = static_cast<QSpinBox*>(add(new QSpinBox, name));
    box->setRange(low, high);
    box->setValue(value);
  };
  spin("UDQuality", 1, 100, 85);
  spin("UDLongerSide", 10, 10000, 600);
  spin("UDFixedArea", 10, 10000, 400);
  spin("UDPercent", 1, 500, 50);
  static_cast<QCheckBox*>(add(new QCheckBox("Resize"), "CBResize"))->setChecked(true);
  add(new QCheckBox("Padded border"), "CBPaddedFit");
  add(new QCheckBox("Allow Enlarge"), "CBAllowEnlarge");
  add(new QCheckBox("Force Recompress"), "CBForceRecompress");
  auto radio = [](const char* name, QWidget* group) {
    auto* button = new QRadioButton(QString::fromLatin1(name), group);
    button->setObjectName(QString::fromLatin1(name));
  };
  // Two radio groups, each in its own container as in the window.
  auto* rules = add(new QWidget, "GBResize");
  for (const char* name : {"RBFixedLonger", "RBFixedArea", "RBPercent", "RBFixedFit"})
    radio(name, rules);
  form->findChild<QRadioButton*>("RBPercent")->setChecked(true);
  auto* grid = add(new QWidget, "PaddedFitPanel");
  for (const char* name : {"RBAlignLeftTop", "RBAlignCenterTop", "RBAlignRightTop",
                           "RBAlignLeftCenter", "RBAlignCenter", "RBAlignRightCenter",
                           "RBAlignLeftBottom", "RBAlignCenterBottom", "RBAlignRightBottom"})
    radio(name, grid);
  form->findChild<QRadioButton*>("RBAlignCenter")->setChecked(true);
  add(new QLineEdit("1024"), "EFitWidth");
  add(new QLineEdit("800"), "EFitHeight");
  QWidget* colour = add(new QWidget, "PaddedFitColorPanel");
  QPalette palette = colour->palette();
  palette.setColor(QPalette::Window, Qt::black);
  colour->setPalette(palette);
  auto action = [&](const char* name, bool checked) {
    auto* item = new QAction(form.get());
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(true);
    item->setChecked(checked);
  };
  action("Recursiveinputdirs1", false);
  action("UseLosslessJPEGrotateofinputfile1", true);
  action("MForceRecompress", false);
  QWidget* panel = add(new QWidget, "PanelJobs");
  auto* list = new QTableView(panel);
  list->setObjectName("LVJobs");
  auto* model = new QStandardItemModel(0, 3, list);
  list->setModel(model);
  list->horizontalHeader()->resizeSection(0, 150);
  list->horizontalHeader()->resizeSection(1, 150);
  list->horizontalHeader()->resizeSection(2, 40);
  return form;
}

// The binding with its window-side state in reach.
class TFormBinding final : public TSettingsBinding {
 public:
  using TSettingsBinding::BatchFlags;
  using TSettingsBinding::CopyToDir;
  using TSettingsBinding::NormalZoom;
  using TSettingsBinding::SetBatchFlags;
  using TSettingsBinding::SetCopyToDir;
  using TSettingsBinding::SetJobsListWidth;
  using TSettingsBinding::SetNormalZoom;
  using TSettingsBinding::SetViewAllowEnlargeInAutoMode;
  using TSettingsBinding::TSettingsBinding;
  using TSettingsBinding::ViewAllowEnlargeInAutoMode;

  bool preview = false;
  int fillingCalls = 0;
  bool filling = false;

 protected:
  bool PreviewMode() const override { return preview; }
  void SetFillingControls(bool on) override {
    filling = on;
    ++fillingCalls;
  }
};

}  // namespace picaxo::testing
