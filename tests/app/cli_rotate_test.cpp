// picaxo-cli rotate, driven as a user would: per-file reports and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lossless/jpeg_test_util.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

using picaxo::testing::RunCli;

TEST(CliRotate, RotatesEachFileAndReportsFailuresPerFile) {
  const picaxo::testing::TScratchFolder scratch;
  const fs::path& dir = scratch.Root();
  picaxo::testing::JpegRecipe recipe;
  recipe.width = 48;
  recipe.height = 32;
  const std::string good = (dir / "good.jpg").string();
  const std::string missing = (dir / "missing.jpg").string();
  picaxo::testing::WriteFile(good, picaxo::testing::MakeJpeg(recipe));

  const picaxo::testing::TCliRun run = RunCli("rotate left '" + good + "' '" + missing + "'");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find(good + ": done\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(missing + ": Cannot open file"), std::string::npos) << run.out;
  EXPECT_EQ(picaxo::testing::ReadCoefficients(picaxo::testing::ReadFile(good)).width, 32u);

  // A damaged file is left byte for byte as it was, with the reason, and counts as a failure.
  const std::string damaged = (dir / "damaged.jpg").string();
  const std::string whole = picaxo::testing::MakeJpeg(recipe);
  picaxo::testing::WriteFile(damaged, whole.substr(0, whole.size() * 2 / 3));
  const picaxo::testing::TCliRun refused = RunCli("rotate right '" + damaged + "'");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.out.find(damaged + ": The image data of damaged.jpg is damaged"),
            std::string::npos)
      << refused.out;
  EXPECT_EQ(picaxo::testing::ReadFile(damaged), whole.substr(0, whole.size() * 2 / 3));

  EXPECT_EQ(RunCli("rotate 180 '" + good + "'").exitCode, 0);
  EXPECT_EQ(RunCli("rotate sideways '" + good + "'").exitCode, 2);
  EXPECT_EQ(RunCli("rotate right").exitCode, 2);
}

}  // namespace
