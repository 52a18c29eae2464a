#include "imaging/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "imaging/error.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

class TempDir : public testing::TempFolderTest {
 protected:
  void Touch(const std::string& name, const std::string& text = "x") {
    std::ofstream(dir_ / name) << text;
  }
};

TEST(FileNames, StripExtensionKeepsLeadingDotNames) {
  EXPECT_EQ(StripExtension("archive.tar.gz"), "archive.tar");
  EXPECT_EQ(StripExtension(".profile"), ".profile");
  EXPECT_EQ(StripExtension("a.b"), "a");
  EXPECT_EQ(StripExtension("noext"), "noext");
  EXPECT_TRUE(HasExtension("/x/y/PHOTO.JpG", ".jpg"));
  EXPECT_FALSE(HasExtension("/x.jpg/photo", ".jpg"));
  EXPECT_FALSE(HasExtension("photo.jpeg", ".jpg"));
}

TEST_F(TempDir, MakeTempFileNameTakesTheFirstFreeNumberAndCreatesNothing) {
  Touch("temp1.jpg");
  EXPECT_EQ(MakeTempFileName(dir_.string(), ".jpg"), (dir_ / "temp2.jpg").string());
  EXPECT_EQ(MakeTempFileName(dir_.string() + "/", ".jpg"), (dir_ / "temp2.jpg").string());
  EXPECT_FALSE(fs::exists(dir_ / "temp2.jpg"));
}

TEST_F(TempDir, AtomicWriteReplacesWholeAndKeepsRequestedTimeAndMode) {
  Touch("a.txt", "old");
  const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  AtomicWriteOptions options;
  options.modificationTime = when;
  options.permissions = fs::perms::owner_read | fs::perms::owner_write;
  WriteFileAtomically((dir_ / "a.txt").string(), "new content", options);
  EXPECT_EQ(ReadWholeFile((dir_ / "a.txt").string()), "new content");
  EXPECT_EQ(fs::last_write_time(dir_ / "a.txt"), when);
  EXPECT_EQ(fs::status(dir_ / "a.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TempDir, AtomicWriteIntoMissingFolderFailsAndLeavesNothing) {
  EXPECT_THROW(WriteFileAtomically((dir_ / "missing" / "a.txt").string(), "x"), EPicaxoError);
  EXPECT_THROW(ReadWholeFile((dir_ / "nothing").string()), EPicaxoError);
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace picaxo
