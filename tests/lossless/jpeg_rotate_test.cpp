// Rotating a file in place: markers carried over, the replacement through a temporary file, and
// every failure leaving the source as it was.
#include "lossless/jpeg_rotate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <jerror.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "imaging/raster.h"
#include "lossless/jpeg_test_util.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

namespace fs = std::filesystem;
using testing::HeaderMarkers;
using testing::JpegRecipe;
using testing::MakeJpeg;
using testing::ReadCoefficients;
using testing::ReadFile;
using testing::WriteFile;

using Markers = std::vector<std::pair<int, std::string>>;

// A string of every byte of a literal, embedded zeros included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// Orientation 1: the markers of a file that is not turned by its tag are copied unchanged.
const std::string kExif = Bytes("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x01\0\0");
// The library's own JFIF header: version 1.01, units 0, density 1 x 1, no thumbnail.
const std::string kDefaultJfif = Bytes("JFIF\0\x01\x01\0\0\x01\0\x01\0\0");

// The library's text for a message code, as its error manager formats it.
std::string LibraryMessage(int code, int parm0 = 0, int parm1 = 0) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  err.msg_code = code;
  err.msg_parm.i[0] = parm0;
  err.msg_parm.i[1] = parm1;
  char text[JMSG_LENGTH_MAX];
  err.format_message(reinterpret_cast<j_common_ptr>(&cinfo), text);
  return text;
}

TEST(Markers, AppAndComSurviveInOrderAfterTheLibrarysOwnJfif) {
  JpegRecipe recipe;
  recipe.markers = {{JPEG_COM, "first comment"},
                    {JPEG_APP0 + 1, kExif},
                    {JPEG_APP0 + 2, Bytes("ICC_PROFILE\0\x01\x01") + std::string(300, 'p')},
                    {JPEG_COM, Bytes("second\0comment")},
                    {JPEG_APP0 + 15, std::string(65533, 'z')}};  // the longest a marker can be
  const std::string out = TransformJPEGData(MakeJpeg(recipe), TransformRot90).data;
  Markers expected = {{JPEG_APP0, kDefaultJfif}};
  expected.insert(expected.end(), recipe.markers.begin(), recipe.markers.end());
  EXPECT_EQ(HeaderMarkers(out), expected);
}

TEST(Markers, SourceWithoutJfifGetsTheLibrarysOne) {
  JpegRecipe recipe;
  recipe.jfif = false;
  recipe.markers = {{JPEG_APP0 + 1, kExif}};
  const Markers markers = HeaderMarkers(TransformJPEGData(MakeJpeg(recipe), TransformRot270).data);
  EXPECT_EQ(markers, (Markers{{JPEG_APP0, kDefaultJfif}, {JPEG_APP0 + 1, kExif}}));
}

TEST(Markers, RgbKeepsOneAdobeMarkerAndOtherApp0s) {
  JpegRecipe recipe;
  recipe.rgb = true;
  recipe.hY = recipe.vY = 1;
  const std::string jfxx = Bytes("JFXX\0\x13");  // an APP0 that is not the JFIF header
  recipe.markers = {{JPEG_APP0, jfxx}};
  const Markers markers = HeaderMarkers(TransformJPEGData(MakeJpeg(recipe), TransformRot90).data);
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].first, JPEG_APP0 + 14);
  EXPECT_EQ(markers[0].second.substr(0, 5), "Adobe");
  EXPECT_EQ(markers[1], (std::pair<int, std::string>{JPEG_APP0, jfxx}));
}

