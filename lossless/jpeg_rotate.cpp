#include "lossless/jpeg_rotate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include "base/error.h"
#include "base/file_util.h"
#include "imaging/exif_orientation.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_glue.h"
#include "imaging/raster.h"

namespace picaxo {

namespace fs = std::filesystem;

namespace {

// Coefficient blocks of one set of arrays that a transformation may hold: as many as a
// three-component image at the raster limit, so that a small hostile header (say ten
// full-resolution components) cannot make the library allocate tens of gigabytes.
constexpr int64_t kMaxCoefficientBlocks = kMaxRasterPixels / (DCTSIZE * DCTSIZE) * 3;

// Throws when the source's coefficient arrays (padded to whole iMCUs, as the library allocates
// them) would exceed kMaxCoefficientBlocks. Valid once jpeg_read_header has returned.
void CheckCoefficientSize(const jpeg_decompress_struct& src) {
  int64_t blocks = 0;
  for (int ci = 0; ci < src.num_components; ++ci) {
    const jpeg_component_info& comp = src.comp_info[ci];
    const int64_t h = comp.h_samp_factor;
    const int64_t v = comp.v_samp_factor;
    blocks += (comp.width_in_blocks + h - 1) / h * h * ((comp.height_in_blocks + v - 1) / v * v);
  }
  if (blocks > kMaxCoefficientBlocks)
    throw ERasterTooLarge("Image of " + std::to_string(src.image_width) + " x " +
                          std::to_string(src.image_height) + " pixels with " +
                          std::to_string(src.num_components) +
                          " components is too large to rotate");
}

// The two library objects of one transformation, destroyed on every path.
class TransformSession {
 public:
  TransformSession() {
    InitJpegErrorManager(srcErr_, &jump_);
    InitJpegErrorManager(dstErr_, &jump_);
    src_.err = &srcErr_.pub;
    dst_.err = &dstErr_.pub;
  }
  ~TransformSession() {
    if (dstCreated_) jpeg_destroy_compress(&dst_);
    if (srcCreated_) jpeg_destroy_decompress(&src_);
  }
  TransformSession(const TransformSession&) = delete;
  TransformSession& operator=(const TransformSession&) = delete;

  // With `owner` (the string jpeg views), the source bytes are freed once the coefficients are in
  // memory: the library reads no more input after that. Fatal library errors leave through
  // longjmp to the setjmp here; only frames without destructors lie in between.
  void Run(std::string_view jpeg, TTransformCode code, std::string& output, std::string* owner) {
    if (setjmp(jump_) != 0) Fail();
    jpeg_create_decompress(&src_);
    srcCreated_ = true;
    jpeg_create_compress(&dst_);
    dstCreated_ = true;
    LimitJpegScans(src_, progress_);

    TTransformInfo info;
    info.Transform = code;
    info.OnDemand = true;  // no workspace: one set of coefficient arrays in memory
    jpeg_mem_src(&src_, reinterpret_cast<const unsigned char*>(jpeg.data()),
                 static_cast<unsigned long>(jpeg.size()));
    SetupMarkerCopy(&src_, CopyAll);
    jpeg_read_header(&src_, TRUE);
    CheckRasterSize(src_.image_width, src_.image_height);
    CheckCoefficientSize(src_);
    // A few hundred bytes claiming hundreds of megapixels would become gigabytes of coefficients
    // and a file of grey blocks in place of the photo.
    const std::string refusal = JpegSizeRefusal(src_, jpeg.size());
    if (!refusal.empty()) throw EPicaxoError(refusal);
    RequestWorkspace(&src_, info);
    jvirt_barray_ptr* srcCoefs = jpeg_read_coefficients(&src_);
    // The output is about as large as the input; start there to avoid most regrowth.
    const size_t initialSize = jpeg.size() + jpeg.size() / 8 + 65536;
    if (owner != nullptr) std::string().swap(*owner);

    jpeg_copy_critical_parameters(&src_, &dst_);
    // The output carries the library's own JFIF header, not the source's version and density.
    dst_.JFIF_major_version = 1;
    dst_.JFIF_minor_version = 1;
    dst_.density_unit = 0;
    dst_.X_density = 1;
    dst_.Y_density = 1;
    jvirt_barray_ptr* dstCoefs = AdjustParameters(&src_, &dst_, srcCoefs, info);

    SetJpegStringDestination(dst_, dest_, output, initialSize);

    jpeg_write_coefficients(&dst_, dstCoefs);
    ExecuteMarkerCopy(&src_, &dst_);
    ExecuteTransform(&src_, &dst_, srcCoefs, info);
    jpeg_finish_compress(&dst_);
    jpeg_destroy_compress(&dst_);
    dstCreated_ = false;
    jpeg_finish_decompress(&src_);
    warnings_ = srcErr_.warnings;
    damage_ = srcErr_.damage;
    jpeg_destroy_decompress(&src_);
    srcCreated_ = false;
  }

