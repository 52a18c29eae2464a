#include "jobs/folder_scan.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "base/file_util.h"
#include "imaging/pipeline.h"
#include "lossless/jpeg_rotate.h"

#include "jobs_test_util.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;

using namespace testing;

std::vector<std::string> Scan(const std::string& folder, bool recursive,
                              std::vector<std::string>* unreadable = nullptr) {
  std::vector<TScannedFile> files;
  std::vector<std::string> unreadableFolders;
  ScanFolder(folder, recursive, files, unreadableFolders);
  if (unreadable) *unreadable = unreadableFolders;
  EXPECT_TRUE(unreadable || unreadableFolders.empty());
  std::vector<std::string> names;
  for (const TScannedFile& f : files)
    names.push_back(f.FileName);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FolderScan, ListsJpgAndBmpInAnyCaseOnly) {
  TScratchFolder dir;
  for (const char* name :
       {"a.JPG", "b.bmp", "c.jpeg", "d.txt", "e.Bmp", "jpg", "f.jpg.txt", "g.Png", "h.webp",
        "i.HEIC", "j.heif", "k.avif", "l.tif", "m.TIFF", "n.png.bak", "tiff"})
    WriteFile(dir / name, "x");
  std::vector<std::string> listed = Scan(dir.Path(), false);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed,
            (std::vector<std::string>{dir / "a.JPG", dir / "b.bmp", dir / "c.jpeg", dir / "e.Bmp",
                                      dir / "g.Png", dir / "h.webp", dir / "i.HEIC", dir / "j.heif",
                                      dir / "k.avif", dir / "l.tif", dir / "m.TIFF"}));
}

// A named pipe or a device under a photo's name is no photo (listed, it hung every batch), nor is
// a temporary file a killed writer left behind. A link to a photo is one.
TEST(FolderScan, ListsOnlyRegularFilesAndNoTemporaryOnes) {
  TScratchFolder dir;
  WriteFile(dir / "a.jpg", "x");
  ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", dir / "zero.bmp");
  fs::create_symlink(dir / "a.jpg", dir / "link.jpg");
  WriteFile(dir / ".picaxo-Ab12Cd.tmp", "half a rotation");
  EXPECT_EQ(Scan(dir.Path(), true), (std::vector<std::string>{dir / "a.jpg", dir / "link.jpg"}));
}

// A rotation killed at any moment leaves the photo whole, turned or not, and nothing that a later
// run would take for a photo (it used to leave temp1.jpg, which the next batch converted).
TEST(FolderScan, AKilledRotationLeavesNothingToList) {
  TScratchFolder dir;
  const std::string photo = dir / "photo.jpg";
  const std::string original =
      std::string(PICAXO_TESTDATA) + "/photos/Kleiber_by_Lukas_Baubkus.jpg";
  WriteFile(photo, ReadFile(original));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      for (;;)
        RotateJPEGFile(photo, kRotateRight);
    } catch (...) {
    }
    ::_exit(1);
  }
  // Killed while its temporary file exists, as a crash would catch it.
  bool seenTemporary = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!seenTemporary && std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir.Path(), ec))
      seenTemporary = seenTemporary || e.path().filename() != "photo.jpg";
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(seenTemporary);
  EXPECT_EQ(Scan(dir.Path(), true), std::vector<std::string>{photo});
  bool damaged = true;
  const TRasterImage picture = LoadSourceImage(photo, &damaged);
  EXPECT_FALSE(damaged);
  const auto [width, height] = JpegSize(original);
  EXPECT_EQ(int64_t{picture.Width()} * picture.Height(), int64_t{width} * height);
}

TEST(FolderScan, ReportsTheSizeOfEachFile) {
  TScratchFolder dir;
  WriteFile(dir / "a.jpg", std::string(1234, 'x'));
  std::vector<TScannedFile> files;
  std::vector<std::string> unreadable;
  ScanFolder(dir.Path(), false, files, unreadable);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].FileSize, 1234);
}

TEST(FolderScan, DescendsIntoSubfoldersOnlyWhenRecursive) {
  TScratchFolder dir;
  WriteFile(dir / "a.jpg", "x");
  WriteFile(dir / "sub/b.jpg", "x");
  WriteFile(dir / "sub/deeper/c.bmp", "x");
  fs::create_directories(dir / "empty.jpg");  // a folder with an image's name is not an image
  EXPECT_EQ(Scan(dir.Path(), false), (std::vector<std::string>{dir / "a.jpg"}));
  EXPECT_EQ(Scan(dir.Path(), true),
            (std::vector<std::string>{dir / "a.jpg", dir / "sub/b.jpg", dir / "sub/deeper/c.bmp"}));
}

