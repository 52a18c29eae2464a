// Whatever a window command raises reaches the user as one plain message in an error box, and the
// window goes on working.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <system_error>

#include "imaging/jpeg.h"
#include "imaging/raster.h"
#include "open_form.h"
#include "support/test_support.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

// Answers from a script, but raises Fail's exception for the question Fail picks.
class TFailingPrompt : public TScriptedPrompt {
 public:
  std::function<void(const TQuestion&)> Fail;
  TPromptButton Ask(const TQuestion& question) override {
    if (Fail) Fail(question);
    return TScriptedPrompt::Ask(question);
  }
};

class CommandErrors : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    fs::create_directories(source_);
    fs::create_directories(destination_);
    TJPEGImage jpeg;
    jpeg.Assign(TRasterImage(32, 24));
    jpeg.Compress();
    std::ofstream(source_ / "a.jpg", std::ios::binary) << jpeg.CompressedData();
    std::ofstream(destination_ / "a.jpg", std::ios::binary) << "older";
    ASSERT_NO_FATAL_FAILURE(picaxo::testing::OpenFormOnFolder(form_, source_, prompt_, 1));
    form_->findChild<QLineEdit*>(QStringLiteral("EOutputDir"))
        ->setText(QString::fromStdString(destination_.string()));
  }
  void Trigger(const char* action) {
    form_->findChild<QAction*>(QString::fromLatin1(action))->trigger();
  }
  std::string LastMessage() const {
    const auto& questions = prompt_.Questions();
    if (questions.empty() || questions.back().Id != TQuestionId::WindowMessage) return "(none)";
    return questions.back().Text;
  }

  const fs::path source_ = dir_ / "src";
  const fs::path destination_ = dir_ / "out";
  TFailingPrompt prompt_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(CommandErrors, AllocationAndFileSystemFailuresReadAsPlainMessages) {
  prompt_.Fail = [](const TQuestion& question) {
    if (question.Id == TQuestionId::OverwriteFile) throw std::bad_alloc();
  };
  Trigger("MSave");
  EXPECT_EQ(LastMessage(), "Not enough memory to save the image");

  prompt_.Fail = [this](const TQuestion& question) {
    if (question.Id == TQuestionId::DeleteSourceFile)
      throw fs::filesystem_error("remove", source_ / "a.jpg",
                                 std::make_error_code(std::errc::permission_denied));
  };
  Trigger("MInDelete");
  EXPECT_EQ(LastMessage(), "Could not delete the source file: Permission denied");
  EXPECT_TRUE(fs::exists(source_ / "a.jpg"));

  // Neither left the window half way: the same save now goes through.
  prompt_.Fail = nullptr;
  prompt_.Push(TPromptButton::Yes);
  Trigger("MSave");
  EXPECT_NE(form_->StatusText().find("Saved "), std::string::npos) << form_->StatusText();
  EXPECT_GT(fs::file_size(destination_ / "a.jpg"), 5u);
}

}  // namespace
}  // namespace picaxo
