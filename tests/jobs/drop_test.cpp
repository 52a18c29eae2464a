// Files and folders dropped onto the window.
#include "jobs/drop.h"

#include <gtest/gtest.h>

#include "jobs/app_state.h"
#include "jobs_test_util.h"

namespace picaxo {
namespace {

using namespace testing;

struct DropTest : ::testing::Test {
  TScratchFolder dir;
  std::string a = dir / "a";
  std::string b = dir / "b";
  TStateFixture f;
  void SetUp() override {
    WriteBmp(a + "/1.bmp");
    WriteBmp(a + "/2.bmp");
    WriteBmp(b + "/x.bmp");
    WriteBmp(b + "/y.BMP");
    WriteFile(b + "/notes.txt", "text");
  }
  std::string CurrentFile() const { return f.state.CurrentEntry()->FileName; }
};

TEST_F(DropTest, WhatADropOpens) {
  EXPECT_EQ(DropTargetOf({a})->Folder, a);
  EXPECT_EQ(DropTargetOf({a + "/"})->File, "");
  const auto image = DropTargetOf({b + "/y.BMP", a + "/1.bmp"});
  EXPECT_EQ(image->Folder, b);
  EXPECT_EQ(image->File, b + "/y.BMP");
  // Paths that are neither a folder nor a source image are passed over.
  EXPECT_EQ(DropTargetOf({b + "/notes.txt", dir / "gone.jpg", a + "/2.bmp"})->File, a + "/2.bmp");
  EXPECT_FALSE(DropTargetOf({b + "/notes.txt", dir / "gone.jpg", ""}));
  EXPECT_FALSE(DropTargetOf({}));
}

TEST_F(DropTest, AnImageOpensItsFolderWithItShownAndAFolderListedStaysAsItIs) {
  f.Open(a);
  EXPECT_FALSE(f.state.OpenDropped({b + "/notes.txt"}));
  EXPECT_EQ(f.state.SourceFolderField(), a);

  EXPECT_TRUE(f.state.OpenDropped({b + "/y.BMP", b + "/x.bmp"}));
  EXPECT_EQ(f.state.List().SourceFolder(), b);
  EXPECT_EQ(f.state.SourceFolderField(), b);
  EXPECT_EQ(CurrentFile(), b + "/y.BMP");
  EXPECT_EQ(f.sourceFolders.back(), b);

  EXPECT_TRUE(f.state.OpenDropped({a}));
  EXPECT_EQ(CurrentFile(), a + "/1.bmp");
  f.state.ChangeExcluded(true);  // something the user set for 1.bmp
  // An image of the folder listed now: shown, the folder not read again.
  EXPECT_TRUE(f.state.OpenDropped({a + "/2.bmp"}));
  EXPECT_EQ(CurrentFile(), a + "/2.bmp");
  EXPECT_TRUE(f.state.List().At(0).Excluded);
}

}  // namespace
}  // namespace picaxo
