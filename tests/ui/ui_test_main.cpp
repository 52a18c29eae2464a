// One QApplication for every widget test of the executable, on the offscreen platform unless the
// caller chose another. The per-user settings store points into a folder of this run, so that no
// window of a test reads or writes the user's own settings; tests of the store give each test a
// folder of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir config;
  if (!config.isValid()) return 1;
  ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
