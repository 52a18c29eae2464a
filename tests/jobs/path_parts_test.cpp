#include "jobs/path_parts.h"

#include <gtest/gtest.h>

namespace picaxo {
namespace {

TEST(PathParts, FolderNameAndLowerExtension) {
  EXPECT_EQ(FolderOfPath("/pics/sub/a.JPG"), "/pics/sub");
  EXPECT_EQ(FolderOfPath("/a.jpg"), "/");
  EXPECT_EQ(FolderOfPath("a.jpg"), "");
  EXPECT_EQ(NameOfPath("/pics/sub/a.JPG"), "a.JPG");
  EXPECT_EQ(NameOfPath("a.jpg"), "a.jpg");
  EXPECT_EQ(LowerExtensionOf("/pics/a.JPG"), ".jpg");
  EXPECT_EQ(LowerExtensionOf("/pics/archive.tar.GZ"), ".gz");
  EXPECT_EQ(LowerExtensionOf("/pics/.profile"), "");
  EXPECT_EQ(LowerExtensionOf("/pics.d/noext"), "");
}

}  // namespace
}  // namespace picaxo
