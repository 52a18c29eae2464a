#include "jobs/destination.h"

#include <gtest/gtest.h>

#include "jobs_test_util.h"

namespace picaxo {
namespace {

constexpr EOutputFormat kJpeg = EOutputFormat::Jpeg;

namespace fs = std::filesystem;

using namespace testing;

TEST(DestinationNaming, MirrorsSubfoldersAndAlwaysEndsInJpg) {
  EXPECT_EQ(DestinationFolderFor("/out", "/pics", "/pics/a.JPG"), "/out/");
  EXPECT_EQ(DestinationFolderFor("/out/", "/pics", "/pics/a.JPG"), "/out/");
  EXPECT_EQ(DestinationFolderFor("/out", "/pics", "/pics/trip/b.bmp"), "/out/trip");
  EXPECT_EQ(DestinationFolderFor("/out", "/pics", "/pics/trip/day 2/c.jpg"), "/out/trip/day 2");
  EXPECT_EQ(DestinationFolderFor("/out", "/", "/trip/b.bmp"), "/out/trip");
  EXPECT_EQ(DestinationFolderFor("/out", "/", "/b.bmp"), "/out/");
  // Separators typed at the end of the field never double up.
  EXPECT_EQ(DestinationFolderFor("/out//", "/pics", "/pics/trip/b.bmp"), "/out/trip");
  EXPECT_EQ(DestinationFolderFor("/", "/pics", "/pics/trip/b.bmp"), "/trip");
  EXPECT_EQ(DestinationFolderFor("/out", "/pics", ""), "/out/");

  EXPECT_EQ(DestinationFileNameFor("", "/pics/a.JPG", kJpeg), "a.jpg");
  EXPECT_EQ(DestinationFileNameFor("", "/pics/trip/b.bmp", kJpeg), "b.jpg");
  EXPECT_EQ(DestinationFileNameFor("cover", "/pics/c.jpg", kJpeg), "cover.jpg");
  EXPECT_EQ(DestinationFileNameFor("x", "/pics/d.bmp", kJpeg), "x.jpg");
  EXPECT_EQ(DestinationFileNameFor("", "/pics/archive.tar.jpg", kJpeg), "archive.tar.jpg");
  EXPECT_EQ(DestinationFileNameFor("", "/pics/.hidden", kJpeg), ".hidden.jpg");
  EXPECT_EQ(DestinationFileNameFor("", "/pics.d/noext", kJpeg), "noext.jpg");
  // The other formats put their own extension in the same place.
  EXPECT_EQ(DestinationFileNameFor("", "/pics/a.JPG", EOutputFormat::WebP), "a.webp");
  EXPECT_EQ(DestinationFileNameFor("cover", "/pics/c.png", EOutputFormat::Avif), "cover.avif");
  EXPECT_EQ(DestinationFileNameFor("", "/pics/archive.tar.jpg", EOutputFormat::Png),
            "archive.tar.png");
}

TEST(DestinationNaming, SubfolderIsCutAt400Characters) {
  const std::string deep(450, 'd');
  const std::string folder = DestinationFolderFor("/out", "/pics", "/pics/" + deep + "/a.jpg");
  EXPECT_EQ(folder, "/out/" + deep.substr(0, 400));
}

TEST(FolderTests, CreateWithParentsAndExistence) {
  TScratchFolder dir;
  const std::string deep = dir / "x/y/z";
  EXPECT_FALSE(FolderExists(deep));
  CreateFolderWithParents(deep + "/");
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_TRUE(FolderExists(deep + "/"));
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(FolderExists(dir / "file"));
  EXPECT_TRUE(FileExists(dir / "file"));
  EXPECT_FALSE(FileExists(deep));
  EXPECT_FALSE(CreateFolderWithParents(deep));  // nothing to do is no failure
  EXPECT_EQ(CreateFolderWithParents(dir / "file/sub"), std::errc::not_a_directory);
  EXPECT_FALSE(FolderExists(dir / "file/sub"));
}

TEST(FolderTests, SameFolderByIdentity) {
  TScratchFolder dir;
  fs::create_directories(dir / "pics/sub");
  fs::create_directory_symlink(dir / "pics", dir / "link");
  EXPECT_TRUE(SameFolder(dir / "pics", dir / "pics/"));
  EXPECT_TRUE(SameFolder(dir / "pics", dir / "pics/sub/.."));
  EXPECT_TRUE(SameFolder(dir / "link", dir / "pics"));
  EXPECT_FALSE(SameFolder(dir / "pics", dir / "pics/sub"));
  EXPECT_FALSE(SameFolder(dir / "missing", dir / "missing"));
}

TEST(FolderTests, ReadOnlyFileIsNotReplaceableEvenForTheSuperuser) {
  TScratchFolder dir;
  WriteFile(dir / "a.jpg", "x");
  EXPECT_TRUE(FileIsReplaceable(dir / "a.jpg"));
  fs::permissions(dir / "a.jpg", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(FileIsReplaceable(dir / "a.jpg"));
  EXPECT_TRUE(FileIsReplaceable(dir / "missing.jpg"));
  if (testing::IsRoot()) {
    // Another user's ordinary file is not read-only for the superuser.
    WriteFile(dir / "b.jpg", "x");
    ASSERT_EQ(::chown((dir / "b.jpg").c_str(), 65534, 65534), 0);
    EXPECT_TRUE(FileIsReplaceable(dir / "b.jpg"));
  }
}

}  // namespace
}  // namespace picaxo
