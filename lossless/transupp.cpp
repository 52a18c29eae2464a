#include "lossless/transupp.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <jerror.h>

namespace picaxo {

namespace {

// Which destination coefficients change sign. Mirroring a block left-right negates its odd
// horizontal frequencies (k), top-bottom its odd vertical ones (r), both: where r + k is odd.
enum class Negate { kNone, kOddRows, kOddColumns, kOddSum };

constexpr bool Negated(Negate negate, int r, int k) {
  switch (negate) {
    case Negate::kOddRows:
      return (r & 1) != 0;
    case Negate::kOddColumns:
      return (k & 1) != 0;
    case Negate::kOddSum:
      return ((r + k) & 1) != 0;
    case Negate::kNone:
      break;
  }
  return false;
}

// D[r][k] = S[r][k] or S[k][r], with the given sign pattern over D's indices.
template <bool kTranspose, Negate kNegate>
inline void PutBlock(JCOEF* __restrict d, const JCOEF* __restrict s) {
  for (int r = 0; r < DCTSIZE; ++r) {
    for (int k = 0; k < DCTSIZE; ++k) {
      const JCOEF v = kTranspose ? s[k * DCTSIZE + r] : s[r * DCTSIZE + k];
      d[r * DCTSIZE + k] = Negated(kNegate, r, k) ? static_cast<JCOEF>(-v) : v;
    }
  }
}

inline void NegateOddColumns(JCOEF* b) {
  for (int r = 0; r < DCTSIZE; ++r)
    for (int k = 1; k < DCTSIZE; k += 2)
      b[r * DCTSIZE + k] = static_cast<JCOEF>(-b[r * DCTSIZE + k]);
}

// One component in the destination's geometry (the compressor's, after jpeg_write_coefficients).
struct Grid {
  JDIMENSION cw;  // block columns inside whole iMCUs
  JDIMENSION ch;  // block rows inside whole iMCUs
  JDIMENSION widthInBlocks;
  JDIMENSION heightInBlocks;
  JDIMENSION h;  // h_samp_factor
  JDIMENSION v;  // v_samp_factor
};

Grid DestinationGrid(j_compress_ptr dstinfo, int ci) {
  const jpeg_component_info& comp = dstinfo->comp_info[ci];
  const JDIMENSION mcuCols =
      dstinfo->image_width / static_cast<JDIMENSION>(dstinfo->max_h_samp_factor * DCTSIZE);
  const JDIMENSION mcuRows =
      dstinfo->image_height / static_cast<JDIMENSION>(dstinfo->max_v_samp_factor * DCTSIZE);
  const auto h = static_cast<JDIMENSION>(comp.h_samp_factor);
  const auto v = static_cast<JDIMENSION>(comp.v_samp_factor);
  return {mcuCols * h, mcuRows * v, comp.width_in_blocks, comp.height_in_blocks, h, v};
}

JBLOCKARRAY Access(j_decompress_ptr srcinfo, jvirt_barray_ptr array, JDIMENSION firstRow,
                   JDIMENSION rows, bool writable) {
  return srcinfo->mem->access_virt_barray(reinterpret_cast<j_common_ptr>(srcinfo), array, firstRow,
                                          rows, writable ? TRUE : FALSE);
}

// Flip H: in place, one band of v block rows at a time. Blocks beyond CW have no partner and
// stay as they are.
void DoFlipH(j_decompress_ptr srcinfo, j_compress_ptr dstinfo, jvirt_barray_ptr* src) {
  for (int ci = 0; ci < dstinfo->num_components; ++ci) {
    const Grid g = DestinationGrid(dstinfo, ci);
    for (JDIMENSION y0 = 0; y0 < g.heightInBlocks; y0 += g.v) {
      JBLOCKARRAY band = Access(srcinfo, src[ci], y0, g.v, true);
      const JDIMENSION rows = std::min(g.v, g.heightInBlocks - y0);
      for (JDIMENSION dy = 0; dy < rows; ++dy) {
        JBLOCKROW row = band[dy];
        for (JDIMENSION x = 0; 2 * x < g.cw; ++x) {
          const JDIMENSION partner = g.cw - 1 - x;
          NegateOddColumns(row[x]);
          if (partner == x) continue;  // the middle block mirrors onto itself
          NegateOddColumns(row[partner]);
          std::swap_ranges(row[x], row[x] + DCTSIZE2, row[partner]);
        }
      }
    }
  }
}

// Flip V and rotation 180: destination band Y0 .. Y0 + v - 1 comes from the mirrored source band
// when it lies above CH, from the same rows otherwise.
template <TTransformCode kCode>
void FillVerticalMirrorBand(j_decompress_ptr srcinfo, const Grid& g, jvirt_barray_ptr src,
                            JDIMENSION y0, JBLOCKARRAY dstBand) {
  const bool mirrored = y0 < g.ch;
  JBLOCKARRAY srcBand = Access(srcinfo, src, mirrored ? g.ch - y0 - g.v : y0, g.v, false);
  const JDIMENSION rows = std::min(g.v, g.heightInBlocks - y0);
  for (JDIMENSION dy = 0; dy < rows; ++dy) {
    JBLOCKROW out = dstBand[dy];
    JBLOCKROW in = srcBand[mirrored ? g.v - 1 - dy : dy];
    for (JDIMENSION x = 0; x < g.widthInBlocks; ++x) {
      if constexpr (kCode == TransformFlipV) {
        if (mirrored)
          PutBlock<false, Negate::kOddRows>(out[x], in[x]);
        else
          PutBlock<false, Negate::kNone>(out[x], in[x]);
      } else if (mirrored) {
        if (x < g.cw)
          PutBlock<false, Negate::kOddSum>(out[x], in[g.cw - 1 - x]);
        else
          PutBlock<false, Negate::kOddRows>(out[x], in[x]);
      } else {
        if (x < g.cw)
          PutBlock<false, Negate::kOddColumns>(out[x], in[g.cw - 1 - x]);
        else
          PutBlock<false, Negate::kNone>(out[x], in[x]);
      }
    }
  }
}

// The transposing codes. Destination block (X, Y) comes from source block column Y (mirrored to
// CH - 1 - Y for rotation 270 and transverse where Y < CH) and source block row X (mirrored to
// CW - 1 - X for rotation 90 and transverse where X < CW). Destination columns X0 .. X0 + h - 1
// are one band of h source rows: the mirrored band CW - X0 - h .. CW - 1 - X0 when the rows are
// mirrored, rows X0 .. X0 + h - 1 otherwise.
template <TTransformCode kCode>
void FillTransposingBand(j_decompress_ptr srcinfo, const Grid& g, jvirt_barray_ptr src,
                         JDIMENSION y0, JBLOCKARRAY dstBand) {
  constexpr bool kMirrorRows = kCode == TransformRot90 || kCode == TransformTransverse;
  constexpr bool kMirrorColumns = kCode == TransformRot270 || kCode == TransformTransverse;
  const JDIMENSION rows = std::min(g.v, g.heightInBlocks - y0);
  for (JDIMENSION dy = 0; dy < rows; ++dy) {
    const JDIMENSION y = y0 + dy;
    const bool columnMirrored = kMirrorColumns && y < g.ch;
    const JDIMENSION srcColumn = columnMirrored ? g.ch - 1 - y : y;
    JBLOCKROW out = dstBand[dy];
    for (JDIMENSION x0 = 0; x0 < g.widthInBlocks; x0 += g.h) {
      const bool rowMirrored = kMirrorRows && x0 < g.cw;
      const JDIMENSION first = rowMirrored ? g.cw - x0 - g.h : x0;
      JBLOCKARRAY srcBand = Access(srcinfo, src, first, g.h, false);
      const JDIMENSION last = std::min(x0 + g.h, g.widthInBlocks);
      for (JDIMENSION x = x0; x < last; ++x) {
        const JCOEF* in = srcBand[rowMirrored ? g.cw - 1 - x - first : x - first][srcColumn];
        JCOEF* d = out[x];
        if (rowMirrored && columnMirrored)
          PutBlock<true, Negate::kOddSum>(d, in);
        else if (rowMirrored)
          PutBlock<true, Negate::kOddColumns>(d, in);
        else if (columnMirrored)
          PutBlock<true, Negate::kOddRows>(d, in);
        else
          PutBlock<true, Negate::kNone>(d, in);
      }
    }
  }
}

// The one place that computes destination blocks for the codes with a destination of their own
// (all but 0 and 1): block rows y0 .. y0 + v - 1 of one component (fewer at the bottom), y0 on an
// iMCU boundary, into dstBand. Used both to fill the workspace and to serve the compressor on
// demand, so the two paths give the same blocks.
void FillBand(TTransformCode code, j_decompress_ptr srcinfo, const Grid& g, jvirt_barray_ptr src,
              JDIMENSION y0, JBLOCKARRAY dstBand) {
  switch (code) {
    case TransformFlipV:
      FillVerticalMirrorBand<TransformFlipV>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformRot180:
      FillVerticalMirrorBand<TransformRot180>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformTranspose:
      FillTransposingBand<TransformTranspose>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformTransverse:
      FillTransposingBand<TransformTransverse>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformRot90:
      FillTransposingBand<TransformRot90>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformRot270:
      FillTransposingBand<TransformRot270>(srcinfo, g, src, y0, dstBand);
      break;
    case TransformNone:
    case TransformFlipH:
      break;
  }
}

// Fills the workspace: components in order, one write band of v destination rows at a time.
void FillWorkspace(TTransformCode code, j_decompress_ptr srcinfo, j_compress_ptr dstinfo,
                   jvirt_barray_ptr* src, jvirt_barray_ptr* dst) {
  for (int ci = 0; ci < dstinfo->num_components; ++ci) {
    const Grid g = DestinationGrid(dstinfo, ci);
    for (JDIMENSION y0 = 0; y0 < g.heightInBlocks; y0 += g.v)
      FillBand(code, srcinfo, g, src[ci], y0, Access(srcinfo, dst[ci], y0, g.v, true));
  }
}

// On demand: the compressor reads the destination arrays only through its memory manager's
// access_virt_barray, during jpeg_finish_compress. That entry is replaced by OnDemandAccess, which
// answers a read of a stand-in handle with a freshly computed band, and passes every other
// request on to the library.
struct OnDemandState {
  j_decompress_ptr srcinfo = nullptr;
  TTransformCode code = TransformNone;
  int numComponents = 0;
  jvirt_barray_ptr* src = nullptr;
  jvirt_barray_ptr* handles = nullptr;
  Grid grid[MAX_COMPONENTS] = {};
  JBLOCKARRAY band[MAX_COMPONENTS] = {};
  JBLOCKARRAY (*forward)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
};

JBLOCKARRAY OnDemandAccess(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow,
                           JDIMENSION numRows, boolean writable) {
  const auto* state = static_cast<const OnDemandState*>(cinfo->client_data);
  for (int ci = 0; ci < state->numComponents; ++ci) {
    if (array != state->handles[ci]) continue;
    const Grid& g = state->grid[ci];
    // A band is computed for reading only, whole, from an iMCU boundary inside the image.
    if (writable || numRows == 0 || numRows > g.v || startRow % g.v != 0 ||
        startRow >= g.heightInBlocks)
      ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    FillBand(state->code, state->srcinfo, g, state->src[ci], startRow, state->band[ci]);
    return state->band[ci];
  }
  return state->forward(cinfo, array, startRow, numRows, writable);
}

void InstallOnDemand(j_decompress_ptr srcinfo, j_compress_ptr dstinfo,
                     jvirt_barray_ptr* srcCoefArrays, const TTransformInfo& info) {
  auto* common = reinterpret_cast<j_common_ptr>(dstinfo);
  if (dstinfo->num_components != info.NumComponents || info.NumComponents > MAX_COMPONENTS)
    ERREXIT(common, JERR_BAD_VIRTUAL_ACCESS);
  // Permanent: the replaced entry stays with the compressor, and so must what it refers to.
  auto* state =
      new (dstinfo->mem->alloc_small(common, JPOOL_PERMANENT, sizeof(OnDemandState))) OnDemandState;
  state->srcinfo = srcinfo;
  state->code = info.Transform;
  state->numComponents = info.NumComponents;
  state->src = srcCoefArrays;
  state->handles = info.Workspace;
  state->forward = dstinfo->mem->access_virt_barray;
  for (int ci = 0; ci < info.NumComponents; ++ci) {
    const Grid g = DestinationGrid(dstinfo, ci);
    state->grid[ci] = g;
    const JDIMENSION width = (g.widthInBlocks + g.h - 1) / g.h * g.h;
    // Zeroed once: the padding beyond the image is never computed, and the compressor does not
    // encode it, but it must not be left undefined.
    JBLOCKARRAY band = dstinfo->mem->alloc_barray(common, JPOOL_IMAGE, width, g.v);
    for (JDIMENSION row = 0; row < g.v; ++row)
      std::memset(band[row], 0, sizeof(JBLOCK) * width);
    state->band[ci] = band;
  }
  dstinfo->client_data = state;
  dstinfo->mem->access_virt_barray = OnDemandAccess;
}

}  // namespace

bool IsTransposing(TTransformCode code) {
  return code == TransformTranspose || code == TransformTransverse || code == TransformRot90 ||
         code == TransformRot270;
}

void SetupMarkerCopy(j_decompress_ptr srcinfo, TMarkerCopyOption option) {
  // 65535 exceeds the longest possible marker, so every marker is kept whole.
  constexpr unsigned kWholeMarker = 0xFFFF;
  if (option == CopyComments || option == CopyAll)
    jpeg_save_markers(srcinfo, JPEG_COM, kWholeMarker);
  if (option == CopyAll)
    for (int n = 0; n < 16; ++n)
      jpeg_save_markers(srcinfo, JPEG_APP0 + n, kWholeMarker);
}

void RequestWorkspace(j_decompress_ptr srcinfo, TTransformInfo& info) {
  info.NumComponents = srcinfo->num_components;
  info.Workspace = nullptr;
  if (info.Transform == TransformNone || info.Transform == TransformFlipH) return;
  const bool transposing = IsTransposing(info.Transform);
  auto* common = reinterpret_cast<j_common_ptr>(srcinfo);
  info.Workspace = static_cast<jvirt_barray_ptr*>(srcinfo->mem->alloc_small(
      common, JPOOL_IMAGE, sizeof(jvirt_barray_ptr) * static_cast<size_t>(info.NumComponents)));
  if (info.OnDemand) {
    // Stand-in handles: distinct addresses that only OnDemandAccess ever sees, never dereferenced.
    auto* tags = static_cast<char*>(
        srcinfo->mem->alloc_small(common, JPOOL_IMAGE, static_cast<size_t>(info.NumComponents)));
    for (int ci = 0; ci < info.NumComponents; ++ci)
      info.Workspace[ci] = reinterpret_cast<jvirt_barray_ptr>(tags + ci);
    return;
  }
  for (int ci = 0; ci < info.NumComponents; ++ci) {
    const jpeg_component_info& comp = srcinfo->comp_info[ci];
    const auto h = static_cast<JDIMENSION>(comp.h_samp_factor);
    const auto v = static_cast<JDIMENSION>(comp.v_samp_factor);
    const JDIMENSION width = (comp.width_in_blocks + h - 1) / h * h;
    const JDIMENSION height = (comp.height_in_blocks + v - 1) / v * v;
    info.Workspace[ci] =
        transposing
            ? srcinfo->mem->request_virt_barray(common, JPOOL_IMAGE, FALSE, height, width, h)
            : srcinfo->mem->request_virt_barray(common, JPOOL_IMAGE, FALSE, width, height, v);
  }
}

jvirt_barray_ptr* AdjustParameters(j_decompress_ptr /*srcinfo*/, j_compress_ptr dstinfo,
                                   jvirt_barray_ptr* srcCoefArrays, TTransformInfo& info) {
  if (IsTransposing(info.Transform)) {
    std::swap(dstinfo->image_width, dstinfo->image_height);
    for (int ci = 0; ci < dstinfo->num_components; ++ci) {
      jpeg_component_info& comp = dstinfo->comp_info[ci];
      std::swap(comp.h_samp_factor, comp.v_samp_factor);
    }
    // The coefficients move from (r, k) to (k, r); their quantisers must move with them.
    for (JQUANT_TBL* table : dstinfo->quant_tbl_ptrs) {
      if (table == nullptr) continue;
      for (int r = 0; r < DCTSIZE; ++r)
        for (int k = r + 1; k < DCTSIZE; ++k)
          std::swap(table->quantval[r * DCTSIZE + k], table->quantval[k * DCTSIZE + r]);
    }
  }
  return info.Workspace != nullptr ? info.Workspace : srcCoefArrays;
}

void ExecuteMarkerCopy(j_decompress_ptr srcinfo, j_compress_ptr dstinfo) {
  for (jpeg_saved_marker_ptr m = srcinfo->marker_list; m != nullptr; m = m->next) {
    const bool ownJfif = dstinfo->write_JFIF_header && m->marker == JPEG_APP0 &&
                         m->data_length >= 5 && std::memcmp(m->data, "JFIF", 5) == 0;
    const bool ownAdobe = dstinfo->write_Adobe_marker && m->marker == JPEG_APP0 + 14 &&
                          m->data_length >= 5 && std::memcmp(m->data, "Adobe", 5) == 0;
    if (ownJfif || ownAdobe) continue;
    jpeg_write_marker(dstinfo, m->marker, m->data, m->data_length);
  }
}

void ExecuteTransform(j_decompress_ptr srcinfo, j_compress_ptr dstinfo,
                      jvirt_barray_ptr* srcCoefArrays, TTransformInfo& info) {
  switch (info.Transform) {
    case TransformNone:
      break;
    case TransformFlipH:
      DoFlipH(srcinfo, dstinfo, srcCoefArrays);
      break;
    default:
      if (info.OnDemand)
        InstallOnDemand(srcinfo, dstinfo, srcCoefArrays, info);
      else
        FillWorkspace(info.Transform, srcinfo, dstinfo, srcCoefArrays, info.Workspace);
      break;
  }
}

}  // namespace picaxo
