#pragma once
// Internals of the resampler shared by its code paths, its tests and its benchmark. Not for use
// by the rest of the program: everything else calls ResampleImage.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/raster.h"
#include "imaging/resample.h"

namespace picaxo::resample_detail {

// One contribution to a destination column (horizontal pass) or row (vertical pass).
struct TWeightEntry {
  int32_t Index;  // source column or row, already reflected and clamped into the source
  float Weight;
};

// The contributions to one destination column or row, in increasing sample position.
using TWeightList = std::vector<TWeightEntry>;

// Builds one list per destination position for resampling SrcSize samples to DstSize samples.
// SrcSize must be at least 1; Support must have passed CheckResampleArguments.
std::vector<TWeightList> BuildWeightLists(int SrcSize, int DstSize, TFilterKernel Kernel,
                                          float Support);

// Throws EPicaxoError when ResampleImage cannot work on these sizes and support: an empty source,
// a support that is negative or not finite, or weight lists that would not fit in memory.
void CheckResampleArguments(int SW, int SH, int DW, int DH, float Support);

// Which implementation of the two passes to run. Every path gives the same bytes.
enum class TResamplePath {
  Auto,    // the fastest path the processor supports
  Scalar,  // the plain loops, one sum at a time
  Avx2,    // 256-bit vectors with fused multiply-add
  Avx512,  // 512-bit vectors
};

bool ResamplePathAvailable(TResamplePath path);

// ResampleImage on a chosen path; throws EPicaxoError when the path is not available here.
void ResampleImageOnPath(TRasterImage& Source, TRasterImage& Dest, TFilterKernel Kernel,
                         float Support, TResamplePath path);

// Clamps a sum to 0..255 and rounds it to the nearest integer, ties to even.
uint8_t SumToByte(float sum);

// A run of destination columns whose lists all read source columns FirstSource .. EndSource - 1.
// A vector path converts just that run of source columns to floats for a block of rows, so its
// buffer stays small whatever the image width. A Wide run is one column whose list alone spans
// more source columns than a buffer may hold; it is summed straight from the source bytes.
struct TColumnRun {
  int32_t FirstDest;
  int32_t EndDest;
  int32_t FirstSource;
  int32_t EndSource;
  bool Wide;
};

// Splits the destination columns, in order, into runs spanning at most runSpan source columns.
// A column whose list alone spans more gets a run of its own, up to wideSpan source columns, and
// is Wide beyond that.
std::vector<TColumnRun> PlanColumnRuns(const std::vector<TWeightList>& lists, int runSpan,
                                       int wideSpan);

// The two passes of one path. Work has Source's height and Dest's width; all three are 24-bit.
// runSpan, when above 0, replaces the vector paths' own limits on the source columns converted at
// once (both runSpan and wideSpan of PlanColumnRuns), so that tests reach the splitting into runs
// with small images.
using THorizontalPass = void (*)(const TRasterImage& Source, TRasterImage& Work,
                                 const std::vector<TWeightList>& lists, int runSpan);
using TVerticalPass = void (*)(const TRasterImage& Work, TRasterImage& Dest,
                               const std::vector<TWeightList>& lists);

void HorizontalPassScalar(const TRasterImage& Source, TRasterImage& Work,
                          const std::vector<TWeightList>& lists, int runSpan = 0);
void VerticalPassScalar(const TRasterImage& Work, TRasterImage& Dest,
                        const std::vector<TWeightList>& lists);

// The horizontal pass over blocks of rows that arrive one block at a time: the whole-raster pass
// feeds it the rows of Source, the streaming conversion the rows it has just decoded. Built once
// per pass from the pass's lists (which it keeps) and the destination width.
class THorizontalRows {
 public:
  virtual ~THorizontalRows() = default;
  // Rows per block the path works on at once; Run takes any count, but full blocks are fastest.
  virtual int BlockRows() const = 0;
  // Resamples count rows (1 ... BlockRows()): src[r] holds a 24-bit row of the source width,
  // dst[r] receives its 24-bit row at the destination width.
  virtual void Run(const uint8_t* const* src, uint8_t* const* dst, int count) = 0;
};

// The vertical pass for one destination row: rows[k] is the 24-bit intermediate row that entry
// k of list names; bytes is three times the destination width.
using TVerticalRow = void (*)(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                              ptrdiff_t bytes);

// The two passes of one path, row by row. path must be available (ResamplePathAvailable); Auto
// picks the path ResampleImage takes. runSpan as for THorizontalPass.
struct TRowPasses {
  std::unique_ptr<THorizontalRows> Horizontal;
  TVerticalRow Vertical;
};
TRowPasses MakeRowPasses(TResamplePath path, std::vector<TWeightList> horizontalLists,
                         int destWidth, int runSpan = 0);

std::unique_ptr<THorizontalRows> MakeHorizontalRowsScalar(std::vector<TWeightList> lists,
                                                          int destWidth);
void VerticalRowScalar(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                       ptrdiff_t bytes);

#if defined(__x86_64__) || defined(__i386__)
#define PICAXO_RESAMPLE_X86 1
std::unique_ptr<THorizontalRows> MakeHorizontalRowsAvx2(std::vector<TWeightList> lists,
                                                        int destWidth, int runSpan);
void VerticalRowAvx2(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                     ptrdiff_t bytes);
std::unique_ptr<THorizontalRows> MakeHorizontalRowsAvx512(std::vector<TWeightList> lists,
                                                          int destWidth, int runSpan);
void VerticalRowAvx512(const TWeightList& list, const uint8_t* const* rows, uint8_t* out,
                       ptrdiff_t bytes);
void HorizontalPassAvx2(const TRasterImage& Source, TRasterImage& Work,
                        const std::vector<TWeightList>& lists, int runSpan = 0);
void VerticalPassAvx2(const TRasterImage& Work, TRasterImage& Dest,
                      const std::vector<TWeightList>& lists);
void HorizontalPassAvx512(const TRasterImage& Source, TRasterImage& Work,
                          const std::vector<TWeightList>& lists, int runSpan = 0);
void VerticalPassAvx512(const TRasterImage& Work, TRasterImage& Dest,
                        const std::vector<TWeightList>& lists);
#endif

}  // namespace picaxo::resample_detail
