#pragma once
// A fresh folder per test, with XDG_CONFIG_HOME pointing into it so that the per-user store of
// the test lives there, and a fixed program base name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/program_identity.h"
#include "support/test_support.h"

namespace picaxo {

class TempConfig : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "config");
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfigHome_ = old;
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    SetProgramBaseName("app");
  }
  void TearDown() override {
    SetProgramBaseName("");
    // The next test of the process must not write into this test's folder, which goes now.
    if (oldConfigHome_.empty()) {
      ::unsetenv("XDG_CONFIG_HOME");
    } else {
      ::setenv("XDG_CONFIG_HOME", oldConfigHome_.c_str(), 1);
    }
  }

 private:
  std::string oldConfigHome_;

  // Public helpers, so that free functions of a test can use them.
 public:
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return Path(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string MakeFolder(const std::string& name) const {
    std::filesystem::create_directories(dir_ / name);
    return Path(name);
  }
  // Names in a folder other than the ones given; a leftover temporary file shows up here.
  static int CountEntries(const std::filesystem::path& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
      ++count;
    return count;
  }
  std::string UserFile() const { return (dir_ / "config/Quorlen/Picaxo/app.ini").string(); }
};

}  // namespace picaxo
