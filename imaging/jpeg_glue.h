#pragma once
// The libjpeg glue shared by the pixel codec (imaging/jpeg.cpp) and the lossless rotation
// (lossless/jpeg_rotate.cpp): an error manager that turns fatal library errors into a longjmp and
// counts warnings silently, the cap on progressive scans, and a destination that appends the
// compressor's output to a std::string.
//
// Fatal errors leave through std::longjmp to the caller's setjmp, never as C++ exceptions through
// the library's C frames; the caller throws once back in its own frame. Between that setjmp and
// the longjmp there must be only libjpeg's frames, these callbacks and frames holding no object
// with a non-trivial destructor, so that the jump skips no destructor.
// clang-format off
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <csetjmp>
#include <string>

namespace picaxo {

struct TJpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf* jump;  // where a fatal error returns to: the caller's setjmp
  // Warnings seen; unlike pub.num_warnings never reset by the library.
  int warnings;
  // Those of them that mean corrupt or missing image data (IsJpegDamageWarning).
  int damage;
  // True when message is a refusal of our own (JpegRefuse); pub.msg_code then means nothing.
  bool ownMessage;
  // The library's formatted message of the fatal error, or our own refusal; empty until then.
  char message[JMSG_LENGTH_MAX];
};

// Resets err to the library's standard manager with our callbacks: fatal errors format their
// message and jump to *jump, warnings are counted, nothing is ever printed.
void InitJpegErrorManager(TJpegErrorManager& err, std::jmp_buf* jump);

// True for the warnings that mean the image data is corrupt or missing (a bad Huffman code, a
// marker inside the entropy data, a premature end of file, ...): the decoder went on with what it
// could read, and the picture it gives is incomplete. Other warnings (an unknown JFIF version, an
// unusual Adobe transform) lose nothing.
bool IsJpegDamageWarning(int messageCode);

// The refusal of a file whose frame header claims far more picture than its bytes can hold, or
// empty when the size is plausible. Every 8 x 8 block of every component carries a Huffman code
// of at least one bit for its DC coefficient in any complete file, sequential or progressive; a
// file holding less than half a bit per block is refused (half, so that a file cut off near its
// end still decodes as before). Arithmetic-coded files are not judged: their coder can spend far
// less than a bit on a block. Valid once jpeg_read_header has returned.
std::string JpegSizeRefusal(const jpeg_decompress_struct& cinfo, size_t fileBytes);

// Ends the library work in progress with our own message, for a callback that refuses the input.
// cinfo->err must be a TJpegErrorManager.
[[noreturn]] void JpegRefuse(j_common_ptr cinfo, const char* message);

// Makes cinfo refuse, through JpegRefuse, a file with more scans than TJPEGImage::kMaxScans, so
// that a hostile file of thousands of tiny scans cannot keep the decoder busy for minutes.
// progress must live as long as cinfo does.
void LimitJpegScans(jpeg_decompress_struct& cinfo, jpeg_progress_mgr& progress);

// Appends to a string: libjpeg writes straight into the string's spare room, which doubles when
// full; the unused tail is cut off when the compressor finishes. Running out of memory is the
// library's error JERR_OUT_OF_MEMORY (case 10 at the start, 11 when growing).
struct TJpegStringDestination {
  jpeg_destination_mgr pub;
  std::string* out;
  size_t start;        // length of *out before the encode
  size_t initialSize;  // room made at the start
};

// Makes cinfo append to out, starting with initialSize bytes of room. dest must live as long as
// cinfo's compression does, and out until it finishes.
void SetJpegStringDestination(jpeg_compress_struct& cinfo, TJpegStringDestination& dest,
                              std::string& out, size_t initialSize);

}  // namespace picaxo
