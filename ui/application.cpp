#include "ui/application.h"

#include <QApplication>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <filesystem>
#include <string>

#include "ui/main_window.h"
#include "ui/no_tooltips.h"

namespace picaxo {

const char* MissingDisplayMessage() {
  static const char* kMessage =
      "picaxo: no display found (DISPLAY and WAYLAND_DISPLAY are unset or unreachable); "
      "start it on a desktop, or without one as: xvfb-run picaxo [FOLDER|FILE]";
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return nullptr;  // the caller chose a platform; Qt reports on it
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland) return nullptr;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return kMessage;
  // A local X display ":N" has its socket in /tmp/.X11-unix; a remote one is left to Qt.
  const std::string d(display);
  if (d[0] == ':') {
    const std::string number =
        d.substr(1, d.find('.') == std::string::npos ? std::string::npos : d.find('.') - 1);
    std::error_code ec;
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + number, ec)) return kMessage;
  }
  return nullptr;
}

void KeepFreedPhotoMemory() {
#if defined(__GLIBC__)
  // Large blocks come from the heap instead of their own mappings, and a freed top of the heap is
  // kept up to a gigabyte; the peak stays what the largest photos shown need.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // One heap for every thread: with a heap per thread, each worker of Save All and the decoding
  // thread would keep the peak of the pictures it decoded for itself, where a picture freed by one
  // serves the next picture of any other.
  mallopt(M_ARENA_MAX, 1);
#endif
}

int RunDesktopProgram(int argc, char** argv) {
  KeepFreedPhotoMemory();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Picaxo"));
  QApplication::setApplicationVersion(QStringLiteral(PICAXO_VERSION));
  TForm1Options options;
  options.BackgroundLoads = true;
  // The first argument, as given (Qt has taken its own options out of argv by now).
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) options.CommandLineArgument = arguments.at(1).toStdString();
  TNoToolTips noToolTips;
  app.installEventFilter(&noToolTips);
  TForm1 window(options);
  window.show();
  return QApplication::exec();
}

}  // namespace picaxo
