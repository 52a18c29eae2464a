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

// "--" ends the options: it is no file, and files named like options after it are rotated.
TEST(CliRotate, DoubleDashEndsTheOptions) {
  const picaxo::testing::TScratchFolder scratch;
  picaxo::testing::JpegRecipe recipe;
  recipe.width = 48;
  recipe.height = 32;
  for (const char* name : {"-odd.jpg", "plain.jpg"})
    picaxo::testing::WriteFile((scratch.Root() / name).string(), picaxo::testing::MakeJpeg(recipe));
  const fs::path back = fs::current_path();
  fs::current_path(scratch.Root());
  const picaxo::testing::TCliRun run = RunCli("rotate right -- -odd.jpg plain.jpg");
  const picaxo::testing::TCliRun refused = RunCli("rotate right -odd.jpg");
  fs::current_path(back);
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out, "-odd.jpg: done\nplain.jpg: done\n");
  for (const char* name : {"-odd.jpg", "plain.jpg"})
    EXPECT_EQ(picaxo::testing::ReadCoefficients(
                  picaxo::testing::ReadFile((scratch.Root() / name).string()))
                  .width,
              32u);
  EXPECT_EQ(refused.exitCode, 2) << refused.out;
}

}  // namespace
