// Deleting through the window moves files to the user's trash, where they can be restored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_support.h"
#include "ui/main_window.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

class TrashRemoverTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old) oldDataHome_ = old;
    hadDataHome_ = old != nullptr;
    // A data folder that does not exist yet, as on a fresh account.
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  void TearDown() override {
    if (hadDataHome_)
      ::setenv("XDG_DATA_HOME", oldDataHome_.c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }
  std::string oldDataHome_;
  bool hadDataHome_ = false;
};

TEST_F(TrashRemoverTest, MovesTheFileToTheTrashWhereItCanBeRestored) {
  const fs::path photo = dir_ / "photo.jpg";
  std::ofstream(photo) << "pixels";
  TTrashFileRemover remover;
  EXPECT_TRUE(remover.RemoveFile(photo.string()));
  EXPECT_FALSE(fs::exists(photo));
  const fs::path trashed = dir_ / "data" / "Trash" / "files" / "photo.jpg";
  ASSERT_TRUE(fs::exists(trashed));
  std::ifstream in(trashed);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "pixels");
  EXPECT_TRUE(fs::exists(dir_ / "data" / "Trash" / "info" / "photo.jpg.trashinfo"));
  // Nothing lands beside the file or in the working folder.
  EXPECT_FALSE(fs::exists(dir_ / "files"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "files" / "photo.jpg"));
}

}  // namespace
}  // namespace picaxo