// A header of ten full-resolution components at just under the pixel limit is refused before the
// library allocates its coefficient arrays (tens of gigabytes), and a progressive file of hundreds
// of scans before the decoder spends minutes on them.
TEST(HostileInput, HugeComponentCountAndEndlessScansAreRefused) {
  std::string header = Bytes("\xFF\xD8\xFF\xDB\0\x43\0") + std::string(64, '\x01');
  header += Bytes("\xFF\xC0\0\x26\x08\x55\xF0\x55\xF0\x0A");  // 22000 x 22000, 10 components
  for (char id = 1; id <= 10; ++id)
    header += std::string{id, '\x11', '\0'};
  header += Bytes("\xFF\xDA\0\x08\x01\x01\0\0\x3F\0\0\0\0\0\xFF\xD9");
  try {
    TransformJPEGData(header, TransformRot90);
    ADD_FAILURE() << "no error";
  } catch (const ERasterTooLarge& e) {
    EXPECT_EQ(std::string(e.what()),
              "Image of 22000 x 22000 pixels with 10 components is too large to rotate");
  }

  JpegRecipe recipe;
  recipe.progressive = true;
  const std::string file = MakeJpeg(recipe);
  const std::string many = testing::RepeatLastScan(file, 600);
  EXPECT_THROW(
      {
        try {
          TransformJPEGData(many, TransformRot90);
        } catch (const EPicaxoError& e) {
          EXPECT_STREQ(e.what(), "The JPEG file has too many scans (more than 500)");
          throw;
        }
      },
      EPicaxoError);
}

// A fresh folder per test, made writable again before it is removed.
class RotateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("picaxo_rot_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "photo.jpg").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  void Put(const std::string& bytes) {
    WriteFile(path_, bytes);
    fs::last_write_time(path_, kOldTime);
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // The file must be exactly as it was: bytes, time, and no temporary file left beside it.
  void ExpectUntouched(const std::string& bytes) const {
    EXPECT_EQ(ReadFile(path_), bytes);
    EXPECT_EQ(fs::last_write_time(path_), kOldTime);
    EXPECT_EQ(Names(), std::vector<std::string>{"photo.jpg"});
  }

  std::string ErrorOf(const std::function<void()>& action) const {
    try {
      action();
    } catch (const EPicaxoError& e) {
      return e.what();
    }
    return "(no error)";
  }

  const fs::file_time_type kOldTime = fs::file_time_type::clock::now() -
                                      std::chrono::hours(24 * 900) + std::chrono::nanoseconds(123);
  fs::path dir_;
  std::string path_;
};

TEST_F(RotateFile, GoesThroughAHiddenTempFileAndKeepsTimeAndMode) {
  WriteFile((dir_ / "temp1.jpg").string(), "one");
  WriteFile((dir_ / "temp2.jpg").string(), "two");
  JpegRecipe recipe;
  recipe.width = 53;
  recipe.height = 37;
  const std::string source = MakeJpeg(recipe);
  Put(source);
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir_.c_str(), IN_CREATE | IN_MOVED_FROM | IN_DELETE), 0);
  EXPECT_EQ(RotateJPEGFile(path_, kRotateRight), 0);
  std::vector<std::string> events;
  alignas(inotify_event) char buffer[8192];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      const char* kind = (event->mask & IN_CREATE)       ? "create "
                         : (event->mask & IN_MOVED_FROM) ? "move "
                                                         : "delete ";
      events.push_back(kind + std::string(event->len ? event->name : ""));
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  // Written under a hidden name that no scan takes for a photo, then renamed over the photo in
  // one step (never deleted first). Files named like the old temporary names are left alone.
  ASSERT_EQ(events.size(), 2u);
  const std::string temp = events[0].substr(std::string("create ").size());
  EXPECT_TRUE(IsTemporaryFileName(temp)) << temp;
  EXPECT_EQ(temp.front(), '.');
  EXPECT_EQ(events, (std::vector<std::string>{"create " + temp, "move " + temp}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"photo.jpg", "temp1.jpg", "temp2.jpg"}));
  EXPECT_EQ(ReadFile((dir_ / "temp1.jpg").string()), "one");

  EXPECT_EQ(fs::last_write_time(path_), kOldTime);
  EXPECT_EQ(fs::status(path_).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const testing::Coefficients rotated = ReadCoefficients(ReadFile(path_));
  EXPECT_EQ(rotated.width, 37u);
  EXPECT_EQ(rotated.height, 53u);
  EXPECT_EQ(ReadCoefficients(ReadFile(path_)).components[0].blocks,
            ReadCoefficients(TransformJPEGData(source, TransformRot90).data).components[0].blocks);
}

