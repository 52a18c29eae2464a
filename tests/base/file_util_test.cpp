#include "base/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/error.h"
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

TEST(FileNames, SplitPathAndJoinPathUseExactlyOneSeparator) {
  auto split = [](const std::string& path) {
    const TPathParts parts = SplitPath(path);
    return std::make_pair(parts.Folder, parts.Name);
  };
  EXPECT_EQ(split("/a/b.jpg"), std::make_pair(std::string("/a"), std::string("b.jpg")));
  EXPECT_EQ(split("/b.jpg"), std::make_pair(std::string("/"), std::string("b.jpg")));
  EXPECT_EQ(split("b.jpg"), std::make_pair(std::string(), std::string("b.jpg")));
  EXPECT_EQ(split("rel/x/"), std::make_pair(std::string("rel/x"), std::string()));
  EXPECT_EQ(split("/a//b.jpg"), std::make_pair(std::string("/a"), std::string("b.jpg")));
  EXPECT_EQ(split(""), std::make_pair(std::string(), std::string()));

  EXPECT_EQ(JoinPath("out", "a.jpg"), "out/a.jpg");
  EXPECT_EQ(JoinPath("out/", "a.jpg"), "out/a.jpg");
  EXPECT_EQ(JoinPath("out//", "a.jpg"), "out/a.jpg");
  EXPECT_EQ(JoinPath("/", "a.jpg"), "/a.jpg");
  EXPECT_EQ(JoinPath("//", "a.jpg"), "/a.jpg");
  EXPECT_EQ(JoinPath("", "a.jpg"), "a.jpg");
  for (const std::string path : {"/a/b.jpg", "/b.jpg", "b.jpg", "x/y/z.bmp"}) {
    const TPathParts parts = SplitPath(path);
    EXPECT_EQ(JoinPath(parts.Folder, parts.Name), path);
  }
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

// A named pipe, a link to an endless device and a folder under photo names are refused at once,
// naming the file, instead of waiting for a writer or reading until memory runs out.
TEST_F(TempDir, SpecialFilesAreRefusedAtOnceNamingTheFile) {
  ASSERT_EQ(::mkfifo((dir_ / "a.jpg").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir_ / "zero.jpg");
  fs::create_directory(dir_ / "folder.jpg");
  for (const auto& [name, kind] : std::vector<std::pair<std::string, std::string>>{
           {"a.jpg", "a named pipe"}, {"zero.jpg", "a device"}, {"folder.jpg", "a folder"}}) {
    const std::string path = (dir_ / name).string();
    EXPECT_EQ(testing::RunInChild(
                  [&] {
                    ReadWholeFile(path);
                    return std::string("(read)");
                  },
                  10, size_t{256} << 20),
              "Cannot read \"" + path + "\": it is " + kind + ", not a regular file");
  }
}

TEST_F(TempDir, AtomicWriteIntoMissingFolderFailsAndLeavesNothing) {
  EXPECT_THROW(WriteFileAtomically((dir_ / "missing" / "a.txt").string(), "x"), EPicaxoError);
  EXPECT_THROW(ReadWholeFile((dir_ / "nothing").string()), EPicaxoError);
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace picaxo
