#include "jobs/path_parts.h"

#include <gtest/gtest.h>

namespace picaxo {
namespace {

TEST(PathParts, LowerExtension) {
  EXPECT_EQ(LowerExtensionOf("/pics/a.JPG"), ".jpg");
  EXPECT_EQ(LowerExtensionOf("/pics/archive.tar.GZ"), ".gz");
  EXPECT_EQ(LowerExtensionOf("/pics/.profile"), "");
  EXPECT_EQ(LowerExtensionOf("/pics.d/noext"), "");
}

}  // namespace
}  // namespace picaxo
