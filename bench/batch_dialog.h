#pragma once
// Drives the window's batch dialog as a user would once it shows: folders created without asking,
// Start, Close. For the window benchmarks that run Save All.
#include <QAbstractButton>
#include <QApplication>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "imaging/geometry.h"
#include "jobs/app_state.h"
#include "ui/main_window.h"

namespace picaxo::bench {

inline void RunDialogWhenItShows() {
  auto* timer = new QTimer();
  QObject::connect(timer, &QTimer::timeout, [timer] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    dialog->findChild<QAbstractButton*>("CBPromptForCreateDir")->click();
    dialog->findChild<QAbstractButton*>("BStart")->click();
    dialog->findChild<QAbstractButton*>("BClose")->click();
  });
  timer->start(0);
}

// The main window opened on source as from the command line, in the Simple Resize view (whose
// Save All the benchmarks run, whatever view stored settings chose), saving with settings into
// destination.
inline std::unique_ptr<TForm1> OpenSaveAllWindow(IPrompt& prompt, const std::string& source,
                                                 const std::string& destination,
                                                 const TResizeSettings& settings) {
  TForm1Options options;
  options.Prompt = &prompt;
  options.CommandLineArgument = source;
  auto form = std::make_unique<TForm1>(options);
  form->show();
  QCoreApplication::processEvents();
  form->findChild<QTabBar*>("TabControl")->setCurrentIndex(0);
  form->State().SetSettings(settings);
  form->State().SetDestinationFolderField(destination);
  form->State().SetSourceFolderField(source);
  return form;
}

// Twelve large photos (the test photos, three copies each) in a temporary folder "src", removed
// with the object.
struct TTwelvePhotos {
  std::filesystem::path root;
  std::filesystem::path src;
  explicit TTwelvePhotos(const std::string& prefix)
      : root(std::filesystem::temp_directory_path() /
             (prefix + std::to_string(std::random_device()()))),
        src(root / "src") {
    namespace fs = std::filesystem;
    fs::create_directories(src);
    for (int copy = 1; copy <= 3; ++copy)
      for (const auto& e : fs::directory_iterator(fs::path(PICAXO_TESTDATA) / "photos"))
        if (e.path().extension() == ".jpg")
          fs::copy_file(e.path(),
                        src / (e.path().stem().string() + "_" + std::to_string(copy) + ".jpg"));
  }
  ~TTwelvePhotos() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  TTwelvePhotos(const TTwelvePhotos&) = delete;
  TTwelvePhotos& operator=(const TTwelvePhotos&) = delete;
};

// Longer side 1024, quality 85: the settings the large-photo benchmarks save with.
inline TResizeSettings Longer1024() {
  TResizeSettings settings;
  settings.ResizeEnabled = true;
  SelectRule(settings, ResizeRule::LongerSide);
  settings.LongerPixels = 1024;
  settings.JpegQuality = 85;
  return settings;
}

}  // namespace picaxo::bench