TEST_F(RotateFile, PhotoWithCameraMarkersTurnsRightAndBack) {
  const std::string original = ReadFile(PICAXO_TESTDATA "/photos/Path_by_Risto_Saukonpaa.jpg");
  Put(original);
  EXPECT_EQ(RotateJPEGFile(path_, kRotateRight), 0);
  const std::string right = ReadFile(path_);
  EXPECT_EQ(ReadCoefficients(right).width, 1600u);
  EXPECT_EQ(RotateJPEGFile(path_, kRotateLeft), 0);
  const std::string back = ReadFile(path_);
  const testing::Coefficients a = ReadCoefficients(original);
  const testing::Coefficients b = ReadCoefficients(back);
  ASSERT_EQ(a.components.size(), b.components.size());
  for (size_t ci = 0; ci < a.components.size(); ++ci)
    EXPECT_EQ(a.components[ci].blocks, b.components[ci].blocks);
  // COM, EXIF, ICC and XMP byte for byte and in order; only the JFIF header is the library's.
  Markers expected = HeaderMarkers(original);
  ASSERT_EQ(expected.front().first, JPEG_APP0);
  expected.front().second = kDefaultJfif;
  EXPECT_EQ(HeaderMarkers(right), expected);
  EXPECT_EQ(HeaderMarkers(back), expected);
  EXPECT_EQ(fs::last_write_time(path_), kOldTime);
}

// Rotating would write only what the decoder could read, grey blocks for the rest: a damaged
// file is left byte for byte as it was, and the user is told why.
TEST_F(RotateFile, DamagedDataIsNotRotated) {
  JpegRecipe recipe;
  recipe.width = 64;
  recipe.height = 48;
  const std::string source = MakeJpeg(recipe);
  std::string damaged = source;
  const size_t middle =
      damaged.rfind("\xFF\xDA") + (damaged.size() - damaged.rfind("\xFF\xDA")) / 2;
  damaged[middle] = '\xFF';  // a marker inside the entropy data
  damaged[middle + 1] = '\xD5';
  for (const std::string& bytes : {source.substr(0, source.size() * 2 / 3), damaged}) {
    Put(bytes);
    try {
      RotateJPEGFile(path_, kRotateLeft);
      ADD_FAILURE() << "rotated";
    } catch (const EDamagedJPEG& e) {
      EXPECT_EQ(std::string(e.what()),
                "The image data of photo.jpg is damaged (corrupt or missing data): part of the "
                "picture may be grey or wrong. It was not rotated, so that nothing more is lost; "
                "the file is unchanged");
    }
    ExpectUntouched(bytes);
  }
}

TEST_F(RotateFile, UnreadableImagesGiveTheLibrarysMessageAndChangeNothing) {
  struct Case {
    std::string bytes;
    std::string message;
  };
  JpegRecipe recipe;
  std::string noHeight = MakeJpeg(recipe);
  const size_t sof = noHeight.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  noHeight[sof + 5] = noHeight[sof + 6] = '\0';  // frame height 0
  const std::vector<Case> cases = {
      {"PK\x03\x04 not a picture", LibraryMessage(JERR_NO_SOI, 0x50, 0x4B)},
      {"", LibraryMessage(JERR_INPUT_EMPTY)},
      {noHeight, LibraryMessage(JERR_EMPTY_IMAGE)},
  };
  for (const Case& c : cases) {
    Put(c.bytes);
    EXPECT_EQ(ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); }), c.message);
    ExpectUntouched(c.bytes);
  }
}

