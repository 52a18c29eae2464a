#include "base/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(Trash, HomeTrashFollowsTheDataFolder) {
  EXPECT_EQ(HomeTrashFolder("/data/", "/home/u"), "/data/Trash");
  EXPECT_EQ(HomeTrashFolder(nullptr, "/home/u"), "/home/u/.local/share/Trash");
  EXPECT_EQ(HomeTrashFolder("", "/home/u"), "/home/u/.local/share/Trash");
  EXPECT_EQ(HomeTrashFolder("relative", "/home/u"), "/home/u/.local/share/Trash");
  EXPECT_EQ(HomeTrashFolder(nullptr, nullptr), "");
  EXPECT_EQ(TrashInfoPath("/a b/\xC3\xA4%x_~-.jpg"), "/a%20b/%C3%A4%25x_~-.jpg");
}

class TrashTest : public testing::TempFolderTest {};

// A data folder that has never held a trash: the trash is made (private to the user) and the
// file lands in its "files" with a record in its "info", never beside the file.
TEST_F(TrashTest, FirstDeleteCreatesTheTrashAndRecordsTheOrigin) {
  fs::create_directories(dir_ / "photos");
  const fs::path photo = dir_ / "photos" / "my photo.jpg";
  std::ofstream(photo) << "pixels";
  const fs::path trash = dir_ / "data" / "Trash";
  const auto moved = MoveToTrash(photo.string(), HomeTrashFolder((dir_ / "data").c_str(), nullptr));
  ASSERT_TRUE(moved);
  EXPECT_EQ(*moved, (trash / "files" / "my photo.jpg").string());
  EXPECT_FALSE(fs::exists(photo));
  EXPECT_EQ(Read(trash / "files" / "my photo.jpg"), "pixels");
  for (const fs::path& folder : {trash, trash / "files", trash / "info"})
    EXPECT_EQ(ModeOf(folder), 0700u) << folder;
  const std::string info = Read(trash / "info" / "my photo.jpg.trashinfo");
  EXPECT_EQ(
      info.rfind("[Trash Info]\nPath=" + TrashInfoPath(photo.string()) + "\nDeletionDate=", 0), 0u)
      << info;
  EXPECT_EQ(info.size(), info.find("DeletionDate=") + 13 + 19 + 1) << info;  // YYYY-MM-DDThh:mm:ss
  EXPECT_TRUE(fs::is_empty(dir_ / "photos"));

  // A second file of the same name keeps the first: it gets a name of its own.
  std::ofstream(photo) << "other";
  const auto second = MoveToTrash(photo.string(), trash.string());
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, (trash / "files" / "my photo.2.jpg").string());
  EXPECT_EQ(Read(trash / "files" / "my photo.jpg"), "pixels");
  EXPECT_EQ(Read(trash / "files" / "my photo.2.jpg"), "other");
  EXPECT_TRUE(fs::exists(trash / "info" / "my photo.2.jpg.trashinfo"));

  // A file that is not there moves nothing and leaves no record.
  EXPECT_FALSE(MoveToTrash((dir_ / "photos" / "gone.jpg").string(), trash.string()));
  EXPECT_FALSE(fs::exists(trash / "info" / "gone.jpg.trashinfo"));
}

}  // namespace
}  // namespace picaxo
