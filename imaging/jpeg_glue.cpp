#include "imaging/jpeg_glue.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include <jerror.h>

#include "imaging/jpeg.h"
#include "imaging/raster.h"

namespace picaxo {

namespace {

TJpegErrorManager& ManagerOf(j_common_ptr cinfo) {
  return *reinterpret_cast<TJpegErrorManager*>(cinfo->err);
}

void ErrorExit(j_common_ptr cinfo) {
  TJpegErrorManager& err = ManagerOf(cinfo);
  (*cinfo->err->format_message)(cinfo, err.message);
  std::longjmp(*err.jump, 1);
}

// Warnings are counted and otherwise ignored; trace messages are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    ++cinfo->err->num_warnings;
    ++ManagerOf(cinfo).warnings;
    if (IsJpegDamageWarning(cinfo->err->msg_code)) ++ManagerOf(cinfo).damage;
  }
}

void OutputMessage(j_common_ptr) {}

// Called by the library while it consumes input.
void ScanLimitMonitor(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= TJPEGImage::kMaxScans) return;
  char message[JMSG_LENGTH_MAX];
  std::snprintf(message, sizeof message, "The JPEG file has too many scans (more than %d)",
                TJPEGImage::kMaxScans);
  JpegRefuse(cinfo, message);
}

// Grows *out to newSize; false when memory ran out, which the caller reports through the library
// so that no C++ exception crosses its frames.
bool GrowOutput(std::string& out, size_t newSize) {
  try {
    out.resize(newSize);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

TJpegStringDestination& DestinationOf(j_compress_ptr cinfo) {
  return *reinterpret_cast<TJpegStringDestination*>(cinfo->dest);
}

void InitDestination(j_compress_ptr cinfo) {
  TJpegStringDestination& dest = DestinationOf(cinfo);
  dest.start = dest.out->size();
  if (!GrowOutput(*dest.out, dest.start + dest.initialSize))
    ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
  dest.pub.next_output_byte = reinterpret_cast<JOCTET*>(dest.out->data() + dest.start);
  dest.pub.free_in_buffer = dest.initialSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  TJpegStringDestination& dest = DestinationOf(cinfo);
  const size_t used = dest.out->size();  // the whole room is full
  const size_t written = used - dest.start;
  if (!GrowOutput(*dest.out, used + written)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 11);
  dest.pub.next_output_byte = reinterpret_cast<JOCTET*>(dest.out->data() + used);
  dest.pub.free_in_buffer = written;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  TJpegStringDestination& dest = DestinationOf(cinfo);
  dest.out->resize(dest.out->size() - dest.pub.free_in_buffer);
}

}  // namespace

void InitJpegErrorManager(TJpegErrorManager& err, std::jmp_buf* jump) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.jump = jump;
  err.warnings = 0;
  err.damage = 0;
  err.ownMessage = false;
  err.message[0] = '\0';
}

bool IsJpegDamageWarning(int messageCode) {
  switch (messageCode) {
    case JWRN_HIT_MARKER:         // a marker inside the entropy data
    case JWRN_HUFF_BAD_CODE:      // undecodable entropy data
    case JWRN_ARITH_BAD_CODE:     // the same, arithmetic coding
    case JWRN_MUST_RESYNC:        // a restart marker missing or out of order
    case JWRN_EXTRANEOUS_DATA:    // stray bytes where a marker belongs
    case JWRN_JPEG_EOF:           // the file ends before the picture does
    case JWRN_BOGUS_PROGRESSION:  // a progressive scan refines coefficients it never received
      return true;
    default:
      return false;
  }
}

std::string JpegSizeRefusal(const jpeg_decompress_struct& cinfo, size_t fileBytes) {
  if (cinfo.arith_code) return std::string();
  uint64_t blocks = 0;
  for (int ci = 0; ci < cinfo.num_components; ++ci)
    blocks += uint64_t{cinfo.comp_info[ci].width_in_blocks} * cinfo.comp_info[ci].height_in_blocks;
  // Half a bit per block, in bytes.
  if (uint64_t{fileBytes} >= blocks / 16) return std::string();
  char message[200];
  std::snprintf(message, sizeof message,
                "The JPEG file is damaged: its header claims %u x %u pixels, far more than its "
                "%zu bytes can hold",
                static_cast<unsigned>(cinfo.image_width), static_cast<unsigned>(cinfo.image_height),
                fileBytes);
  return message;
}

void JpegRefuse(j_common_ptr cinfo, const char* message) {
  TJpegErrorManager& err = ManagerOf(cinfo);
  err.ownMessage = true;
  std::snprintf(err.message, sizeof err.message, "%s", message);
  std::longjmp(*err.jump, 1);
}

void LimitJpegScans(jpeg_decompress_struct& cinfo, jpeg_progress_mgr& progress) {
  progress.progress_monitor = ScanLimitMonitor;
  cinfo.progress = &progress;
}

void SetJpegStringDestination(jpeg_compress_struct& cinfo, TJpegStringDestination& dest,
                              std::string& out, size_t initialSize) {
  dest.pub.init_destination = InitDestination;
  dest.pub.empty_output_buffer = EmptyOutputBuffer;
  dest.pub.term_destination = TermDestination;
  dest.out = &out;
  dest.start = 0;
  dest.initialSize = initialSize;
  cinfo.dest = &dest.pub;
}

}  // namespace picaxo

// The library's memory back end. It is the one the library ships (no backing store, the caller's
// max_memory_to_use as the only limit), except that large blocks (a progressive file's coefficient
// buffers, tens of megabytes) ask the kernel for huge pages: filling them then takes a few hundred
// page faults instead of thousands, which was a fifth of a progressive decode's time. Linked
// statically, these definitions replace the library's own; against a shared library they are
// unused.

struct backing_store_struct;

extern "C" {

void* jpeg_get_small(j_common_ptr, size_t sizeofobject) {
  return std::malloc(sizeofobject);
}

void jpeg_free_small(j_common_ptr, void* object, size_t) {
  std::free(object);
}

void* jpeg_get_large(j_common_ptr, size_t sizeofobject) {
  void* block = std::malloc(sizeofobject);
  picaxo::AdviseHugePages(block, sizeofobject);
  return block;
}

void jpeg_free_large(j_common_ptr, void* object, size_t) {
  std::free(object);
}

size_t jpeg_mem_available(j_common_ptr cinfo, size_t, size_t max_bytes_needed,
                          size_t already_allocated) {
  if (cinfo->mem->max_memory_to_use) {
    const auto limit = static_cast<size_t>(cinfo->mem->max_memory_to_use);
    return limit > already_allocated ? limit - already_allocated : 0;
  }
  return max_bytes_needed;
}

void jpeg_open_backing_store(j_common_ptr cinfo, backing_store_struct*, long) {
  ERREXIT(cinfo, JERR_NO_BACKING_STORE);
}

long jpeg_mem_init(j_common_ptr) {
  return 0;
}

void jpeg_mem_term(j_common_ptr) {}

}  // extern "C"
