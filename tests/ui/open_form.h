#pragma once
// The main window opened on a folder as a test needs it: scripted questions, files deleted
// outright, on screen and active, with the deferred first scan done, in the Simple Resize view
// whatever an earlier test stored.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTabBar>
#include <QTest>
#include <filesystem>
#include <memory>

#include "jobs/file_remover.h"
#include "ui/main_window.h"

namespace picaxo::testing {

inline void OpenFormOnFolder(std::unique_ptr<TForm1>& form, const std::filesystem::path& source,
                             IPrompt& prompt, int imageCount) {
  TForm1Options options;
  options.CommandLineArgument = source.string();
  options.Prompt = &prompt;
  options.Remover = &DeletingFileRemover();
  form = std::make_unique<TForm1>(options);
  form->show();
  QApplication::setActiveWindow(form.get());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  // The first scan runs once the window is on screen.
  for (int i = 0; i < 100 && form->State().SourceFolder().empty(); ++i)
    QTest::qWait(5);
  ASSERT_EQ(form->State().Count(), imageCount);
  form->findChild<QTabBar*>(QStringLiteral("TabControl"))->setCurrentIndex(0);
}

}  // namespace picaxo::testing