TEST(FolderScan, DoesNotFollowFolderLinksSoACycleEnds) {
  TScratchFolder dir;
  WriteFile(dir / "sub/b.jpg", "x");
  fs::create_directory_symlink(dir.Path(), dir / "sub/loop");
  EXPECT_EQ(Scan(dir.Path(), true), (std::vector<std::string>{dir / "sub/b.jpg"}));
}

TEST(FolderScan, MissingFolderGivesNothingWithoutError) {
  TScratchFolder dir;
  EXPECT_TRUE(Scan(dir / "missing", true).empty());
  EXPECT_TRUE(Scan("", true).empty());
}

// Runs check in a child process that holds no privileges, so that folder permissions bind it
// even when the tests run as the superuser. Returns the child's verdict, or skips.
#define EXPECT_IN_UNPRIVILEGED_CHILD(check)                                              \
  do {                                                                                   \
    const pid_t child = ::fork();                                                        \
    ASSERT_GE(child, 0);                                                                 \
    if (child == 0) {                                                                    \
      if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(77); \
      _exit((check) ? 0 : 1);                                                            \
    }                                                                                    \
    int status = 0;                                                                      \
    ::waitpid(child, &status, 0);                                                        \
    ASSERT_TRUE(WIFEXITED(status));                                                      \
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "privileges cannot be dropped";       \
    EXPECT_EQ(WEXITSTATUS(status), 0) << #check;                                         \
  } while (false)

TEST(FolderScan, UnreadableFolders) {
  TScratchFolder dir;
  WriteFile(dir / "a.jpg", JpegBytes(8, 8));  // the state loads it after the scan
  WriteFile(dir / "locked/b.jpg", "x");
  WriteFile(dir / "locked/inner/c.jpg", "x");
  WriteFile(dir / "open/d.jpg", "x");
  WriteFile(dir / "open/shut/e.jpg", "x");
  // The scratch folder must be reachable for the unprivileged child.
  fs::permissions(dir.Path(), fs::perms::all);
  fs::permissions(dir / "open", fs::perms::all);
  fs::permissions(dir / "locked", fs::perms::none);
  fs::permissions(dir / "open/shut", fs::perms::none);
  // Unreadable subfolders are skipped, each one reported; the scan goes on with the others.
  auto subfoldersReported = [&] {
    std::vector<std::string> unreadable;
    const std::vector<std::string> listed = Scan(dir.Path(), true, &unreadable);
    std::sort(unreadable.begin(), unreadable.end());
    return listed == std::vector<std::string>{dir / "a.jpg", dir / "open/d.jpg"} &&
           unreadable == std::vector<std::string>{dir / "locked", dir / "open/shut"};
  };
  EXPECT_IN_UNPRIVILEGED_CHILD(subfoldersReported());
  // The state keeps them for the window and names them in the status line after the scan.
  auto stateReports = [&] {
    TStateFixture f;
    f.Open(dir.Path(), true);
    std::vector<std::string> unreadable = f.state.UnreadableFolders();
    std::sort(unreadable.begin(), unreadable.end());
    return f.state.Count() == 2 &&
           f.status.back() == UnreadableFoldersText(f.state.UnreadableFolders()) &&
           unreadable == std::vector<std::string>{dir / "locked", dir / "open/shut"};
  };
  EXPECT_IN_UNPRIVILEGED_CHILD(stateReports());
  // Without recursion the subfolders are not read, so nothing is reported.
  EXPECT_IN_UNPRIVILEGED_CHILD(Scan(dir.Path(), false) == std::vector<std::string>{dir / "a.jpg"});
  // An unreadable top folder is an error naming it, with nothing listed.
  auto topFolderFails = [&] {
    std::vector<TScannedFile> files;
    std::vector<std::string> unreadable;
    try {
      ScanFolder(dir / "locked", false, files, unreadable);
    } catch (const std::exception& e) {
      return files.empty() &&
             std::string(e.what()) == "Could not iterate through files in " + (dir / "locked");
    }
    return false;
  };
  EXPECT_IN_UNPRIVILEGED_CHILD(topFolderFails());
}

