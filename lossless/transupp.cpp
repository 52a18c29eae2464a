#include "lossless/transupp.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
void DoVerticalMirror(j_decompress_ptr srcinfo, j_compress_ptr dstinfo, jvirt_barray_ptr* src,
                      jvirt_barray_ptr* dst) {
  for (int ci = 0; ci < dstinfo->num_components; ++ci) {
    const Grid g = DestinationGrid(dstinfo, ci);
    for (JDIMENSION y0 = 0; y0 < g.heightInBlocks; y0 += g.v) {
      JBLOCKARRAY dstBand = Access(srcinfo, dst[ci], y0, g.v, true);
      const bool mirrored = y0 < g.ch;
      JBLOCKARRAY srcBand = Access(srcinfo, src[ci], mirrored ? g.ch - y0 - g.v : y0, g.v, false);
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
  }
}

// The transposing codes. Destination block (X, Y) comes from source block column Y (mirrored to
// CH - 1 - Y for rotation 270 and transverse where Y < CH) and source block row X (mirrored to
// CW - 1 - X for rotation 90 and transverse where X < CW). Destination columns X0 .. X0 + h - 1
// are one band of h source rows: the mirrored band CW - X0 - h .. CW - 1 - X0 when the rows are
// mirrored, rows X0 .. X0 + h - 1 otherwise.
template <TTransformCode kCode>
void DoTransposing(j_decompress_ptr srcinfo, j_compress_ptr dstinfo, jvirt_barray_ptr* src,
                   jvirt_barray_ptr* dst) {
  constexpr bool kMirrorRows = kCode == TransformRot90 || kCode == TransformTransverse;
  constexpr bool kMirrorColumns = kCode == TransformRot270 || kCode == TransformTransverse;
  for (int ci = 0; ci < dstinfo->num_components; ++ci) {
    const Grid g = DestinationGrid(dstinfo, ci);
    for (JDIMENSION y0 = 0; y0 < g.heightInBlocks; y0 += g.v) {
      JBLOCKARRAY dstBand = Access(srcinfo, dst[ci], y0, g.v, true);
      const JDIMENSION rows = std::min(g.v, g.heightInBlocks - y0);
      for (JDIMENSION dy = 0; dy < rows; ++dy) {
        const JDIMENSION y = y0 + dy;
        const bool columnMirrored = kMirrorColumns && y < g.ch;
        const JDIMENSION srcColumn = columnMirrored ? g.ch - 1 - y : y;
        JBLOCKROW out = dstBand[dy];
        for (JDIMENSION x0 = 0; x0 < g.widthInBlocks; x0 += g.h) {
          const bool rowMirrored = kMirrorRows && x0 < g.cw;
          const JDIMENSION first = rowMirrored ? g.cw - x0 - g.h : x0;
          JBLOCKARRAY srcBand = Access(srcinfo, src[ci], first, g.h, false);
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
  }
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
  jvirt_barray_ptr* dst = info.Workspace;
  switch (info.Transform) {
    case TransformNone:
      break;
    case TransformFlipH:
      DoFlipH(srcinfo, dstinfo, srcCoefArrays);
      break;
    case TransformFlipV:
      DoVerticalMirror<TransformFlipV>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
    case TransformRot180:
      DoVerticalMirror<TransformRot180>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
    case TransformTranspose:
      DoTransposing<TransformTranspose>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
    case TransformTransverse:
      DoTransposing<TransformTransverse>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
    case TransformRot90:
      DoTransposing<TransformRot90>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
    case TransformRot270:
      DoTransposing<TransformRot270>(srcinfo, dstinfo, srcCoefArrays, dst);
      break;
  }
}

}  // namespace picaxo
