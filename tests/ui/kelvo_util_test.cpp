#include "ui/kelvo_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace picaxo {
namespace {

TEST(KelvoUtil, ProgramIdentity) {
  EXPECT_EQ(GetProgramVersion(), PICAXO_VERSION);
  EXPECT_TRUE(std::filesystem::exists(GetProgramPath()));
  const std::string folder = GetCurrentFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
}

}  // namespace
}  // namespace picaxo