  int warnings() const { return warnings_; }
  int damage() const { return damage_; }

 private:
  [[noreturn]] void Fail() {
    const char* message = srcErr_.message[0] != '\0' ? srcErr_.message : dstErr_.message;
    throw EPicaxoError(message);
  }

  std::jmp_buf jump_;
  TJpegErrorManager srcErr_{};
  TJpegErrorManager dstErr_{};
  TJpegStringDestination dest_{};
  jpeg_progress_mgr progress_ = {};
  jpeg_decompress_struct src_ = {};
  jpeg_compress_struct dst_ = {};
  bool srcCreated_ = false;
  bool dstCreated_ = false;
  int warnings_ = 0;
  int damage_ = 0;
};

std::string ErrnoText(int err) {
  return std::strerror(err);
}

// Reads the whole file while holding a shared lock, so that cooperating writers (which take an
// exclusive lock) cannot change it under us. Also notes what the replacement keeps: time, mode,
// owner and extended attributes. Messages name the file as the caller gave it (shown), also when
// path is the target of a link.
std::string ReadLocked(const std::string& path, const std::string& shown, TSourceFileState& state) {
  // Non-blocking, so that a named pipe under a photo's name is refused instead of waiting for a
  // writer; reads of a regular file are not affected.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EPicaxoError("Cannot open file \"" + shown + "\": " + ErrnoText(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  // The type first: a device or a pipe is refused before anything else is asked of it.
  const int64_t size = RegularFileSize(fd, shown);
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK)
      throw EPicaxoError("Cannot open file \"" + shown +
                         "\": it is being written by another program");
    throw EPicaxoError("Cannot open file \"" + shown + "\": " + ErrnoText(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    throw EPicaxoError("Cannot open file \"" + shown + "\": " + ErrnoText(errno));
  state.permissions = static_cast<fs::perms>(st.st_mode & 07777);
  state.owner = std::make_pair(static_cast<uint32_t>(st.st_uid), static_cast<uint32_t>(st.st_gid));
  state.extendedAttributes = ReadExtendedAttributes(fd);
  std::error_code ec;
  const fs::file_time_type when = fs::last_write_time(path, ec);
  if (!ec) state.modificationTime = when;

  // Never more than the size found: a file that grows meanwhile is not followed.
  std::string data(static_cast<size_t>(size), '\0');
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EPicaxoError("Cannot read file \"" + shown + "\": " + ErrnoText(errno));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  data.resize(done);
  return data;  // the lock goes with the descriptor
}

std::vector<std::string> ReplaceFile(const std::string& path, const std::string& shown,
                                     std::string_view data, const TSourceFileState& state) {
  try {
    // Renaming over a path that vanished meanwhile would bring back a file the user removed.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) throw EPicaxoError(ErrnoText(errno));
    // A file its user may not write to is read-only: it is not replaced, even though the rename
    // would only need the folder's permission.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
      throw EPicaxoError(ErrnoText(errno));
    AtomicWriteOptions options;
    options.modificationTime = state.modificationTime;
    options.permissions = state.permissions;
    options.owner = state.owner;
    options.extendedAttributes = state.extendedAttributes;
    return WriteFileAtomically(path, data, options);
  } catch (...) {
    throw EPicaxoError("Error saving image to " + shown + ":\n" +
                       ErrorReason(std::current_exception()));
  }
}

}  // namespace

TTransformCode TransformForDirection(uint8_t direction) {
  switch (direction) {
    case kRotateRight:
      return TransformRot90;
    case kRotateHalf:
      return TransformRot180;
    case kRotateLeft:
      return TransformRot270;
    default:
      throw EPicaxoError("Unknown rotation direction " + std::to_string(direction));
  }
}

TTransformedJPEG TransformJPEGData(std::string_view jpeg, TTransformCode code) {
  TTransformedJPEG result;
  TransformSession session;
  session.Run(jpeg, code, result.data, nullptr);
  result.warnings = session.warnings();
  result.damage = session.damage();
  return result;
}

TTransformedJPEG TransformJPEGData(std::string&& jpeg, TTransformCode code) {
  TTransformedJPEG result;
  TransformSession session;
  session.Run(jpeg, code, result.data, &jpeg);
  result.warnings = session.warnings();
  result.damage = session.damage();
  return result;
}

std::vector<std::string> ReplaceSourceFile(const std::string& path, std::string_view data,
                                           const TSourceFileState& state) {
  return ReplaceFile(path, path, data, state);
}

namespace {

// A transform as the 2 x 2 matrix it applies to a pixel's offset from the centre (y downwards).
struct TMatrix {
  int a, b, c, d;  // (x, y) -> (a x + b y, c x + d y)
  bool operator==(const TMatrix&) const = default;
};

constexpr TMatrix kMatrices[8] = {
    {1, 0, 0, 1},    // TransformNone
    {-1, 0, 0, 1},   // TransformFlipH
    {1, 0, 0, -1},   // TransformFlipV
    {0, 1, 1, 0},    // TransformTranspose
    {0, -1, -1, 0},  // TransformTransverse
    {0, -1, 1, 0},   // TransformRot90
    {-1, 0, 0, -1},  // TransformRot180
    {0, 1, -1, 0},   // TransformRot270
};

// What makes a stored picture with each EXIF orientation upright.
constexpr TTransformCode kUpright[9] = {TransformNone,   TransformNone,       TransformFlipH,
                                        TransformRot180, TransformFlipV,      TransformTranspose,
                                        TransformRot90,  TransformTransverse, TransformRot270};

}  // namespace

TTransformCode ComposeWithOrientation(int orientation, TTransformCode turn) {
  const TMatrix& u = kMatrices[kUpright[orientation >= 1 && orientation <= 8 ? orientation : 1]];
  const TMatrix& t = kMatrices[turn];
  const TMatrix product{t.a * u.a + t.b * u.c, t.a * u.b + t.b * u.d, t.c * u.a + t.d * u.c,
                        t.c * u.b + t.d * u.d};
  for (int code = 0; code < 8; ++code)
    if (kMatrices[code] == product) return static_cast<TTransformCode>(code);
  return turn;  // not reached: the eight transforms are closed under composition
}

int RotateJPEGFile(const std::string& path, uint8_t direction, bool autoOrient,
                   std::vector<std::string>* notKept) {
  const TTransformCode turn = TransformForDirection(direction);
  // A symbolic link stays a link: the file it points to is the one replaced.
  std::error_code ec;
  std::string target = path;
  if (fs::is_symlink(path, ec)) {
    const fs::path resolved = fs::canonical(path, ec);
    if (!ec) target = resolved.string();
  }

  TSourceFileState state;
  std::string source = ReadLocked(target, path, state);
  const int orientation = autoOrient ? ReadExifOrientation(source).Orientation : 1;
  TTransformedJPEG result =
      TransformJPEGData(std::move(source), ComposeWithOrientation(orientation, turn));
  // The rotated file would hold only what the decoder could read: grey blocks in place of the
  // rest, which other programs might still recover from the source.
  if (result.damage > 0)
    throw EDamagedJPEG(DamagedSourceText(SplitPath(path).Name) +
                       ". It was not rotated, so that nothing more is lost; the file is unchanged");
  // The markers were copied unchanged, so the output's EXIF holds the tag where the reader finds
  // it again.
  if (orientation != 1) ResetExifOrientation(result.data, ReadExifOrientation(result.data));
  std::vector<std::string> notes = ReplaceFile(target, path, result.data, state);
  if (notKept) *notKept = std::move(notes);
  return result.warnings;
}

}  // namespace picaxo
