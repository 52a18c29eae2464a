// picaxo-cli rotate, driven as a user would: per-file reports and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "lossless/jpeg_test_util.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status;
  std::string output;  // stdout and stderr together
};

CliRun RunCli(const std::string& args) {
  const std::string command = std::string(PICAXO_CLI) + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(CliRotate, RotatesEachFileAndReportsFailuresPerFile) {
  const fs::path dir = fs::temp_directory_path() / ("picaxo_cli_rot_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  picaxo::testing::JpegRecipe recipe;
  recipe.width = 48;
  recipe.height = 32;
  const std::string good = (dir / "good.jpg").string();
  const std::string missing = (dir / "missing.jpg").string();
  picaxo::testing::WriteFile(good, picaxo::testing::MakeJpeg(recipe));

  const CliRun run = RunCli("rotate left '" + good + "' '" + missing + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find(good + ": done\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(missing + ": Cannot open file"), std::string::npos) << run.output;
  EXPECT_EQ(picaxo::testing::ReadCoefficients(picaxo::testing::ReadFile(good)).width, 32u);

  EXPECT_EQ(RunCli("rotate 180 '" + good + "'").status, 0);
  EXPECT_EQ(RunCli("rotate sideways '" + good + "'").status, 2);
  EXPECT_EQ(RunCli("rotate right").status, 2);
  fs::remove_all(dir);
}

}  // namespace
