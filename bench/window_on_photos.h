#pragma once
// The main window opened on a temporary folder of copies of one photo, as the browsing benchmarks
// use it: Simple Resize view, keys sent as a user presses them, the view painted on demand.
#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "jobs/file_remover.h"
#include "jobs/prompt.h"
#include "ui/img_view_box.h"
#include "ui/main_window.h"

namespace picaxo::bench {

class TWindowOnPhotos {
 public:
  // count copies of photo, named p000.jpg, p001.jpg, ... in a folder whose name starts with
  // prefix.
  TWindowOnPhotos(const std::string& photo, int count, const std::string& prefix)
      : folder_(std::filesystem::temp_directory_path() /
                (prefix + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(folder_ / "src");
    for (int i = 0; i < count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "p%03d.jpg", i);
      std::filesystem::copy_file(photo, folder_ / "src" / name);
    }
    TForm1Options options;
    options.CommandLineArgument = (folder_ / "src").string();
    options.Prompt = &prompt_;
    options.Remover = &DeletingFileRemover();
    options.BackgroundLoads = true;
    form_ = std::make_unique<TForm1>(options);
    form_->show();
    QApplication::setActiveWindow(form_.get());
    for (int i = 0; i < 2000 && form_->State().Count() == 0; ++i) {
      QApplication::processEvents();
      QThread::msleep(5);
    }
    // The Simple Resize view, whatever view the stored settings chose.
    form_->findChild<QTabBar*>("TabControl")->setCurrentIndex(0);
  }
  ~TWindowOnPhotos() {
    form_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TWindowOnPhotos(const TWindowOnPhotos&) = delete;
  TWindowOnPhotos& operator=(const TWindowOnPhotos&) = delete;

  TForm1& Form() { return *form_; }
  TImgViewBox& View() { return *form_->findChild<TImgViewBox*>("ImgViewBox1"); }
  // Where a key goes: the focused widget, else the window.
  QWidget* Target() {
    return QApplication::focusWidget() ? QApplication::focusWidget() : form_.get();
  }
  // A key pressed and released at the window (the window's key handling sees it first).
  void Key(Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(Target(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(Target(), &release);
  }
  // Lets the window run until the picture of the current image has arrived.
  void WaitLoaded() {
    while (form_->State().LoadPending()) {
      QApplication::processEvents();
      QThread::usleep(200);
    }
  }
  // Paints the view now, as the next screen update would.
  void Paint() {
    QApplication::processEvents();
    View().viewport()->repaint();
  }

 private:
  std::filesystem::path folder_;
  TScriptedPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace picaxo::bench
