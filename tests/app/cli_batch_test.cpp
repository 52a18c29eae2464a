// picaxo-cli batch, driven as a user would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <string>

#include "base/file_util.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_markers.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const std::string kPhotos = std::string(PICAXO_TESTDATA) + "/photos/";

TCliRun Batch(const std::string& arguments) {
  return RunCli("batch " + arguments);
}

// A small 24-bit BMP file; the shade makes files of the same size differ.
std::string Bmp(int w, int h, uint8_t shade) {
  std::string file = BlankBmp(w, h);
  for (size_t i = kBmpPixelOffset; i < file.size(); ++i)
    file[i] = static_cast<char>(shade + i * 7);
  return file;
}

std::string Jpeg(int w, int h) {
  TRasterImage raster(w, h);
  raster.FillRect(0, 0, w, h, 0x00336699);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  return jpeg.CompressedData();
}

struct CliBatchTest : TempFolderTest {
  std::string src = scratch_ / "src";
  std::string dst = scratch_ / "dst";

  void SetUp() override { fs::create_directories(src); }
  void Put(const std::string& relative, const std::string& data) {
    const fs::path path = fs::path(src) / relative;
    fs::create_directories(path.parent_path());
    WriteFileAtomically(path.string(), data);
  }
  // Every file below dst with its bytes.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> files;
    if (!fs::exists(dst)) return files;
    for (const auto& e : fs::recursive_directory_iterator(dst))
      if (e.is_regular_file())
        files[fs::relative(e.path(), dst).string()] = ReadWholeFile(e.path().string());
    return files;
  }
  std::string Dirs() const { return Quote(src) + " " + Quote(dst); }
};

TEST_F(CliBatchTest, MirrorsTheSubfolderTreeOfThePhotos) {
  fs::copy_file(kPhotos + "Path_by_Risto_Saukonpaa.jpg", src + "/path.jpg");
  fs::create_directories(src + "/mountains/high");
  fs::copy_file(kPhotos + "Path_by_Risto_Saukonpaa.jpg", src + "/mountains/high/Path Copy.JPG");
  Put("mountains/small.bmp", Bmp(40, 30, 9));
  Put("notes.txt", "not an image");
  const TCliRun run = Batch("--longer 320 --recursive " + Dirs());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  const auto tree = Tree();
  ASSERT_EQ(tree.size(), 3u) << run.out;
  EXPECT_TRUE(tree.count("path.jpg"));
  EXPECT_TRUE(tree.count("mountains/high/Path Copy.jpg"));
  EXPECT_TRUE(tree.count("mountains/small.jpg"));
  EXPECT_EQ(tree.at("path.jpg"), tree.at("mountains/high/Path Copy.jpg"));
  TJPEGImage jpeg;
  jpeg.LoadFromFile(dst + "/path.jpg");
  EXPECT_EQ(std::max(jpeg.Width(), jpeg.Height()), 320);
  EXPECT_NE(run.out.find("Successfully saved 3 of 3 images!"), std::string::npos) << run.out;
  EXPECT_NE(
      run.out.find("mountains/small.bmp: Saved " + dst + "/mountains/small.jpg successfully ("),
      std::string::npos)
      << run.out;
}

TEST_F(CliBatchTest, WithoutRecursiveOnlyTheTopFolder) {
  Put("a.bmp", Bmp(8, 6, 1));
  Put("sub/b.bmp", Bmp(8, 6, 2));
  const TCliRun run = Batch("--no-resize " + Dirs());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(Tree().size(), 1u);
}

TEST_F(CliBatchTest, DirectCopyIsByteIdentical) {
  fs::copy_file(kPhotos + "Path_by_Risto_Saukonpaa.jpg", src + "/p.jpg");
  const TCliRun run = Batch("--no-resize " + Dirs());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(Tree().at("p.jpg"), ReadWholeFile(src + "/p.jpg"));
}

