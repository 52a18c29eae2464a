#pragma once
// Lossless JPEG transforms in the DCT coefficient domain, between a decompressor that has read a
// source's coefficients and a compressor that writes them. No pixel is decoded and no coefficient
// is requantised, so the result has no generation loss.
//
// Glossary. A block is 8 x 8 quantised coefficients in natural (row-major) order; S[r][k] and
// D[r][k] are the coefficient in row r (vertical frequency) and column k (horizontal frequency)
// of a source and a destination block. An iMCU is the block area of one MCU of a component:
// h_samp_factor x v_samp_factor blocks. Block (c, r) is column c, row r of one component's grid.
//
// Partial iMCUs. Mirroring a block needs its mirror partner to exist, which only holds inside
// whole iMCUs. The edge blocks beyond them (block column >= CW or block row >= CH, where
// CW = floor(image_width / (max_h_samp_factor * 8)) * h_samp_factor and CH likewise, all in the
// destination geometry) are never dropped: they are transposed where the transform transposes,
// but mirrored only along the direction in which they do lie inside whole iMCUs. So a quarter
// turn of an image that is not a whole number of iMCUs shows its right or bottom strip
// transposed, not rotated; a quarter turn right followed by one left still restores every block.
//
// Call order (each step needs the one before):
//   SetupMarkerCopy -> jpeg_read_header -> RequestWorkspace -> jpeg_read_coefficients
//   -> jpeg_copy_critical_parameters -> AdjustParameters -> jpeg_write_coefficients
//   -> ExecuteMarkerCopy -> ExecuteTransform -> jpeg_finish_compress.
// Misuse and array access out of range are reported through the library's error manager.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace picaxo {

enum TTransformCode {
  TransformNone = 0,        // no change
  TransformFlipH = 1,       // mirror left-right
  TransformFlipV = 2,       // mirror top-bottom
  TransformTranspose = 3,   // mirror about the top-left to bottom-right diagonal
  TransformTransverse = 4,  // mirror about the top-right to bottom-left diagonal
  TransformRot90 = 5,       // rotate 90 degrees clockwise
  TransformRot180 = 6,      // rotate 180 degrees
  TransformRot270 = 7,      // rotate 270 degrees clockwise (90 counter-clockwise)
};

// The transposing codes exchange width and height (and sampling factors, and table axes).
bool IsTransposing(TTransformCode code);

enum TMarkerCopyOption {
  CopyNone = 0,      // no extra markers
  CopyComments = 1,  // COM markers only
  CopyAll = 2,       // COM and every APPn marker
};

struct TTransformInfo {
  TTransformCode Transform = TransformNone;
  // Computes the destination on demand instead of into a workspace: one set of coefficient arrays
  // in memory instead of two, and the same output. RequestWorkspace then reserves no arrays but
  // stand-in handles, and ExecuteTransform, instead of filling arrays, makes the compressor
  // compute each band of destination block rows from the source arrays when
  // jpeg_finish_compress reads it. For this, ExecuteTransform takes over the compressor's
  // client_data and its memory manager's access_virt_barray (other arrays are passed on), and the
  // source arrays must stay valid and unchanged until jpeg_finish_compress returns. The
  // compressor then serves this one image only. No effect on codes 0 and 1.
  bool OnDemand = false;
  int NumComponents = 0;                  // set by RequestWorkspace from the source
  jvirt_barray_ptr* Workspace = nullptr;  // destination arrays; none for codes 0 and 1
};

// Before jpeg_read_header: asks the library to keep, whole and in memory, the markers that
// ExecuteMarkerCopy will write.
void SetupMarkerCopy(j_decompress_ptr srcinfo, TMarkerCopyOption option);

// After jpeg_read_header, before jpeg_read_coefficients: reserves the destination arrays
// (not zero-filled; ExecuteTransform writes every block once).
void RequestWorkspace(j_decompress_ptr srcinfo, TTransformInfo& info);

// After jpeg_copy_critical_parameters: transposes the compressor's size, sampling factors and
// quantisation tables for the transposing codes. Returns the arrays the compressor is to write.
jvirt_barray_ptr* AdjustParameters(j_decompress_ptr srcinfo, j_compress_ptr dstinfo,
                                   jvirt_barray_ptr* srcCoefArrays, TTransformInfo& info);

// After jpeg_write_coefficients: writes the saved markers in source order, except a JFIF APP0 or
// Adobe APP14 of the source where the compressor writes its own.
void ExecuteMarkerCopy(j_decompress_ptr srcinfo, j_compress_ptr dstinfo);

// After ExecuteMarkerCopy, before jpeg_finish_compress: fills the arrays AdjustParameters
// returned (for flip H: rewrites the source arrays in place), or with OnDemand arranges for the
// compressor to compute them as it reads them.
void ExecuteTransform(j_decompress_ptr srcinfo, j_compress_ptr dstinfo,
                      jvirt_barray_ptr* srcCoefArrays, TTransformInfo& info);

}  // namespace picaxo