// A read-only folder, or a read-only file in a writable folder (the rename alone would replace it).
TEST_F(RotateFile, ReadOnlyFolderOrFileGivesTheSavingErrorAndKeepsTheSource) {
  const std::string source = MakeJpeg(JpegRecipe{});
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  for (const bool fileReadOnly : {false, true}) {
    SCOPED_TRACE(fileReadOnly ? "read-only file" : "read-only folder");
    fs::permissions(dir_, fs::perms::all);
    std::error_code absent;  // on the first round
    fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add, absent);
    Put(source);
    fs::permissions(path_, fileReadOnly ? readOnly : readOnly | fs::perms::owner_write);
    fs::permissions(dir_, fileReadOnly ? fs::perms::all : readOnly | exec);
    std::string message;
    if (::geteuid() != 0) {
      message = ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); });
    } else {
      // Permissions do not bind root: try it as an unprivileged user in a child process.
      int pipeFds[2];
      ASSERT_EQ(::pipe(pipeFds), 0);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::close(pipeFds[0]);
        std::string text = "(could not drop privileges)";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0)
          text = ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); });
        [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(0);
      }
      ::close(pipeFds[1]);
      char buffer[1024];
      for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<size_t>(n));
      ::close(pipeFds[0]);
      ::waitpid(child, nullptr, 0);
    }
    if (message == "(could not drop privileges)") GTEST_SKIP() << message;
    EXPECT_EQ(message, "Error saving image to " + path_ + ":\nPermission denied");
    ExpectUntouched(source);
  }
}

TEST_F(RotateFile, VanishedSourceIsNotBroughtBack) {
  EXPECT_NE(ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); }), "(no error)");
  EXPECT_TRUE(Names().empty());
  // Gone between reading and replacing.
  TSourceFileState state;
  state.modificationTime = kOldTime;
  EXPECT_EQ(ErrorOf([&] { ReplaceSourceFile(path_, "rotated bytes", state); }),
            "Error saving image to " + path_ + ":\nNo such file or directory");
  EXPECT_TRUE(Names().empty());
}

TEST_F(RotateFile, FileLockedByAWriterIsLeftAlone) {
  const std::string source = MakeJpeg(JpegRecipe{});
  Put(source);
  const int writer = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  EXPECT_NE(ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); }), "(no error)");
  ::close(writer);
  ExpectUntouched(source);
}

// Neither waits for a writer of a named pipe nor reads a huge (sparse) file into memory.
TEST_F(RotateFile, PipeAndHugeFileAreRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
  EXPECT_EQ(ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); }),
            "Cannot read \"" + path_ + "\": it is a named pipe, not a regular file");
  fs::remove(path_);
  Put(MakeJpeg(JpegRecipe{}));
  fs::resize_file(path_, std::uintmax_t{5} << 30);
  EXPECT_EQ(ErrorOf([&] { RotateJPEGFile(path_, kRotateRight); }),
            "Cannot read \"" + path_ + "\": the file is larger than 4 GB");
  EXPECT_EQ(Names(), std::vector<std::string>{"photo.jpg"});
}

// A few hundred bytes claiming 22000 x 22000 pixels used to cost 2.8 GB and replace the photo by a
// 7.5 MB grey picture; they are refused as damaged before the coefficients are allocated.
TEST_F(RotateFile, JpegBombsAreRefusedBeforeAllocatingAndLeftAlone) {
  for (const auto& [shape, bytes] : testing::JpegBombs()) {
    SCOPED_TRACE(shape);
    Put(bytes);
    EXPECT_EQ(testing::RunInChild(
                  [&] {
                    RotateJPEGFile(path_, kRotateRight);
                    return std::string("(rotated)");
                  },
                  60, size_t{256} << 20),
              "The JPEG file is damaged: its header claims 22000 x 22000 pixels, far more than "
              "its " +
                  std::to_string(bytes.size()) + " bytes can hold");
    ExpectUntouched(bytes);
  }
}