TEST_F(CliBatchTest, SkipExistingWritesNothingTheSecondTime) {
  for (int i = 0; i < 3; ++i)
    Put("sub" + std::to_string(i) + "/x.bmp", Bmp(16, 12, static_cast<uint8_t>(i)));
  ASSERT_EQ(Batch("--percent 50 --recursive --skip-existing " + Dirs()).exitCode, 0);
  const auto first = Tree();
  ASSERT_EQ(first.size(), 3u);
  std::map<std::string, fs::file_time_type> times;
  for (const auto& [name, bytes] : first)
    times[name] = fs::last_write_time(fs::path(dst) / name);
  const TCliRun again = Batch("--percent 50 --recursive --skip-existing " + Dirs());
  EXPECT_EQ(again.exitCode, 0) << again.out;
  EXPECT_NE(again.out.find("Saved 0 of 3 images: 3 skipped, 0 failed."), std::string::npos)
      << again.out;
  EXPECT_EQ(Tree(), first);
  for (const auto& [name, time] : times)
    EXPECT_EQ(fs::last_write_time(fs::path(dst) / name), time);
}

TEST_F(CliBatchTest, ExistingFilesAreKeptAndReportedUnlessOverwriteIsGiven) {
  Put("a.bmp", Bmp(8, 6, 1));
  Put("b.bmp", Bmp(8, 6, 2));
  fs::create_directories(dst);
  WriteFileAtomically(dst + "/a.jpg", "old");
  const TCliRun kept = Batch("--no-resize " + Dirs());
  EXPECT_EQ(kept.exitCode, 0) << kept.out;
  EXPECT_NE(kept.out.find("a.bmp: Destination file already exists, kept."), std::string::npos)
      << kept.out;
  EXPECT_NE(kept.out.find("Saved 1 of 2 images: 1 skipped, 0 failed."), std::string::npos)
      << kept.out;
  EXPECT_EQ(ReadWholeFile(dst + "/a.jpg"), "old");
  const TCliRun replaced = Batch("--no-resize --overwrite " + Dirs());
  EXPECT_EQ(replaced.exitCode, 0) << replaced.out;
  EXPECT_NE(replaced.out.find("Successfully saved 2 of 2 images!"), std::string::npos);
  EXPECT_NE(ReadWholeFile(dst + "/a.jpg"), "old");
}

TEST_F(CliBatchTest, AFailingImageDoesNotStopTheOthers) {
  Put("a.bmp", Bmp(8, 6, 1));
  Put("b.bmp", "broken");
  Put("c.bmp", Bmp(8, 6, 3));
  const TCliRun run = Batch("--no-resize --jobs 1 " + Dirs());
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_EQ(Tree().size(), 2u);
  EXPECT_NE(run.out.find("[2/3] b.bmp: error: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Saved 2 of 3 images: 0 skipped, 1 failed."), std::string::npos)
      << run.out;
}

// A damaged source is converted as far as it decodes; its line says so, the others do not.
TEST_F(CliBatchTest, ADamagedSourceIsSavedWithAWarningOnItsLine) {
  const std::string full = ReadWholeFile(kPhotos + "Path_by_Risto_Saukonpaa.jpg");
  Put("a.bmp", Bmp(8, 6, 1));
  Put("cut.jpg", full.substr(0, full.size() / 3));
  const TCliRun run = Batch("--longer 100 --jobs 1 " + Dirs());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(Tree().size(), 2u);
  const size_t line = run.out.find("[2/2] cut.jpg: Saved ");
  ASSERT_NE(line, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Warning: The image data of cut.jpg is damaged"),
            run.out.find(". Warning: ", line) + 2)
      << run.out;
  EXPECT_EQ(run.out.find("Warning"), run.out.find("Warning", line)) << run.out;
}

