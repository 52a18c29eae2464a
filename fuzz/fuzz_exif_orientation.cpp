// The EXIF orientation reader on arbitrary bytes, in memory and from a file: both must agree, stay
// inside the data, and a value they report must be the one at the offset they report.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/exif_orientation.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string jpeg(reinterpret_cast<const char*>(data), size);
  const picaxo::TExifOrientation info = picaxo::ReadExifOrientation(jpeg);
  Check(info.Orientation >= 1 && info.Orientation <= 8);
  Check(info.Orientation == 1 || info.Ignored.empty());
  if (info.ValueOffset >= 0) {
    Check(static_cast<uint64_t>(info.ValueOffset) + 2 <= size);
    const auto at = static_cast<size_t>(info.ValueOffset);
    const int value = info.BigEndian ? data[at] << 8 | data[at + 1] : data[at + 1] << 8 | data[at];
    Check(value == info.Orientation);
  }
  if (info.NextIfdOffset >= 0) Check(static_cast<uint64_t>(info.NextIfdOffset) + 4 <= size);

  // Setting the tag to 1 in place leaves the layout alone: the reader finds 1 at the same place.
  std::string reset = jpeg;
  picaxo::ResetExifOrientation(reset, info);
  Check(reset.size() == jpeg.size());
  if (info.ValueOffset >= 0) {
    const picaxo::TExifOrientation again = picaxo::ReadExifOrientation(reset);
    Check(again.Orientation == 1 && again.ValueOffset == info.ValueOffset);
  }

  // The file reader reads the same markers on demand.
  static const int fd = memfd_create("exif", 0);
  if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)) {
    const picaxo::TExifOrientation fromFile =
        picaxo::ReadExifOrientationFile("/proc/self/fd/" + std::to_string(fd));
    Check(fromFile.Orientation == info.Orientation && fromFile.Ignored == info.Ignored &&
          fromFile.ValueOffset == info.ValueOffset);
  }
  return 0;
}