// Run by root, a rotation gave a photo of another user to root and dropped its attributes: the
// owner could no longer read it. Owner, group, mode, an extended attribute and an access ACL stay.
TEST_F(RotateFile, OwnerGroupAttributesAndAclAreKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file away";
  Put(MakeJpeg(JpegRecipe{}));
  ASSERT_EQ(::chown(path_.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  if (::setxattr(path_.c_str(), "user.origin", "camera", 6, 0) != 0)
    GTEST_SKIP() << "no extended attributes here";
  // Version 2; owner rw, user 1000 r, group r, mask r, others nothing.
  std::string acl;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      acl += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);
  for (const auto& [tag, perm, id] : std::vector<std::array<uint32_t, 3>>{{0x01, 6, 0xFFFFFFFF},
                                                                          {0x02, 4, 1000},
                                                                          {0x04, 4, 0xFFFFFFFF},
                                                                          {0x10, 4, 0xFFFFFFFF},
                                                                          {0x20, 0, 0xFFFFFFFF}}) {
    put(tag, 2);
    put(perm, 2);
    put(id, 4);
  }
  const bool haveAcl =
      ::setxattr(path_.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  fs::last_write_time(path_, kOldTime);
  struct stat before {};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);

  std::vector<std::string> notKept{"(not set)"};
  EXPECT_EQ(RotateJPEGFile(path_, kRotateRight, true, &notKept), 0);
  EXPECT_EQ(notKept, std::vector<std::string>{});
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file: the rename happened
  EXPECT_EQ(after.st_uid, 65534u);
  EXPECT_EQ(after.st_gid, 65534u);
  EXPECT_EQ(after.st_mode, before.st_mode);
  char value[64] = {};
  EXPECT_EQ(::getxattr(path_.c_str(), "user.origin", value, sizeof value), 6);
  EXPECT_STREQ(value, "camera");
  if (haveAcl) {
    std::string kept(acl.size() + 16, '\0');
    const ssize_t n =
        ::getxattr(path_.c_str(), "system.posix_acl_access", kept.data(), kept.size());
    ASSERT_GT(n, 0);
    kept.resize(static_cast<size_t>(n));
    EXPECT_EQ(kept, acl);
  }
  EXPECT_EQ(fs::last_write_time(path_), kOldTime);
}

// A user who may not give the file its group back still rotates it, and is told what was lost.
TEST_F(RotateFile, AGroupThatCannotBeKeptIsReported) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs a file of a group its user is not in";
  const std::string source = MakeJpeg(JpegRecipe{});
  Put(source);
  ASSERT_EQ(::chown(path_.c_str(), 65534, 0), 0);
  ASSERT_EQ(::chmod(path_.c_str(), 0664), 0);
  fs::permissions(dir_, fs::perms::all);
  const std::string notes = testing::RunInChild(
      [&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return std::string("(no user)");
        std::vector<std::string> notKept;
        RotateJPEGFile(path_, kRotateRight, true, &notKept);
        std::string text;
        for (const std::string& note : notKept)
          text += note + "\n";
        return text;
      },
      60);
  if (notes == "(no user)") GTEST_SKIP() << notes;
  EXPECT_EQ(notes, "the group could not be kept: Operation not permitted\n");
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, 65534u);
  EXPECT_NE(ReadFile(path_), source);  // rotated all the same
}

TEST_F(RotateFile, SymbolicLinkStaysALink) {
  JpegRecipe recipe;
  recipe.width = 32;
  recipe.height = 16;
  Put(MakeJpeg(recipe));
  const fs::path link = dir_ / "link.jpg";
  fs::create_symlink("photo.jpg", link);
  EXPECT_EQ(RotateJPEGFile(link.string(), kRotateRight), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadCoefficients(ReadFile(path_)).width, 16u);
}

}  // namespace
}  // namespace picaxo