TEST_F(CliBatchTest, OutputDoesNotDependOnTheNumberOfJobs) {
  for (int i = 0; i < 7; ++i)
    Put((i % 2 ? "odd/" : "") + std::to_string(i) + ".bmp",
        Bmp(30 + i, 20 + i, static_cast<uint8_t>(i)));
  // Two sources with one destination name: the later one meets the earlier one's file.
  Put("same.bmp", Bmp(10, 10, 1));
  Put("same.BMP", Bmp(12, 12, 2));
  const TCliRun one = Batch("--percent 70 --recursive --overwrite --jobs 1 " + Dirs());
  ASSERT_EQ(one.exitCode, 1) << one.out;
  const auto sequential = Tree();
  fs::remove_all(dst);
  const TCliRun three = Batch("--percent 70 --recursive --overwrite --jobs 3 " + Dirs());
  ASSERT_EQ(three.exitCode, 1) << three.out;
  EXPECT_EQ(Tree(), sequential);
  EXPECT_EQ(one.out, three.out);
}

// b.JPG and b.jpg go to one file: named before the run, only the first saved, whatever the
// overwrite option, and the run is no success.
TEST_F(CliBatchTest, CollidingNamesNeverReplaceEachOther) {
  Put("b.JPG", Jpeg(8, 6));
  Put("b.jpg", Jpeg(10, 6));
  Put("c.bmp", Bmp(8, 6, 3));
  for (const char* option : {"", "--overwrite ", "--skip-existing "}) {
    SCOPED_TRACE(option);
    fs::remove_all(dst);
    const TCliRun run = Batch(std::string("--no-resize --jobs 2 ") + option + Dirs());
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_EQ(run.out.rfind("picaxo-cli batch: warning: b.JPG and b.jpg go to the same file " +
                                dst + "/b.jpg; only the first is saved\n",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("[2/3] b.jpg: error: Not saved: b.jpg and b.JPG both go to"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nSaved 2 of 3 images: 0 skipped, 1 failed.\n"), std::string::npos)
        << run.out;
    TJPEGImage jpeg;
    jpeg.LoadFromFile(dst + "/b.jpg");
    EXPECT_EQ(jpeg.Width(), 8);  // from b.JPG, the first in the list
  }
}

TEST_F(CliBatchTest, ARunWhereEveryImageFailedIsNoSuccess) {
  Put("a.bmp", "broken");
  Put("b.jpg", "broken too");
  const TCliRun run = Batch("--no-resize " + Dirs());
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_EQ(run.out.find("Successfully"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("[1/2] a.bmp: error: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("[2/2] b.jpg: error: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Saved 0 of 2 images: 0 skipped, 2 failed."), std::string::npos)
      << run.out;
}

// Run twice into a folder inside the source: the second run must not take the first run's
// outputs for sources. "--" ends the options.
TEST_F(CliBatchTest, ADestinationInsideTheSourceIsNotScanned) {
  Put("a.bmp", Bmp(8, 6, 1));
  Put("sub/b.bmp", Bmp(8, 6, 2));
  const std::string out = src + "/out";
  for (int pass = 0; pass < 2; ++pass) {
    const TCliRun run =
        Batch("--no-resize --recursive --skip-existing -- " + Quote(src) + " " + Quote(out));
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out.find("] out/"), std::string::npos) << run.out;  // no line for an output
    EXPECT_NE(run.out.find(pass == 0 ? "Successfully saved 2 of 2 images!"
                                     : "Saved 0 of 2 images: 2 skipped, 0 failed."),
              std::string::npos)
        << run.out;
  }
  EXPECT_TRUE(fs::exists(out + "/sub/b.jpg"));
  EXPECT_FALSE(fs::exists(out + "/out"));
}

TEST_F(CliBatchTest, SameFolderIsRefusedPerImage) {
  Put("a.bmp", Bmp(8, 6, 1));
  const TCliRun run = Batch("--no-resize '" + src + "' '" + src + "/'");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("You cannot use the same folder for source and destination files."),
            std::string::npos)
      << run.out;
}

TEST_F(CliBatchTest, AMissingOrWrongSourceFolderIsAnErrorNamingIt) {
  const std::string missing = scratch_ / "no such";
  const TCliRun run = Batch(Quote(missing) + " " + Quote(dst));
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_EQ(run.out, "picaxo-cli batch: " + missing + ": no such folder\n");
  Put("a.bmp", Bmp(8, 6, 1));
  const TCliRun file = Batch(Quote(src + "/a.bmp") + " " + Quote(dst));
  EXPECT_EQ(file.exitCode, 1) << file.out;
  EXPECT_EQ(file.out, "picaxo-cli batch: " + src + "/a.bmp: not a folder\n");
  EXPECT_FALSE(fs::exists(dst));
}

TEST_F(CliBatchTest, TopLevelImagesPrintCleanPaths) {
  Put("a.bmp", Bmp(8, 6, 1));
  const TCliRun run = Batch("--no-resize " + Quote(src) + " " + Quote(dst + "/"));
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("a.bmp: Saved " + dst + "/a.jpg successfully ("), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("//"), std::string::npos) << run.out;
}

// Folder permissions do not bind the superuser: the command then runs as nobody.
TCliRun BatchUnprivileged(const std::string& arguments) {
  std::string prefix;
  if (::geteuid() == 0) prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  TCliRun run;
  FILE* pipe = ::popen((prefix + PICAXO_CLI + " batch " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
    run.out.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST_F(CliBatchTest, UnreadableSubfoldersAreReportedAndFailTheRun) {
  Put("a.bmp", Bmp(8, 6, 1));
  Put("locked/b.bmp", Bmp(8, 6, 2));
  Put("open/shut/c.bmp", Bmp(8, 6, 3));
  for (const fs::path& p : {dir_, fs::path(src), fs::path(src) / "open"})
    fs::permissions(p, fs::perms::all);
  fs::permissions(fs::path(src) / "locked", fs::perms::none);
  fs::permissions(fs::path(src) / "open/shut", fs::perms::none);
  const TCliRun run = BatchUnprivileged("--no-resize --recursive " + Dirs());
  if (run.exitCode == 127 || run.out.find("setpriv:") != std::string::npos)
    GTEST_SKIP() << "privileges cannot be dropped: " << run.out;
  EXPECT_EQ(run.exitCode, 1) << run.out;
  for (const std::string folder : {"/locked", "/open/shut"})
    EXPECT_NE(run.out.find("picaxo-cli batch: warning: Could not iterate through files in " + src +
                           folder + "\n"),
              std::string::npos)
        << run.out;
  // The readable image is still saved.
  EXPECT_NE(run.out.find("Successfully saved 1 of 1 images!"), std::string::npos) << run.out;
  EXPECT_EQ(Tree().size(), 1u);
}

TEST_F(CliBatchTest, UsageErrors) {
  EXPECT_EQ(Batch("").exitCode, 2);
  EXPECT_EQ(Batch("'" + src + "'").exitCode, 2);
  EXPECT_EQ(Batch("--overwrite --skip-existing " + Dirs()).exitCode, 2);
  EXPECT_EQ(Batch("--jobs 0 " + Dirs()).exitCode, 2);
  EXPECT_EQ(Batch("--bogus " + Dirs()).exitCode, 2);
  EXPECT_EQ(Batch("--help").exitCode, 0);
  const TCliRun empty = Batch(Dirs());
  EXPECT_EQ(empty.exitCode, 0);
  EXPECT_NE(empty.out.find("No files in current folder!"), std::string::npos);
}

}  // namespace
}  // namespace picaxo

namespace picaxo {
namespace {

TEST_F(CliBatchTest, ABrokenColourProfileIsNamedOnTheImagesOwnLine) {
  // A photo whose one profile chunk claims to be chunk 2 of 2.
  TRasterImage raster(16, 8);
  TJPEGImage jpeg;
  jpeg.Assign(raster);
  jpeg.Compress();
  std::string icc("ICC_PROFILE\0\x02\x02", 14);
  icc.append(200, 'p');
  Put("a.jpg", InsertSegmentsAfterApp0(jpeg.CompressedData(), MakeSegment(0xE2, icc)));
  Put("b.bmp", Bmp(8, 6, 1));
  const TCliRun run = Batch("--longer 10 --metadata keep " + Dirs());
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("[1/2] a.jpg: Saved "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" warning: the colour profile was ignored: its chunks are missing or "
                         "inconsistent\n[2/2] b.bmp: Saved"),
            std::string::npos)
      << run.out;
}

}  // namespace
}  // namespace picaxo