TEST(FolderScan, UnreadableFoldersTextNamesTheFirstAndCountsTheOthers) {
  EXPECT_EQ(UnreadableFoldersText({}), "");
  EXPECT_EQ(UnreadableFoldersText({"/p/a"}), "Could not iterate through files in /p/a");
  EXPECT_EQ(UnreadableFoldersText({"/p/a", "/p/b"}),
            "Could not iterate through files in /p/a (and 1 other folder)");
  EXPECT_EQ(UnreadableFoldersText({"/p/a", "/p/b", "/p/c"}),
            "Could not iterate through files in /p/a (and 2 other folders)");
}

TEST(LongPathForm, IsAbsoluteNormalAndWithoutTrailingSeparator) {
  TScratchFolder dir;
  fs::create_directories(dir / "pics/sub");
  fs::create_directory_symlink(dir / "pics", dir / "link");
  EXPECT_EQ(LongPathForm(dir / "pics/"), dir / "pics");
  EXPECT_EQ(LongPathForm(dir / "pics/./sub/.."), dir / "pics");
  EXPECT_EQ(LongPathForm(dir / "link/sub"), dir / "pics/sub");
  EXPECT_EQ(LongPathForm(dir / "missing/x/"), dir / "missing/x");
  EXPECT_EQ(LongPathForm("/"), "/");
  EXPECT_EQ(LongPathForm(""), "");
  EXPECT_EQ(LongPathForm("relative"), (fs::current_path() / "relative").string());
}

TEST(ComparePaths, ClassicLocaleIsByteOrderAndCaseSensitive) {
  const std::locale& c = std::locale::classic();
  EXPECT_LT(ComparePaths("/p/A.jpg", "/p/a.jpg", c), 0);
  EXPECT_LT(ComparePaths("/p/Z.jpg", "/p/a.jpg", c), 0);
  EXPECT_EQ(ComparePaths("/p/a.jpg", "/p/a.jpg", c), 0);
}

// The list follows the user's collation, applied to full paths, and keeps names that differ in
// case apart.
TEST(ScanSourceFolder, SortsByFullPathWithTheUserCollation) {
  TScratchFolder dir;
  for (const char* name : {"z.jpg", "b.jpg", "B.jpg", "a.jpg", "A.jpg", "sub/b.jpg", "sub/A.bmp"})
    WriteFile(dir / name, "x");
  TStateFixture f;
  f.Open(dir.Path(), true);
  std::vector<std::string> names = f.Names();
  ASSERT_EQ(names.size(), 7u);
  const std::locale& locale = UserCollationLocale();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                             [&](auto& a, auto& b) { return ComparePaths(a, b, locale) < 0; }));
  // Subfolder images sit where the path sort puts them: after a.jpg, before z.jpg.
  auto pos = [&](const std::string& n) {
    return std::find(names.begin(), names.end(), dir / n) - names.begin();
  };
  EXPECT_LT(pos("a.jpg"), pos("sub/b.jpg"));
  EXPECT_LT(pos("sub/b.jpg"), pos("z.jpg"));
  if (std::locale("").name() == "C" || std::locale("").name() == "C.UTF-8" ||
      std::locale("").name() == "POSIX") {
    EXPECT_EQ(names,
              (std::vector<std::string>{dir / "A.jpg", dir / "B.jpg", dir / "a.jpg", dir / "b.jpg",
                                        dir / "sub/A.bmp", dir / "sub/b.jpg", dir / "z.jpg"}));
  }
}

// A destination inside the source holds the outputs of the last run: a recursive scan must not
// list them as sources, however the destination field is spelled.
TEST(ScanSourceFolder, LeavesOutTheDestinationFolderInsideTheSource) {
  TScratchFolder dir;
  for (const char* name : {"a.jpg", "sub/b.jpg", "out/a.jpg", "out/sub/b.jpg", "outer/c.jpg"})
    WriteFile(dir / name, "x");
  for (const std::string& field : {dir / "out", dir / "sub/../out/", dir / "out//"}) {
    SCOPED_TRACE(field);
    TStateFixture f;
    f.state.SetDestinationFolderField(field);
    f.Open(dir.Path(), true);
    EXPECT_EQ(f.Names(),
              (std::vector<std::string>{dir / "a.jpg", dir / "outer/c.jpg", dir / "sub/b.jpg"}));
  }
}

}  // namespace
}  // namespace picaxo
